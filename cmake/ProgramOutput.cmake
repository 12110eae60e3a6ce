# Runs a program with one option and keeps what it prints in a file, gzip-compressed when the
# file name ends in .gz (manual pages):
#   cmake -DPROGRAM=... -DOPTION=... -DOUTPUT=... -P ProgramOutput.cmake
cmake_minimum_required(VERSION 3.25)
string(REGEX REPLACE "\\.gz$" "" plain ${OUTPUT})
execute_process(COMMAND ${PROGRAM} ${OPTION} OUTPUT_FILE ${plain} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${plain})
  message(FATAL_ERROR "${PROGRAM} ${OPTION} failed: ${rc}")
endif()
if(NOT plain STREQUAL OUTPUT)
  # -n leaves name and time out of the header: the same page gives the same file.
  execute_process(COMMAND gzip -9nf ${plain} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${plain} failed: ${rc}")
  endif()
endif()
