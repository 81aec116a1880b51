# Windows programs: icon, version information and manifest, compiled with
# windres into the program.
#   tonefield_windows_resources(TARGET DESCRIPTION "text shown in Explorer" [MANIFEST template.in])
# MANIFEST: a manifest template of the program's own (the window's asks for
# common controls 6 and per-monitor dpi); by default the console programs' one.
# The icon is made at build time from data/icons/tonefield.png by icotool
# (icoutils), which keeps the PNG as it is inside the .ico.
find_program(TONEFIELD_ICOTOOL icotool)

function(tonefield_windows_resources target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(R "" "DESCRIPTION;MANIFEST" "" ${ARGN})
  if(NOT TONEFIELD_ICOTOOL)
    message(FATAL_ERROR "icotool not found: install icoutils (scripts/bootstrap)")
  endif()
  set(icon ${PROJECT_BINARY_DIR}/windows/tonefield.ico)
  if(NOT TARGET tonefield_windows_icon)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${TONEFIELD_ICOTOOL} -c --raw=${PROJECT_SOURCE_DIR}/data/icons/tonefield.png -o ${icon}
      DEPENDS ${PROJECT_SOURCE_DIR}/data/icons/tonefield.png
      COMMENT "Making the Windows icon"
      VERBATIM)
    add_custom_target(tonefield_windows_icon DEPENDS ${icon})
  endif()
  set(program ${target})
  set(description ${R_DESCRIPTION})
  set(manifest ${PROJECT_BINARY_DIR}/windows/${target}.manifest)
  if(NOT R_MANIFEST)
    set(R_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest.in)
  endif()
  configure_file(${R_MANIFEST} ${manifest} @ONLY)
  set(rc ${PROJECT_BINARY_DIR}/windows/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${icon};${manifest}")
  add_dependencies(${target} tonefield_windows_icon)
endfunction()
