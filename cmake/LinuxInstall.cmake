# What `cmake --install` (and so the Debian package) puts where on Linux: the VST3 bundle
# where VST3 hosts look, the LV2 bundle where LV2 hosts look, the app with its desktop entry,
# icon and manual page, and the package's documents. The plug-ins' binaries are installed as
# targets, so `cmake --install --strip` and the package strip them.

include (GNUInstallDirs)

set (VANTOREL_LV2_INSTALL_DIR "lib/lv2" CACHE STRING "Install folder of the LV2 bundle, relative to the prefix")

# The bundles' layouts as the build makes them: Vantorel.vst3/Contents/x86_64-linux/Vantorel.so,
# and Vantorel.lv2 with its binary and description files.
install (TARGETS Vantorel_VST3
    LIBRARY DESTINATION "${VANTOREL_VST3_INSTALL_DIR}/Vantorel.vst3/Contents/x86_64-linux")

if (TARGET Vantorel_LV2)
    set (vantorel_lv2_dir "${VANTOREL_LV2_INSTALL_DIR}/Vantorel.lv2")
    install (TARGETS Vantorel_LV2 LIBRARY DESTINATION "${vantorel_lv2_dir}")
    install (FILES
        "$<TARGET_FILE_DIR:Vantorel_LV2>/manifest.ttl"
        "$<TARGET_FILE_DIR:Vantorel_LV2>/dsp.ttl"
        "$<TARGET_FILE_DIR:Vantorel_LV2>/ui.ttl"
        DESTINATION "${vantorel_lv2_dir}")
endif()

if (TARGET Vantorel_Standalone)
    install (TARGETS Vantorel_Standalone RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    install (FILES "${PROJECT_SOURCE_DIR}/packaging/linux/vantorel.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    foreach (size IN ITEMS 16 32 48 64 128 256)
        install (FILES "${PROJECT_SOURCE_DIR}/resources/icons/vantorel-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME vantorel.png)
    endforeach()

    # Manual page and changelog compressed as Debian wants them (no name or time stamp inside).
    set (vantorel_man "${CMAKE_CURRENT_BINARY_DIR}/packaging/Vantorel.1.gz")
    set (vantorel_changelog "${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz")
    add_custom_command (OUTPUT "${vantorel_man}" "${vantorel_changelog}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/packaging"
        COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip "${PROJECT_SOURCE_DIR}/packaging/linux/Vantorel.1" "${vantorel_man}"
        COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip "${PROJECT_SOURCE_DIR}/packaging/linux/changelog" "${vantorel_changelog}"
        DEPENDS "${PROJECT_SOURCE_DIR}/packaging/linux/Vantorel.1" "${PROJECT_SOURCE_DIR}/packaging/linux/changelog"
        VERBATIM)
    add_custom_target (vantorel_packaging_docs ALL DEPENDS "${vantorel_man}" "${vantorel_changelog}")
    install (FILES "${vantorel_man}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    install (FILES "${PROJECT_SOURCE_DIR}/packaging/linux/copyright" "${vantorel_changelog}"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/vantorel")
endif()
