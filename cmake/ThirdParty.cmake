# Libraries from outside the project that the core uses, found rather than
# assumed to be on the compiler's path.

# readerwriterqueue: the header-only queues between the audio thread and the
# rest. A cross build takes the build machine's copy of the headers, but not
# its whole include folder (that holds the build machine's C library): the
# headers are copied into the build folder and that copy is used.
find_path(TONEFIELD_READERWRITERQUEUE_INCLUDE_DIR readerwriterqueue/readerwriterqueue.h
          DOC "folder holding readerwriterqueue/readerwriterqueue.h")
if(NOT TONEFIELD_READERWRITERQUEUE_INCLUDE_DIR)
  message(FATAL_ERROR "readerwriterqueue/readerwriterqueue.h not found: install libreaderwriterqueue-dev "
                      "(scripts/bootstrap) or set TONEFIELD_READERWRITERQUEUE_INCLUDE_DIR")
endif()
set(readerwriterqueue_include ${TONEFIELD_READERWRITERQUEUE_INCLUDE_DIR})
if(CMAKE_CROSSCOMPILING)
  set(readerwriterqueue_include ${PROJECT_BINARY_DIR}/third_party/include)
  file(COPY ${TONEFIELD_READERWRITERQUEUE_INCLUDE_DIR}/readerwriterqueue DESTINATION ${readerwriterqueue_include})
endif()
add_library(tonefield_readerwriterqueue INTERFACE)
target_include_directories(tonefield_readerwriterqueue SYSTEM INTERFACE ${readerwriterqueue_include})

# GoogleTest. Debian has no build of it for Windows, but ships its sources
# (package googletest): a cross build compiles them with the tests.
if(CMAKE_CROSSCOMPILING AND (TONEFIELD_TESTS OR TONEFIELD_FUZZ) AND NOT TONEFIELD_FUZZ)
  find_path(TONEFIELD_GOOGLETEST_SOURCE_DIR googletest/CMakeLists.txt PATHS /usr/src/googletest NO_CMAKE_FIND_ROOT_PATH
            DOC "GoogleTest's sources, for the tests of a cross build")
  if(NOT TONEFIELD_GOOGLETEST_SOURCE_DIR)
    message(FATAL_ERROR "GoogleTest sources not found: install googletest (scripts/bootstrap)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TONEFIELD_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE -w)  # not our code: its warnings are not ours to fix
  endforeach()
endif()
