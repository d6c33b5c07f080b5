# Writes a module-definition file that lists the functions of an import
# library, for dlltool to make the delay-load library of the same DLL.
#   cmake -DNM=<nm> -DIMPORT_LIBRARY=<libuser32.a> -DDLL=<user32.dll> -DDEF=<out.def>
#         -DUNDERSCORE=<ON|OFF> -P import-def.cmake
# UNDERSCORE: the target's C names carry a leading underscore (i686), to be
# taken off; the "@n" of stdcall names stays for dlltool to keep apart.
cmake_minimum_required(VERSION 3.20)

execute_process(COMMAND ${NM} -g --defined-only ${IMPORT_LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} cannot list ${IMPORT_LIBRARY}: ${errors}")
endif()
string(REPLACE "\n" ";" lines "${symbols}")
set(exports "")
foreach(line IN LISTS lines)
  # Only functions (their thunks are text); data cannot be delay-loaded.
  if(line MATCHES "^[0-9a-fA-F]+ T (.+)$")
    set(name "${CMAKE_MATCH_1}")
    if(UNDERSCORE)
      string(REGEX REPLACE "^_" "" name "${name}")
    endif()
    list(APPEND exports "${name}")
  endif()
endforeach()
list(REMOVE_DUPLICATES exports)
list(LENGTH exports count)
if(count EQUAL 0)
  message(FATAL_ERROR "${IMPORT_LIBRARY} names no function")
endif()
list(JOIN exports "\n  " lines)
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n  ${lines}\n")
