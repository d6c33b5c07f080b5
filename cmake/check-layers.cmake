# Fails when a file of an engine layer includes a header of a layer that is
# not below it. Run by the build before each layer's library is compiled:
#   cmake -DFOLDER=<layer folder> -DLAYER=<name> -DALLOWED=<a|b|c> -DSTAMP=<file> -P check-layers.cmake
# ALLOWED lists the layers (folder names under engine/) that LAYER may include,
# itself among them; the core is always allowed.
cmake_minimum_required(VERSION 3.20)

foreach(var FOLDER LAYER ALLOWED STAMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check-layers: ${var} is not set")
  endif()
endforeach()
string(REPLACE "|" ";" allowed "${ALLOWED}")

file(GLOB_RECURSE files "${FOLDER}/*.h" "${FOLDER}/*.cpp")
set(violations "")
foreach(file IN LISTS files)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]engine/")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "engine/([A-Za-z0-9_]+)/" _ "${line}")
    set(included "${CMAKE_MATCH_1}")
    if(included STREQUAL "" OR NOT included IN_LIST allowed)
      file(RELATIVE_PATH shown "${FOLDER}/.." "${file}")
      string(STRIP "${line}" line)
      string(APPEND violations "\n  ${shown}: ${line}")
    endif()
  endforeach()
endforeach()

if(NOT violations STREQUAL "")
  message(FATAL_ERROR "the ${LAYER} layer may include only ${allowed} and the core:${violations}")
endif()
file(WRITE "${STAMP}" "")
