# Fails when the program named by PROGRAM needs a Qt library other than QtCore.
#   cmake -DPROGRAM=<file> -P expect_qtcore_only.cmake
execute_process(COMMAND readelf -d "${PROGRAM}" RESULT_VARIABLE status OUTPUT_VARIABLE dynamic)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "readelf could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "libQt6[A-Za-z]+" qt "${dynamic}")
list(REMOVE_DUPLICATES qt)
if(NOT qt STREQUAL "libQt6Core")
    message(FATAL_ERROR "${PROGRAM} needs ${qt}, not only libQt6Core")
endif()
message("${PROGRAM} needs ${qt}")
