# `make windows-package`: tonefield-<version>-windows-x64.zip in the build
# folder, holding the programs (stripped), a short Japanese and English
# read-me (CRLF, for Notepad) and the licences of the libraries linked into
# them. Only for a Windows build.
if(NOT WIN32)
  return()
endif()

set(TONEFIELD_WINDOWS_PROGRAMS tonefield-render)
if(TARGET tonefield)
  list(APPEND TONEFIELD_WINDOWS_PROGRAMS tonefield)  # the window, once there is one
endif()
set(TONEFIELD_WINDOWS_LICENSES
    /usr/share/doc/gcc-mingw-w64-base/copyright:gcc-runtime.txt
    /usr/share/doc/mingw-w64-x86-64-dev/copyright:mingw-w64-runtime-and-winpthreads.txt
    /usr/share/doc/libreaderwriterqueue-dev/copyright:readerwriterqueue.txt)

set(package_name tonefield-${PROJECT_VERSION}-windows-x64)
set(stage ${PROJECT_BINARY_DIR}/windows-package/${package_name})
set(readme ${PROJECT_BINARY_DIR}/windows-package/README.txt)
configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/README-windows.txt.in ${readme} @ONLY NEWLINE_STYLE CRLF)

set(copy_steps)
foreach(program IN LISTS TONEFIELD_WINDOWS_PROGRAMS)
  list(APPEND copy_steps COMMAND ${CMAKE_STRIP} -o ${stage}/${program}.exe $<TARGET_FILE:${program}>)
endforeach()
foreach(entry IN LISTS TONEFIELD_WINDOWS_LICENSES)
  string(REPLACE ":" ";" pair ${entry})
  list(GET pair 0 source)
  list(GET pair 1 name)
  list(APPEND copy_steps COMMAND ${CMAKE_COMMAND} -E copy ${source} ${stage}/licenses/${name})
endforeach()

add_custom_target(windows-package
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${PROJECT_BINARY_DIR}/${package_name}.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/licenses
  ${copy_steps}
  COMMAND ${CMAKE_COMMAND} -E copy ${readme} ${stage}/README.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/windows-package
          ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${package_name}.zip --format=zip ${package_name}
  DEPENDS ${TONEFIELD_WINDOWS_PROGRAMS}
  COMMENT "Packing ${package_name}.zip"
  VERBATIM)
