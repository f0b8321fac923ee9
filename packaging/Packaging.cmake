# SPDX-FileCopyrightText: 2026 The Tolvane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Debian packages from the install components:
#   tolvane     the program, its desktop files, and libLED.so.1 (components Tolvane, LEDRuntime)
#   libled-dev  LED's header, CMake package and Qt Designer plugin (component LED)
# scripts/package configures with CMAKE_INSTALL_PREFIX=/usr and runs cpack.
include(GNUInstallDirs)

set(_tolvane_maintainer "The Tolvane developers <maintainers@users.noreply.c-seed-ab1192d6.example>")

# Debian wants each package's copyright and changelog in its own documentation folder.
find_program(TOLVANE_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${TOLVANE_GZIP} -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(tolvane_package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
foreach(pair "tolvane;Tolvane" "libled-dev;LED")
  list(GET pair 0 _package)
  list(GET pair 1 _component)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_package} COMPONENT ${_component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VENDOR "The Tolvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${_tolvane_maintainer})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Tolvane LEDRuntime LED)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENT_TOLVANE_GROUP Program)
set(CPACK_COMPONENT_LEDRUNTIME_GROUP Program)
set(CPACK_COMPONENT_LED_GROUP Development)

set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${_tolvane_maintainer})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The Designer plugin's libLED.so.1 comes from the tolvane package, not from the system.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/led)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME tolvane)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION sound)
# The window's captions are drawn in Liberation Sans and DejaVu Sans Condensed; with any other
# font they no longer fit their boxes, so the fonts come with the program, recommends or not. Qt's
# own dialogs (the save dialog, the Yes/No/Cancel buttons) speak the window's language only with
# Qt's translations installed.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-extra, qt6-translations-l10n")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio, qt6-wayland")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "pavucontrol")
# libLED.so.1 is public: programs built against it depend on tolvane (>= the version they saw).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DropLdconfigScripts.cmake)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "sound recorder for the line-in, a microphone or a telephone line
Tolvane records the default PulseAudio or PipeWire source into 16-bit PCM
WAV files at 44100, 22050 or 11025 Hz, stereo or mono. Whatever happens, a
full disk, a lost sound server or a closed window, the audio captured up to
that moment stays in a valid WAV file.
.
This package also holds libLED, the seven-segment digit widget library whose
readout shows the elapsed time of a take.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libled-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "tolvane (= ${PROJECT_VERSION}), qt6-base-dev (>= 6.4)")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS "designer-qt6")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "seven-segment digit widget for Qt 6 - development files
LED is a QWidget that shows one seven-segment digit and a decimal point, in
colours and sizes of your choice. This package holds its header, its CMake
package (find_package(LED)) and its Qt Designer plugin, which puts LED in
Designer's widget box with a property sheet of its own.")

include(CPack)
