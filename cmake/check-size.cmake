# Holds a linked, stripped program to its size budget, after the link:
#   cmake -DPROGRAM=<Setup.exe> -DBUDGET=<bytes> -DENFORCE=<ON|OFF> -P check-size.cmake
# Every author's download carries Setup.exe and the uninstaller, so their
# size is part of what the engine promises; the budget holds it in the
# build, where a change that pulls a heavy library part in fails at once
# instead of being found in the next download. Above the budget, an
# enforced check deletes the program, so that the next build links and
# checks it again instead of leaving one that must not ship; an unenforced
# one (the x86-64 build) only says the size.
cmake_minimum_required(VERSION 3.20)

file(SIZE ${PROGRAM} size)
get_filename_component(name ${PROGRAM} NAME)
math(EXPR sizeKiB "(${size} + 1023) / 1024")
math(EXPR budgetKiB "${BUDGET} / 1024")
if(NOT ENFORCE)
  message(STATUS "${name}: ${size} bytes (${sizeKiB} KiB; the i686 build holds ${budgetKiB} KiB)")
  return()
endif()
if(size GREATER BUDGET)
  file(REMOVE ${PROGRAM})
  math(EXPR over "${size} - ${BUDGET}")
  message(FATAL_ERROR "${PROGRAM}: ${size} bytes, ${over} bytes above its budget of ${BUDGET} (${budgetKiB} KiB). "
    "Something pulled in more code than the program needs: link it with -Wl,-Map=<file> and look under "
    "\"Archive member included to satisfy reference\" for what brought the new parts in.")
endif()
message(STATUS "${name}: ${size} bytes (${sizeKiB} KiB) of its budget of ${BUDGET} (${budgetKiB} KiB)")
