// Runs every GUI test class in one program, under the application object of the real one.

#include <QTest>
#include <memory>

#include "app/torvanta_application.h"
#include "command_monitor_test.h"
#include "config_windows_test.h"
#include "desktop_test.h"
#include "language_test.h"
#include "main_form_test.h"
#include "offline_scope_test.h"
#include "online_scope_test.h"
#include "oscillogram_tools_test.h"
#include "param_pages_test.h"
#include "service_windows_test.h"
#include "session_test.h"
#include "shell_core_test.h"
#include "trace_viewer_test.h"
#include "ui_test_support.h"
#include "wave_form_test.h"

namespace {

// Runs each test class in the order given; the number of classes with failures.
template <class... Tests>
int runTests(int argc, char** argv) {
    int failures = 0;
    const auto run = [&](auto* test) { failures += QTest::qExec(test, argc, argv) != 0; };
    (run(std::make_unique<Tests>().get()), ...);
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    zrd::app::TorvantaApplication app(argc, argv);
    // Closing a test's window must not end the others.
    zrd::app::TorvantaApplication::setQuitOnLastWindowClosed(false);
    const int failures =
        runTests<ShellCoreTest, MainFormTest, ParamPagesTest, SessionTest, OnlineScopeTest,
                 OfflineScopeTest, WaveFormTest, TraceViewerTest, DesktopTest, ServiceWindowsTest,
                 OscillogramToolsTest, ConfigWindowsTest, CommandMonitorTest, LanguageTest>(argc,
                                                                                            argv);
    return failures == 0 ? 0 : 1;
}
