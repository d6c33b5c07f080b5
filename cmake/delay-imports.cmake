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
  # Every call goes to the function's stub, never straight through its
  # __imp_ slot: the slot of a delay-loaded function starts out pointing at
  # the second half of that stub (which loads the DLL), and the i686 linker
  # drops the stub of an import library member whose stub symbol nobody
  # references, leaving the slot zero and the first call jumping to address
  # 0. The system headers declare their functions dllimport through
  # DECLSPEC_IMPORT; empty, it makes the compiler call the stub.
  # check-imports.cmake verifies every slot of the linked programs.
  target_compile_definitions(${D_TARGET} INTERFACE DECLSPEC_IMPORT=)
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
    set_property(GLOBAL APPEND PROPERTY QV_DELAY_LIBRARIES ${lib})
  endforeach()
endfunction()

# qv_check_imports(TARGET [NO_POSIX_THREADS]): after each link of the
# program, check-imports.cmake fails the build when its import table names
# more than kernel32, msvcrt and advapi32, or when a delay-loaded function
# lost its stub; with NO_POSIX_THREADS, also when winpthread is linked in.
function(qv_check_imports target)
  cmake_parse_arguments(C "NO_POSIX_THREADS" "" "" ${ARGN})
  if(NOT CMAKE_OBJDUMP)
    message(FATAL_ERROR "the import check needs objdump of the toolchain")
  endif()
  get_property(libraries GLOBAL PROPERTY QV_DELAY_LIBRARIES)
  string(REPLACE ";" "|" libraries "${libraries}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DNM=${CMAKE_NM} -DPROGRAM=$<TARGET_FILE:${target}>
            -DALLOWED=kernel32.dll|msvcrt.dll|advapi32.dll -DDELAY_LIBRARIES=${libraries}
            -DNO_POSIX_THREADS=${C_NO_POSIX_THREADS}
            -P ${PROJECT_SOURCE_DIR}/cmake/check-imports.cmake
    COMMENT "Checking the imports of ${target}" VERBATIM)
endfunction()

# qv_release_program(TARGET BUDGET_KIB n): an engine program as it ships in
# every author's download. Only the code it uses: the whole program
# optimised at the link, each function in a section of its own (the
# engine's compile options), the sections nothing references dropped at
# the link, and the runtime's verbose end
# replaced (program_terminate.cpp), and in Release the C++ runtime that
# takes its locks without winpthread. After each link, in this order: the
# import check, which needs the program's symbols; then the symbols and
# debug sections stripped; then the size check against the budget, which
# fails the i686 build (the release) above it and prints the size of the
# x86-64 one. Other build types keep their symbols and are not held.
function(qv_release_program target)
  cmake_parse_arguments(P "" "BUDGET_KIB" "" ${ARGN})
  target_link_libraries(${target} PRIVATE qv_program_terminate)
  target_link_options(${target} PRIVATE -Wl,--gc-sections)
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
    qv_check_imports(${target})
    return()
  endif()
  # The compiler is the posix thread model's (mingw-common.cmake), for the
  # std::thread of the tool and the tests. Its libstdc++ and libgcc take
  # their own locks through winpthread (function-local statics, the
  # exception pool, thread_local), about 27 KB of each program. The engine
  # starts its threads with CreateThread and takes no std::mutex, so it
  # links the same GCC's runtime built for the win32 thread model instead:
  # the same C++ ABI, the locks taken with the system's own primitives.
  # The import check fails the link if winpthread still comes in.
  if(NOT QV_WIN32_THREADS_RUNTIME)
    find_program(QV_WIN32_THREADS_CXX ${QV_MINGW_TRIPLE}-g++-win32)
    if(NOT QV_WIN32_THREADS_CXX)
      message(FATAL_ERROR "${QV_MINGW_TRIPLE}-g++-win32 is missing: the release programs link its runtime. "
                          "scripts/install-deps.sh installs it (Debian's g++-mingw-w64-*-win32).")
    endif()
    execute_process(COMMAND ${QV_WIN32_THREADS_CXX} -print-libgcc-file-name
                    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    get_filename_component(runtime ${libgcc} DIRECTORY)
    set(QV_WIN32_THREADS_RUNTIME ${runtime} CACHE PATH "libstdc++ and libgcc of the win32 thread model")
  endif()
  target_link_options(${target} PRIVATE -L${QV_WIN32_THREADS_RUNTIME})
  qv_check_imports(${target} NO_POSIX_THREADS)
  # The whole program optimised at the link (QV_LTO_COMPILE_OPTIONS), small
  # like its parts. In one partition: GCC 12 for MinGW stops with an
  # internal error in some of the partitions it would otherwise make.
  target_link_options(${target} PRIVATE -flto -flto-partition=one -Os)
  if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "a release program needs strip of the toolchain")
  endif()
  set(enforce OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(enforce ON)
  endif()
  math(EXPR budget "${P_BUDGET_KIB} * 1024")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DBUDGET=${budget} -DENFORCE=${enforce}
            -P ${PROJECT_SOURCE_DIR}/cmake/check-size.cmake
    COMMENT "Stripping ${target} and checking its size" VERBATIM)
endfunction()
