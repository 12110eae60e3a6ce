# zrdctl's frame and decode subcommands against known byte vectors.
# Each row: expected output | arguments (","-separated).
set(cases
  "E1 20 E4 02 E2|frame,read,0xE1"
  "E1 20 41 E2|frame,read,0x41"
  "E1 40 E4 03 E4 00 E4 02 E2|frame,write,0xE2,0xE4E1"
  "E1 40 10 00 E4 03 E2|frame,write,0x10,0x00E2"
  "E1 40 05 FF FE E2|frame,write,5,-2"
  "E1 65 01 00 00 E2|frame,cmd,0x65,1,0,0"
  "index 10 raw 57605 signed -7931|decode,E1 30 0A E4 02 05 E2"
  "index 10 raw 228 signed 228|decode,E1,30,0A,00,E4,00,E2")
foreach(row ${cases})
  string(REPLACE "|" ";" parts "${row}")
  string(REPLACE "," ";" parts "${parts}")
  list(GET parts 0 expected)
  list(SUBLIST parts 1 -1 args)
  execute_process(COMMAND ${ZRDCTL} ${args} OUTPUT_VARIABLE out RESULT_VARIABLE rc
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "zrdctl ${args}: got '${out}' (exit ${rc}), expected '${expected}'")
  endif()
endforeach()

# Bad input: non-zero exit and one line on stderr.
foreach(row "frame,read,256" "frame,write,1,x" "frame,bogus" "decode,E1 50 E2" "decode,zz" "nosuch"
            "raw,E1 20 01 E2" "--port,/dev/does-not-exist-zrd,raw,E1 20 01 E2")
  string(REPLACE "," ";" args "${row}")
  execute_process(COMMAND ${ZRDCTL} ${args} ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(rc EQUAL 0 OR err STREQUAL "")
    message(FATAL_ERROR "zrdctl ${args}: expected a failure with a reason, got exit ${rc}")
  endif()
endforeach()
