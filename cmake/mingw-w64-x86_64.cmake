# Cross-building the 64-bit Windows module on Debian with MinGW-w64.
# Usage: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVANTOREL_WINDOWS_DEPS=<prefix> ...

set (CMAKE_SYSTEM_NAME Windows)
set (CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix variants give std::thread and std::mutex, which JUCE needs.
set (VANTOREL_MINGW_TRIPLE x86_64-w64-mingw32)
set (CMAKE_C_COMPILER ${VANTOREL_MINGW_TRIPLE}-gcc-posix)
set (CMAKE_CXX_COMPILER ${VANTOREL_MINGW_TRIPLE}-g++-posix)
set (CMAKE_RC_COMPILER ${VANTOREL_MINGW_TRIPLE}-windres)

# Headers and libraries come from the MinGW sysroot (and the image libraries built for it),
# never from the Linux system; programs such as juceaide run on the build machine.
set (CMAKE_FIND_ROOT_PATH /usr/${VANTOREL_MINGW_TRIPLE} ${VANTOREL_WINDOWS_DEPS})
set (CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set (CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's JUCE CMake package (with its Linux juceaide) drives the cross-build as it is.
set (JUCE_DIR /usr/lib/x86_64-linux-gnu/cmake/JUCE-7.0.5 CACHE PATH "JUCE's CMake package")

# Link the C and C++ runtimes in, so the module and the programs import only Windows system DLLs.
set (CMAKE_EXE_LINKER_FLAGS_INIT -static)
set (CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set (CMAKE_MODULE_LINKER_FLAGS_INIT -static)

# Windows programs built here (tests, renderer) run under Wine, in a Wine prefix of the build
# folder so no user's ~/.wine is touched. HOME points at a folder that is never created: Wine
# then gives the Wine user real Documents (and other) folders inside the prefix instead of
# links to the user's home. Wine's Recycle Bin is the freedesktop.org trash of XDG_DATA_HOME:
# a folder of the build too. The mono/gecko installers are never wanted.
set (CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix HOME=${CMAKE_BINARY_DIR}/wine-no-home
        XDG_DATA_HOME=${CMAKE_BINARY_DIR}/wine-data
        WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= wine)
