# GoogleTest from the system's sources, built with the current toolchain.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# gtest's own sources are not ours to keep warning-free.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

if(WIN32)
  set(QV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
endif()

# qv_add_test(NAME name SOURCES ... LIBS ...): one test program, one ctest entry.
function(qv_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(WIN32)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "QV_WINEPREFIX=${QV_WINEPREFIX}")
  endif()
endfunction()

# qv_add_i686_run(TEST [GTEST ARGS...]): the end-to-end test program TEST
# once more, against the shipped programs of the i686 build
# (scripts/i686-run.sh), as TEST_i686; skipped, with the reason, where the
# machine cannot run 32-bit programs.
if(WIN32)
  set(QV_I686_BIN ${CMAKE_BINARY_DIR}/../win32/bin CACHE PATH "The bin folder of the i686 build, for the i686 runs")
endif()
function(qv_add_i686_run test)
  if(NOT WIN32 OR NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    return()
  endif()
  add_test(NAME ${test}_i686 COMMAND ${PROJECT_SOURCE_DIR}/scripts/i686-run.sh $<TARGET_FILE:${test}> ${ARGN})
  set_tests_properties(${test}_i686 PROPERTIES SKIP_RETURN_CODE 77
    ENVIRONMENT "QV_WINEPREFIX=${QV_WINEPREFIX};QV_I686_BIN=${QV_I686_BIN}")
endfunction()
