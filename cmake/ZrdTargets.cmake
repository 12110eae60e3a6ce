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

# Precompiled headers: the standard library, GoogleTest and Qt take most of each file's parse.
# Only outside headers go in, so that our own stay checked as they are written.
option(ZRD_PRECOMPILED_HEADERS "Precompile the standard, GoogleTest and Qt headers" ON)
# Compile options of the test programs' own code in place of the build type's (the "ci" preset:
# "-O0;-g0", which halves their compile time; the code under test keeps the build type's).
set(ZRD_TEST_COMPILE_OPTIONS "" CACHE STRING "Compile options of the test programs' own code")
set(ZRD_PCH_STD <algorithm> <array> <chrono> <cmath> <cstdint> <filesystem> <fstream>
    <functional> <map> <memory> <optional> <sstream> <string> <string_view> <vector>)
set(ZRD_PCH_QT <QAction> <QApplication> <QCheckBox> <QComboBox> <QDialog> <QGridLayout>
    <QGroupBox> <QHBoxLayout> <QLabel> <QLineEdit> <QObject> <QPushButton> <QRadioButton>
    <QString> <QTabWidget> <QTimer> <QToolButton> <QVBoxLayout> <QWidget>)
# zrd_precompile(target [HEADER...]): the standard headers and the given ones.
function(zrd_precompile target)
  if(ZRD_PRECOMPILED_HEADERS)
    target_precompile_headers(${target} PRIVATE ${ZRD_PCH_STD} ${ARGN})
  endif()
endfunction()

# The tests' simulated drive answers on a thread, through the kernel's pseudo-terminal, that a
# busy machine holds back: answers 375 ms late were seen with two CPU hogs and eight tests on
# two cores, where 300 ms still failed a test a run in three. A drive's own margin would take
# that for silence. The tests' reply waits get a margin well beyond it, and their faults are
# scaled from it.
set(ZRD_TEST_REPLY_MARGIN "ZRD_REPLY_MARGIN_MS=1000")
# The ports that tests open take their UUCP lock files in a folder of the build tree, never in
# the machine's /var/lock.
set(ZRD_TEST_LOCK_FOLDER "${CMAKE_BINARY_DIR}/test-locks")
file(MAKE_DIRECTORY "${ZRD_TEST_LOCK_FOLDER}")
set(ZRD_TEST_LOCKS "ZRD_LOCK_DIR=${ZRD_TEST_LOCK_FOLDER}")

# GCC 12 takes libstdc++'s own string copies for out-of-bounds accesses once its headers come
# from a precompiled header (they lose their system-header exemption there); the warnings are
# left off in the test programs only. The product keeps them: the core, the simulator and
# zrdctl are built without a precompiled header, and the windows' library builds clean with one.
function(zrd_pch_warnings target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow)
  endif()
endfunction()

function(zrd_test_options target)
  if(ZRD_TEST_COMPILE_OPTIONS)
    target_compile_options(${target} PRIVATE ${ZRD_TEST_COMPILE_OPTIONS})
  endif()
endfunction()

# One precompiled header for every test program, made once.
function(zrd_test_pch)
  if(TARGET zrd_test_pch)
    return()
  endif()
  add_library(zrd_test_pch OBJECT ${CMAKE_SOURCE_DIR}/tests/support/pch.cpp)
  target_link_libraries(zrd_test_pch PRIVATE GTest::gtest zrd_options)
  zrd_test_options(zrd_test_pch)
  zrd_pch_warnings(zrd_test_pch)
  target_precompile_headers(zrd_test_pch PRIVATE ${ZRD_PCH_STD} <gtest/gtest.h>)
endfunction()

# Registers one GoogleTest executable with ctest.
function(zrd_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main zrd_options)
  zrd_test_options(${name})
  # A program with Qt is built position-independent, which the shared header is not.
  if(ZRD_PRECOMPILED_HEADERS AND NOT "Qt6::Core" IN_LIST ARG_LIBS)
    zrd_test_pch()
    target_precompile_headers(${name} REUSE_FROM zrd_test_pch)
    zrd_pch_warnings(${name})
  endif()
  # Parameter values stay out of the test names; each case carries a readable name instead.
  # LABELS: the ctest labels of its cases ("threads": scripts/sanitize-threads runs them).
  # The lock folder goes by a property of its own: a list of variables does not survive the
  # discovery's property expansion.
  set(properties TIMEOUT 120 ENVIRONMENT ${ZRD_TEST_REPLY_MARGIN}
      ENVIRONMENT_MODIFICATION ZRD_LOCK_DIR=set:${ZRD_TEST_LOCK_FOLDER})
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
