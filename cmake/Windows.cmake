# Parts of the build that only the Windows cross-build needs.

# Debian's JUCE leaves out its bundled libpng and libjpeg and uses the system's; for MinGW
# they are built from Debian's sources by scripts/windows-deps into this prefix.
set (VANTOREL_WINDOWS_DEPS "" CACHE PATH "Prefix holding the static MinGW libpng and libjpeg")
foreach (lib IN ITEMS libpng16.a libjpeg.a)
    if (NOT EXISTS "${VANTOREL_WINDOWS_DEPS}/lib/${lib}")
        message (FATAL_ERROR "${lib} not found in VANTOREL_WINDOWS_DEPS='${VANTOREL_WINDOWS_DEPS}' (scripts/windows-deps builds it)")
    endif()
endforeach()

add_library (vantorel_windows_image_libs INTERFACE)
target_include_directories (vantorel_windows_image_libs SYSTEM INTERFACE "${VANTOREL_WINDOWS_DEPS}/include")
target_link_libraries (vantorel_windows_image_libs INTERFACE
    "${VANTOREL_WINDOWS_DEPS}/lib/libpng16.a"
    "${VANTOREL_WINDOWS_DEPS}/lib/libjpeg.a"
    z)

# Both copies of JUCE: the plug-in's and the one the hosting programs use.
target_link_libraries (Vantorel PRIVATE vantorel_windows_image_libs)
target_link_libraries (vantorel_vst3_host PRIVATE vantorel_windows_image_libs)

# What a Windows user installs carries no symbol tables (about half the file).
target_link_options (Vantorel_VST3 PRIVATE $<$<CONFIG:Release>:-s>)

# The app: stripped like the module, with the icon the artwork generator draws.
target_link_options (Vantorel_Standalone PRIVATE $<$<CONFIG:Release>:-s>)
set (VANTOREL_APP_ICON "${PROJECT_SOURCE_DIR}/resources/icons/vantorel.ico")
file (CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/VantorelAppIcon.rc"
      CONTENT "1 ICON \"${VANTOREL_APP_ICON}\"\n")
target_sources (Vantorel_Standalone PRIVATE "${CMAKE_BINARY_DIR}/VantorelAppIcon.rc")
set_source_files_properties ("${CMAKE_BINARY_DIR}/VantorelAppIcon.rc" PROPERTIES OBJECT_DEPENDS "${VANTOREL_APP_ICON}")

# The installer, built by NSIS from packaging/windows/Vantorel.nsi: the VST3 bundle and the app.
find_program (VANTOREL_MAKENSIS makensis)
if (NOT VANTOREL_MAKENSIS)
    message (FATAL_ERROR "makensis not found (Debian: nsis; scripts/setup-windows installs it)")
endif()

set (VANTOREL_INSTALLER "${CMAKE_BINARY_DIR}/Vantorel-${PROJECT_VERSION}-win64-setup.exe")
add_custom_command (OUTPUT "${VANTOREL_INSTALLER}"
    COMMAND "${VANTOREL_MAKENSIS}" -V2 -NOCD
        "-DVERSION=${PROJECT_VERSION}"
        "-DVST3_BUNDLE=$<TARGET_GENEX_EVAL:Vantorel_VST3,$<TARGET_PROPERTY:Vantorel_VST3,JUCE_PLUGIN_ARTEFACT_FILE>>"
        "-DAPP=$<TARGET_FILE:Vantorel_Standalone>"
        "-DICON=${VANTOREL_APP_ICON}"
        "-DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE"
        "-DOUTFILE=${VANTOREL_INSTALLER}"
        "${PROJECT_SOURCE_DIR}/packaging/windows/Vantorel.nsi"
    DEPENDS Vantorel_VST3 Vantorel_Standalone "${PROJECT_SOURCE_DIR}/packaging/windows/Vantorel.nsi"
            "${VANTOREL_APP_ICON}" "${PROJECT_SOURCE_DIR}/LICENSE"
    VERBATIM)
add_custom_target (vantorel_installer ALL DEPENDS "${VANTOREL_INSTALLER}")
