# Helpers shared by every folder's CMakeLists.txt.

# A static library of the toolkit-free core. Its headers are included as
# "folder/Name.h" relative to src/.
function(tonefield_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set_property(GLOBAL APPEND PROPERTY TONEFIELD_CORE_LIBS ${name})
endfunction()

# Fails the configure step when a core library links a toolkit.
function(tonefield_check_core_links)
  get_property(libs GLOBAL PROPERTY TONEFIELD_CORE_LIBS)
  foreach(lib IN LISTS libs)
    get_target_property(deps ${lib} LINK_LIBRARIES)
    get_target_property(ideps ${lib} INTERFACE_LINK_LIBRARIES)
    foreach(dep IN LISTS deps ideps)
      if(dep MATCHES "Qt|SDL")
        message(FATAL_ERROR "core library ${lib} must not link ${dep}: the core is toolkit-free")
      endif()
    endforeach()
  endforeach()
endfunction()

# A GoogleTest program run by CTest. Not built in the fuzzing configuration.
#   tonefield_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENV VAR=value ...] [X_DESKTOP])
# X_DESKTOP runs it on a private Xvfb desktop with openbox
# (scripts/with-x-desktop); it is skipped where neither is installed.
function(tonefield_test name)
  if(TONEFIELD_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "X_DESKTOP" "" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT TARGET GTest::gtest)  # a cross build compiles its own (ThirdParty.cmake)
    find_package(GTest REQUIRED)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
  if(T_X_DESKTOP)
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-x-desktop $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()

# A libFuzzer target, built only in the fuzzing configuration (clang).
#   tonefield_fuzzer(NAME SOURCES a.cpp LIBS lib1)
function(tonefield_fuzzer name)
  if(NOT TONEFIELD_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY TONEFIELD_FUZZERS ${name})
endfunction()

# A Google Benchmark program.
function(tonefield_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
