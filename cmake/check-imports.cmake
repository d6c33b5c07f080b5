# Checks a linked Windows program's imports, after the link:
#   cmake -DOBJDUMP=<objdump> -DNM=<nm> -DPROGRAM=<Setup.exe> -DALLOWED=<a.dll|b.dll>
#         -DDELAY_LIBRARIES=<lib1.a|lib2.a> -P check-imports.cmake
# 1. The import table names only the DLLs in ALLOWED: every other DLL that
#    the import table names is loaded before the program's first
#    instruction, by the default search that starts in the program's own
#    folder, where anybody may have put a library of that name.
# 2. Every delay-loaded function that the program calls kept its stub: its
#    __imp_ slot starts out pointing into that stub, and a program whose
#    stub was dropped jumps to address 0 on the first call (the i686 linker
#    drops stubs that nothing references by name).
# 3. With NO_POSIX_THREADS on, no function of winpthread is in the program.
# On a failure the program is deleted, so that the next build links it
# again and checks it again instead of leaving a program that must not ship.
cmake_minimum_required(VERSION 3.20)

function(fail text)
  file(REMOVE ${PROGRAM})
  message(FATAL_ERROR "${PROGRAM}: ${text}")
endfunction()

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("${OBJDUMP} cannot read the program")
endif()
string(REPLACE "|" ";" allowed "${ALLOWED}")
string(TOLOWER "${allowed}" allowed)
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${headers}")
set(imported "")
foreach(line IN LISTS names)
  string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  list(APPEND imported ${dll})
  if(NOT dll IN_LIST allowed)
    fail("the import table names ${dll}; only ${ALLOWED} may be loaded before the program starts (delay-load the others, see delay-imports.cmake)")
  endif()
endforeach()
if(NOT imported)
  fail("no import table found")
endif()

# The program's symbols: "value type name". A dropped stub is an absolute
# symbol at 0.
execute_process(COMMAND ${NM} ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("${NM} cannot list the program's symbols (the check needs the program before stripping)")
endif()
string(REGEX MATCHALL "0+ A [^\n]+" absolute "${symbols}")
string(REPLACE "|" ";" libraries "${DELAY_LIBRARIES}")
set(slots "")
foreach(library IN LISTS libraries)
  execute_process(COMMAND ${NM} -g --defined-only ${library} OUTPUT_VARIABLE listed RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    fail("${NM} cannot list ${library}")
  endif()
  string(APPEND slots "${listed}")
endforeach()
foreach(line IN LISTS absolute)
  string(REGEX REPLACE "^0+ A " "" name "${line}")
  string(FIND "${slots}" " __imp_${name}\n" at)
  if(NOT at EQUAL -1)
    fail("the delay-load stub of ${name} was dropped: its first call would jump to address 0")
  endif()
endforeach()

if(NO_POSIX_THREADS AND symbols MATCHES "[\n ][Tt] _?(pthread_[a-z_]+)")
  fail("${CMAKE_MATCH_1} of winpthread is linked in: something takes a POSIX lock that the engine's runtime does not need")
endif()
