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
