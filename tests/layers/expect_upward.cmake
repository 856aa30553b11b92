# Runs the layer check on the sample tree beside this file, which holds five
# upward includes among allowed ones, and on links.txt, which holds two
# upward links among allowed ones, and fails unless the check fails and names
# exactly those seven, by file and line.
#   cmake -DCHECKER=<layercheck> -P expect_upward.cmake
set(expected
    "base/Pure.h:2: base includes program/Globals.h"
    "base/Pure.h:4: base includes trainer/Window.h"
    "links.txt:3: trainer links verbodrom_update"
    "links.txt:4: downloader links verbodrom_downloader"
    "tools/check.cpp:1: tools includes program/Globals.h"
    "tools/check.cpp:3: tools includes program/main.h"
    "trainer/Window.h:1: trainer includes update/Step.h")

execute_process(COMMAND "${CHECKER}" "${CMAKE_CURRENT_LIST_DIR}/src"
                        "${CMAKE_CURRENT_LIST_DIR}/links.txt"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}${errors}")
if(NOT status EQUAL 1)
    message(FATAL_ERROR "the check exited with ${status}, expected 1")
endif()

string(REGEX MATCHALL "[^\n]+:[0-9]+: [^,\n]+" found "${output}")
list(SORT found)
if(NOT found STREQUAL expected)
    message(FATAL_ERROR "the check named\n  ${found}\ninstead of\n  ${expected}")
endif()
