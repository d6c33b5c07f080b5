# qv_delay_imports(TARGET name DLLS user32 gdi32 ...): an interface target
# that links the functions of those system DLLs through delay-load
# libraries made with dlltool from the toolchain's import libraries. A DLL
# imported so is loaded on the first call of one of its functions, by the
# name alone, through the search that the program has set by then; a DLL
# in the import table is loaded before the program's first instruction,
# and with it the DLLs it imports itself, found by the system's default
# search, which starts in the program's own folder.
function(qv_delay_imports)
  cmake_parse_arguments(D "" "TARGET" "DLLS" ${ARGN})
  if(NOT CMAKE_DLLTOOL OR NOT CMAKE_NM)
    message(FATAL_ERROR "delay-load libraries need dlltool and nm of the toolchain")
  endif()
  set(underscore OFF)
  set(killAt "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # i686: C names start with "_", and stdcall names end in "@n", which
    # the DLL's own export names do not carry.
    set(underscore ON)
    set(killAt --kill-at)
  endif()
  add_library(${D_TARGET} INTERFACE)
  foreach(dll IN LISTS D_DLLS)
    find_library(QV_IMPORT_LIBRARY_${dll} NAMES lib${dll}.a REQUIRED)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/delay/${dll}.def)
    set(lib ${CMAKE_CURRENT_BINARY_DIR}/delay/lib${dll}_delay.a)
    add_custom_command(OUTPUT ${lib}
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIMPORT_LIBRARY=${QV_IMPORT_LIBRARY_${dll}} -DDLL=${dll}.dll
              -DDEF=${def} -DUNDERSCORE=${underscore} -P ${PROJECT_SOURCE_DIR}/cmake/import-def.cmake
      COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --output-delaylib ${lib} ${killAt}
      DEPENDS ${QV_IMPORT_LIBRARY_${dll}} ${PROJECT_SOURCE_DIR}/cmake/import-def.cmake
      COMMENT "Making the delay-load library of ${dll}.dll" VERBATIM)
    add_custom_target(${D_TARGET}_${dll} DEPENDS ${lib})
    add_dependencies(${D_TARGET} ${D_TARGET}_${dll})
    target_link_libraries(${D_TARGET} INTERFACE ${lib})
  endforeach()
endfunction()
