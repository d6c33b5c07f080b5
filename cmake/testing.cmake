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
