// Runs every GUI test class in one program, under the application object of the real one.
#include <QTest>
#include <cstdio>
#include <memory>
#include <string_view>

#include "app/torvanta_application.h"
#include "auto_tuning_test.h"
#include "command_monitor_test.h"
#include "config_windows_test.h"
#include "desktop_test.h"
#include "language_test.h"
#include "live_state_test.h"
#include "main_form_test.h"
#include "offline_scope_test.h"
#include "online_scope_test.h"
#include "oscillogram_tools_test.h"
#include "param_pages_test.h"
#include "service_windows_test.h"
#include "session_test.h"
#include "shell_core_test.h"
#include "step_response_test.h"
#include "trace_viewer_test.h"
#include "ui_test_support.h"
#include "wave_form_test.h"

namespace {

// "--class=NAME" as the first argument: that class alone (ctest runs the classes side by side).
constexpr std::string_view kClassOption = "--class=";

// Runs each test class in the order given (or the one chosen); the number of classes with
// failures (1 when the chosen class is not among them).
template <class... Tests>
int runTests(int argc, char** argv) {
    std::string_view only;
    if (argc > 1 && std::string_view(argv[1]).starts_with(kClassOption)) {
        only = std::string_view(argv[1]).substr(kClassOption.size());
        argv[1] = argv[0];  // QTest reads the program's own options from the rest
        --argc;
        ++argv;
    }
    int failures = 0;
    bool found = only.empty();
    const auto run = [&](auto* test) {
        if (!only.empty() && only != test->metaObject()->className())
            return;
        found = true;
        failures += QTest::qExec(test, argc, argv) != 0;
    };
    (run(std::make_unique<Tests>().get()), ...);
    if (!found)
        std::fprintf(stderr, "ui_tests: no such test class: %.*s\n", static_cast<int>(only.size()),
                     only.data());
    return found ? failures : 1;
}

}  // namespace

int main(int argc, char** argv) {
    zrd::app::TorvantaApplication app(argc, argv);
    // Closing a test's window must not end the others.
    zrd::app::TorvantaApplication::setQuitOnLastWindowClosed(false);
    const int failures =
        runTests<ShellCoreTest, MainFormTest, ParamPagesTest, SessionTest, OnlineScopeTest,
                 OfflineScopeTest, WaveFormTest, StepResponseTest, AutoTuningTest, TraceViewerTest,
                 DesktopTest, ServiceWindowsTest, OscillogramToolsTest, ConfigWindowsTest,
                 CommandMonitorTest, LanguageTest, LiveStateTest>(argc, argv);
    return failures == 0 ? 0 : 1;
}
