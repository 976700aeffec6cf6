# The Debian package (CPack's DEB generator): everything `cmake --install` puts under /usr
# (cmake/LinuxInstall.cmake), binaries stripped, dependencies computed by dpkg-shlibdeps.
# scripts/package builds it: vantorel_<version>_amd64.deb.

set (CPACK_GENERATOR DEB)
set (CPACK_PACKAGE_NAME vantorel)
set (CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set (CPACK_PACKAGE_VENDOR Korvane)
set (CPACK_PACKAGE_CONTACT "Korvane <info@korvane.example>")
set (CPACK_PACKAGING_INSTALL_PREFIX /usr)
set (CPACK_STRIP_FILES ON)

set (CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set (CPACK_DEBIAN_PACKAGE_SECTION sound)
set (CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set (CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://korvane.example")
set (CPACK_DEBIAN_COMPRESSION_TYPE xz)
set (CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set (CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# JUCE opens the X libraries and JACK at run time, which dpkg-shlibdeps cannot see: X11 and
# its extension library are needed for any window, the others make it better; a font with
# the sans-serif faces JUCE looks for draws the editor's text.
set (CPACK_DEBIAN_PACKAGE_DEPENDS "libx11-6, libxext6")
set (CPACK_DEBIAN_PACKAGE_RECOMMENDS
     "libxcursor1, libxinerama1, libxrandr2, libxrender1, fonts-dejavu-core | fonts-liberation, libjack-jackd2-0 | libjack0")
set (CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2, lv2-host, ardour")

set (CPACK_PACKAGE_DESCRIPTION_SUMMARY "feedback delay effect: VST3 and LV2 plug-ins and an app")
# CPack puts the summary first and indents the rest as Debian wants.
set (CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vantorel delays its input by 10 ms to 1 s and feeds the repeats back
through a one-pole low-pass or high-pass filter and a limiter, with a crossfade
on every change of the delay time and optional oversampling. Its panel has the
knobs, switches and level meter of a hardware unit, presets and undo.

This package holds the VST3 plug-in (/usr/lib/vst3/Vantorel.vst3) and the LV2
plug-in (/usr/lib/lv2/Vantorel.lv2) for audio workstations such as Ardour,
Carla, Qtractor or Zrythm, and the app Vantorel, which runs the effect on the
sound card through ALSA or JACK.")

include (CPack)
