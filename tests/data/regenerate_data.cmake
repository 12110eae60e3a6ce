# Writes the data set with make-data.py into OUT_DIR and fails unless every file it writes is
# byte for byte the one in data/, and every table in data/ is one it writes (the pictures come
# from another tool).
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${OUT_DIR})
execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/scripts/make-data.py --out ${OUT_DIR}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make-data.py failed: ${rc}")
endif()

file(GLOB generated RELATIVE ${OUT_DIR} ${OUT_DIR}/*)
file(GLOB shipped RELATIVE ${SOURCE_DIR}/data ${SOURCE_DIR}/data/*.mod ${SOURCE_DIR}/data/*.dic)
if(NOT generated)
  message(FATAL_ERROR "make-data.py wrote nothing into ${OUT_DIR}")
endif()

set(faults)
foreach(name IN LISTS generated)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT_DIR}/${name}
                          ${SOURCE_DIR}/data/${name} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    list(APPEND faults "data/${name} differs from what make-data.py writes (or is missing)")
  endif()
endforeach()
foreach(name IN LISTS shipped)
  if(NOT name IN_LIST generated)
    list(APPEND faults "data/${name} is not written by make-data.py")
  endif()
endforeach()
if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "${text}\nRun scripts/make-data.py and commit data/.")
endif()
