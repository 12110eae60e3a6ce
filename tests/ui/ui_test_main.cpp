// Runs every GUI test class in one program, under the application object of the real one.

#include <QTest>

#include "app/torvanta_application.h"
#include "desktop_test.h"
#include "main_form_test.h"
#include "online_scope_test.h"
#include "param_pages_test.h"
#include "session_test.h"
#include "shell_core_test.h"
#include "trace_viewer_test.h"
#include "ui_test_support.h"

int main(int argc, char** argv) {
    zrd::app::TorvantaApplication app(argc, argv);
    // Closing a test's window must not end the others.
    zrd::app::TorvantaApplication::setQuitOnLastWindowClosed(false);
    int failures = 0;
    ShellCoreTest shell;
    failures += QTest::qExec(&shell, argc, argv);
    MainFormTest mainForm;
    failures += QTest::qExec(&mainForm, argc, argv);
    ParamPagesTest pages;
    failures += QTest::qExec(&pages, argc, argv);
    SessionTest session;
    failures += QTest::qExec(&session, argc, argv);
    OnlineScopeTest onlineScope;
    failures += QTest::qExec(&onlineScope, argc, argv);
    TraceViewerTest viewer;
    failures += QTest::qExec(&viewer, argc, argv);
    DesktopTest desktop;
    failures += QTest::qExec(&desktop, argc, argv);
    return failures == 0 ? 0 : 1;
}
