# The include check of the engine's layers, run on folders made here: a
# layer that includes only lower layers passes, one that reaches a higher
# layer fails the build and names the file and the include.
#   cmake -DCHECK=<check-layers.cmake> -DWORK=<scratch folder> -P layer_check_test.cmake
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE "${WORK}")
file(WRITE "${WORK}/controls/ok.cpp"
  "#include \"engine/controls/form.h\"\n#include \"engine/common/win_text.h\"\n#include \"core/errors.h\"\n#include <windows.h>\n")

function(run_check folder allowed)
  execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} -DLAYER=controls -DALLOWED=${allowed}
                          -DSTAMP=${WORK}/stamp -P ${CHECK}
                  RESULT_VARIABLE result ERROR_VARIABLE output)
  set(result ${result} PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
endfunction()

run_check(${WORK}/controls "common|controls")
if(NOT result EQUAL 0 OR NOT EXISTS ${WORK}/stamp)
  message(FATAL_ERROR "a layer with only lower includes was refused:\n${output}")
endif()

# A header two folders deep that includes the setup layer, and a spaced-out include.
file(WRITE "${WORK}/controls/deep/bad.h" "#pragma once\n#include \"engine/setup/setup_state.h\"\n")
file(WRITE "${WORK}/controls/worse.cpp" "  #  include <engine/install/install_form.h>\n")
file(REMOVE ${WORK}/stamp)
run_check(${WORK}/controls "common|controls")
if(result EQUAL 0 OR EXISTS ${WORK}/stamp)
  message(FATAL_ERROR "a layer that includes a higher one passed the check")
endif()
foreach(expected "controls/deep/bad.h: #include \"engine/setup/setup_state.h\""
                 "controls/worse.cpp: #  include <engine/install/install_form.h>")
  string(FIND "${output}" "${expected}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the refusal does not name '${expected}':\n${output}")
  endif()
endforeach()

# The lowest layer may not include the one right above it either.
file(REMOVE_RECURSE "${WORK}/controls")
file(WRITE "${WORK}/common/up.cpp" "#include \"engine/controls/window.h\"\n")
run_check(${WORK}/common "common")
if(result EQUAL 0)
  message(FATAL_ERROR "common including controls passed the check")
endif()
