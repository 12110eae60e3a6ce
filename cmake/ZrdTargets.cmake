# Shared compile settings, applied per target (no global flags).
add_library(zrd_options INTERFACE)
target_compile_options(zrd_options INTERFACE -Wall -Wextra)
# Off by default: a packager's compiler may warn where ours does not, and must still build.
if(ZRD_WARNINGS_AS_ERRORS)
  target_compile_options(zrd_options INTERFACE -Werror)
endif()
if(ZRD_SANITIZE)
  target_compile_options(zrd_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(zrd_options INTERFACE -fsanitize=address,undefined)
endif()
if(ZRD_SANITIZE_THREADS)
  target_compile_options(zrd_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(zrd_options INTERFACE -fsanitize=thread)
endif()
if(ZRD_FUZZ)
  # The core is instrumented too, so the fuzzers see coverage inside it.
  target_compile_options(zrd_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(zrd_options INTERFACE -fsanitize=address,undefined)
endif()

# The tests' simulated drive answers on a thread that a busy machine may hold back for a
# scheduler period or two (100 ms on a throttled virtual machine); a drive's own margin would
# take that for silence. The tests' reply waits get a margin that outlasts it, and their faults
# are scaled from it.
set(ZRD_TEST_REPLY_MARGIN "ZRD_REPLY_MARGIN_MS=150")

# Registers one GoogleTest executable with ctest.
function(zrd_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main zrd_options)
  # Parameter values stay out of the test names; each case carries a readable name instead.
  # LABELS: the ctest labels of its cases ("threads": scripts/sanitize-threads runs them).
  set(properties TIMEOUT 120 ENVIRONMENT ${ZRD_TEST_REPLY_MARGIN})
  # "sim": the other tests that run the simulated drive (scripts/soak-tests runs both labels
  # under load). One label each: a list does not survive the discovery's property expansion.
  if(NOT ARG_LABELS AND "zrdsim" IN_LIST ARG_LIBS)
    set(ARG_LABELS sim)
  endif()
  if(ARG_LABELS)
    list(APPEND properties LABELS ${ARG_LABELS})
  endif()
  gtest_discover_tests(${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()
