# Install rules (`cmake --install`, GNU folders) and the Debian package
# (`make package`: CPack with dependencies found by dpkg-shlibdeps).
include(GNUInstallDirs)

foreach(program tonefield tonefield-render)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)

set(TONEFIELD_MAINTAINER "The Tonefield developers <maintainers@tonefield.example>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonefield)
set(CPACK_PACKAGE_VENDOR "The Tonefield developers")
set(CPACK_PACKAGE_CONTACT "${TONEFIELD_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sampler keyboard with a Japanese user interface")
# The long description as Debian shows it: lines under 80 characters, "."
# for an empty line.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tonefield holds one short sound sample (a built-in tone, a WAV file, or"
  "three seconds recorded from the sound card) and turns it into 36 keys a"
  "semitone apart that keep the sample's length. Play up to 8 notes at once"
  "with the mouse or the PC keyboard; an 8-track sequencer plays nine"
  "built-in songs or your own score files. Everything played can be"
  "recorded into a WAV file. The user interface is Japanese."
  "."
  "tonefield-render plays songs offline into WAV files and exports the keys"
  "as an SFZ instrument.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TONEFIELD_WEB_URL}/")
# Libraries come from dpkg-shlibdeps; these are what the programs load or
# start by name: Qt's Japanese catalogue, a Japanese font, the mixer.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-ipafont-gothic | fonts-japanese-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pavucontrol")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
