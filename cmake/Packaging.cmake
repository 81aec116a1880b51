# Install rules (`cmake --install`, GNU folders) and the Debian package
# (`make package`: CPack with dependencies found by dpkg-shlibdeps).
include(GNUInstallDirs)

# Who answers for the package. Whoever builds a package for others sets
# their own name and address (-DTONEFIELD_MAINTAINER=..., or DEBFULLNAME and
# DEBEMAIL in the environment, as Debian's own tools read them); otherwise
# the project's address on GitHub, where its AppStream id places it too.
if(DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL})
  set(default_maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
else()
  set(default_maintainer "The Tonefield developers <tonefield@users.noreply.github.com>")
endif()
set(TONEFIELD_MAINTAINER "${default_maintainer}" CACHE STRING "Maintainer field of the Debian package")
if(TONEFIELD_MAINTAINER MATCHES "@tonefield\\.example>$")  # the old made-up default
  set_property(CACHE TONEFIELD_MAINTAINER PROPERTY VALUE "${default_maintainer}")
endif()

foreach(program tonefield tonefield-render)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
# Stripping leaves the compiler's .comment and .note sections, which a
# package does not need (Debian's own build removes them too).
find_program(TONEFIELD_OBJCOPY NAMES ${CMAKE_OBJCOPY} objcopy)
if(TONEFIELD_OBJCOPY)
  foreach(program tonefield tonefield-render)
    if(TARGET ${program})
      install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
          execute_process(COMMAND \"${TONEFIELD_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
                          RESULT_VARIABLE failed)
          if(failed)
            message(FATAL_ERROR \"objcopy failed on ${program}\")
          endif()
        endif()")
    endif()
  endforeach()
endif()
add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)

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
if(TONEFIELD_WEB_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TONEFIELD_WEB_URL}/")
endif()
# Libraries come from dpkg-shlibdeps; these are what the programs load or
# start by name: Qt's Japanese catalogue, a Japanese font, the mixer.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-ipafont-gothic | fonts-japanese-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pavucontrol")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
