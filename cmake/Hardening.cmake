# Package builds take Debian's hardening flags from dpkg-buildflags, as a
# distribution's own build would: stack protector, fortified C library
# calls, read-only relocations bound at start (bind-now). Off by default:
# the sanitizer, fuzzing and benchmark builds want their own flags, and a
# developer's build gains nothing from them. `make package` turns it on.
option(TONEFIELD_HARDENING "Compile and link with the hardening flags of dpkg-buildflags" OFF)

if(TONEFIELD_HARDENING)
  find_program(TONEFIELD_DPKG_BUILDFLAGS dpkg-buildflags)
  if(NOT TONEFIELD_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "TONEFIELD_HARDENING needs dpkg-buildflags (package dpkg-dev)")
  endif()
  if(TONEFIELD_SANITIZE OR TONEFIELD_FUZZ)
    message(FATAL_ERROR "TONEFIELD_HARDENING does not go with the sanitizer or fuzzing builds")
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${TONEFIELD_DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # The build type chooses the optimisation and debug information.
    list(FILTER flags EXCLUDE REGEX "^-O[0-9sg]?$|^-g$")
    set(TONEFIELD_HARDENING_${kind} ${flags})
  endforeach()
  add_compile_options(${TONEFIELD_HARDENING_CPPFLAGS} ${TONEFIELD_HARDENING_CXXFLAGS})
  add_link_options(${TONEFIELD_HARDENING_LDFLAGS})
  message(STATUS "Hardening flags: ${TONEFIELD_HARDENING_CPPFLAGS} ${TONEFIELD_HARDENING_CXXFLAGS} ${TONEFIELD_HARDENING_LDFLAGS}")
endif()
