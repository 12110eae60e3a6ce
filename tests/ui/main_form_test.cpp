// The main window: its controls, start-up, access levels, the window outline, exit and the
// general error report.

#include "main_form_test.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <stdexcept>

#include "app/about_box.h"
#include "app/access_levels.h"
#include "app/torvanta_application.h"
#include "ui_test_support.h"

using namespace zrd::app;
using namespace zrd::test;
using zrd::test::DatabaseText;
using zrd::test::ProgramFixture;
using zrd::test::TestParameter;

namespace {

QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), s.size());
}

// A small database: two parameters for the serial number, the version and a group-2 page.
std::string smallDatabase() {
    DatabaseText db;
    db.group("Drive").subgroup("Ident");
    db.parameter({.name = "SERH", .index = 1, .maxVal = 65535});
    db.parameter({.name = "SERL", .index = 2, .maxVal = 65535});
    db.parameter({.name = "HVER", .index = 3, .pType = "R", .maxVal = 65535});
    db.group("Motor").subgroup("Motor_data").parameters("MP", 3, 10, 2);
    return db.text();
}

bool menuVisible(QMenu* menu) {
    return menu->menuAction()->isVisible();
}

}  // namespace

void MainFormTest::showsTheProgramCaptionAndSize() {
    ProgramFixture f;
    f.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form()));
    QCOMPARE(f.form().windowTitle(), QString("QX Torvanta v2.1 (ZRD)"));
    QCOMPARE(f.form().size(), QSize(1054, 730));
}

void MainFormTest::notebookTabs_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << 0 << "Block Diagram";
    QTest::newRow("1") << 1 << "     Drive     ";
    QTest::newRow("2") << 2 << "     Motor     ";
    QTest::newRow("3") << 3 << "Current controller";
    QTest::newRow("4") << 4 << "Speed controller";
    QTest::newRow("5") << 5 << "Position controller";
    QTest::newRow("6") << 6 << "Oscilloscope online";
    QTest::newRow("7") << 7 << "Oscilloscope offline";
    QTest::newRow("8") << 8 << "Status";
    QTest::newRow("9") << 9 << "Appendix info";
}

void MainFormTest::notebookTabs() {
    QFETCH(int, tab);
    QFETCH(QString, caption);
    ProgramFixture f;
    auto* notebook = f.form().findChild<QTabWidget*>("TabbedNotebook2");
    QVERIFY(notebook != nullptr);
    QCOMPARE(notebook->count(), 10);
    QCOMPARE(notebook->tabText(tab), caption);
}

void MainFormTest::menuItems_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("caption");
    const char* rows[][3] = {
        {"File1", "Readingparametersfromfile1", "Reading parameters from file"},
        {"File1", "N10", "Reading parameters from drive"},
        {"File1", "N21", "Reading oscillogram from file"},
        {"File1", "Saveparameterstofile1", "Save parameters to file"},
        {"File1", "N4", "Save parameters to EEPROM"},
        {"File1", "N20", "Save oscillogram to file"},
        {"File1", "Exit1", "Exit"},
        {"Connection1", "N3", "Connection parameters"},
        {"Connection1", "N9", "Disconnect"},
        {"Services1", "Filtercalculator1", "Filter calculator"},
        {"Services1", "Setdefaultparameters1", "Set default parameters"},
        {"Services1", "TypeofFGsignal1", "Type of FG signal"},
        {"Services1", "RESET1", "RESET"},
        {"Services1", "Setconfiguration1", "Configuration setting"},
        {"Services1", "Stepresponse1", "Step response"},
        {"Help1", "About1", "About"},
        {"Specialfunctions1", "InitialDriveInitialization1", "Drive Initialization"},
        {"Specialfunctions1", "N17", "RESET (67)"},
        {"Specialfunctions1", "Savedefault1", "Save to EEPROM DA (65 00)"},
        {"Specialfunctions1", "SaveprogramspartoEEPROM1",
         "Save program's prm to EEPROM DA (65 01)"},
        {"Specialfunctions1", "Loaddefault1", "Load prm from EEPROPM DA (66)"},
        {"Specialfunctions1", "Language1", "Language"},
        {"Specialfunctions1", "Testingformulas1", "Testing formulas"},
        {"Specialfunctions1", "CALCPARA1", "CALCPARA"},
        {"Specialfunctions1", "Closespecialfunction1", "Close special function"},
        {"Adminsfunctions1", "Commandmonitor1", "Command monitor"},
        {"Adminsfunctions1", "SeeOscDatRec", "See OscDatRec"},
        {"Adminsfunctions1", "CloseAdminfunctions1", "Close Admin functions"},
    };
    for (const auto& r : rows)
        QTest::newRow(r[1]) << r[0] << r[1] << r[2];
}

void MainFormTest::menuItems() {
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(QString, caption);
    ProgramFixture f;
    auto* m = f.form().findChild<QMenu*>(menu);
    QVERIFY(m != nullptr);
    QAction* found = nullptr;
    for (QAction* a : m->actions()) {
        if (a->objectName() == item)
            found = a;
    }
    QVERIFY2(found != nullptr, qPrintable(item));
    QCOMPARE(found->text(), caption);
}

void MainFormTest::serviceMenusStartHidden() {
    ProgramFixture f;
    QCOMPARE(f.form().menuBar()->actions().size(), 6);
    QVERIFY(!menuVisible(f.form().Specialfunctions1));
    QVERIFY(!menuVisible(f.form().Adminsfunctions1));
    QVERIFY(!f.form().Setdefaultparameters1->isVisible());
    QVERIFY(f.form().controls().SerNum->isReadOnly());
}

void MainFormTest::timers_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("interval");
    QTest::newRow("TimerForTime") << "TimerForTime" << 500;
    QTest::newRow("Timer5") << "Timer5" << 2000;
    QTest::newRow("TimerMonitor") << "TimerMonitor" << 300;
    QTest::newRow("Timer1") << "Timer1" << 10;
    QTest::newRow("Timer4") << "Timer4" << 50;
}

void MainFormTest::timers() {
    QFETCH(QString, name);
    QFETCH(int, interval);
    ProgramFixture f;
    auto* timer = f.form().findChild<QTimer*>(name);
    QVERIFY(timer != nullptr);
    QCOMPARE(timer->interval(), interval);
    QVERIFY(!timer->isActive());
}

void MainFormTest::controlsCarryTheirNames_data() {
    QTest::addColumn<QString>("name");
    const char* names[] = {
        "TabbedNotebook2", "Image1",        "PageControl1",
        "PageControl5",    "PageControl6",  "PageControl7",
        "Panel10",         "Servo_enable",  "N_0",
        "drive_on",        "Drive_ready",   "Control",
        "PC_control",      "drive_en",      "State_connection",
        "Machine",         "Axis",          "Error",
        "Warning",         "Edit5",         "ComboBox1",
        "ComboBox9",       "Dr_Num",        "Motor_sel",
        "Speed_com",       "Act_speed",     "Current_com",
        "Act_current",     "Torque_com",    "Act_torque",
        "Position_com",    "Act_position",  "Analog_in",
        "Pulse_in",        "Direction",     "Follow_err",
        "Monitor",         "Stop_monitor",  "Panel32",
        "Panel7",          "Enable_button", "Desable_button",
        "Panel3",          "SpeedButton4",  "SpeedButton5",
        "SpeedButton6",    "Panel14",       "SpeedButton3",
        "BitBtn1",         "Panel6",        "SpeedButton1",
        "SpeedButton2",    "ComboBox6",     "show_state_par",
        "SerNum",          "RPar",          "WPar",
        "Button9",         "Button6",       "MaskEdit3",
        "MaskEdit4",       "Inverter",      "Current_cntr_1",
        "Current_cntr_2",  "Speed_cntr",    "Position_cntr",
        "freq1",           "freq2",         "freq3",
        "freq4",           "ComboBox7",     "ComboBox8",
        "Edit8",           "Edit9",         "Button3",
        "Button18",        "Button21",      "Button23",
        "Replay_start",    "Replay_stop",   "Gauge2",
        "MaskEdit11",      "MaskEdit12",    "MaskEdit13",
        "MaskEdit14",      "PaintBox1",
    };
    for (const char* n : names)
        QTest::newRow(n) << n;
}

void MainFormTest::controlsCarryTheirNames() {
    QFETCH(QString, name);
    ProgramFixture f;
    QVERIFY2(f.form().findChild<QWidget*>(name) != nullptr, qPrintable(name));
}

void MainFormTest::startsOfflineWithDefaults() {
    ProgramFixture f;
    f.writeData("Param_base.mod", smallDatabase());
    f.writePicture("Pic2_eng.bmp");
    QVERIFY(f.startUp());
    TMainForm& form = f.form();
    QVERIFY(f.ui.boxes.empty());
    QVERIFY(!form.blockDiagram().Image1->pixmap().isNull());
    QCOMPARE(form.controls().show_state_par->text(), QString("Default"));
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
    QCOMPARE(form.driveState().Dr_Num->text(), QString("ZRD-KT16"));
    QCOMPARE(form.driveState().Control->text(), QString("  Speed"));
    QCOMPARE(form.driveState().Error->text(), QString("M24"));
    for (QAction* item : {form.N10, form.N4, form.N9})
        QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
    for (QWidget* w : {static_cast<QWidget*>(form.controls().Button9),
                       static_cast<QWidget*>(form.controls().Button6),
                       static_cast<QWidget*>(form.controls().Panel3),
                       static_cast<QWidget*>(form.controls().Panel6),
                       static_cast<QWidget*>(form.controls().Panel7),
                       static_cast<QWidget*>(form.controls().Panel14)})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(form.controls().SpeedButton2->isChecked());
    QCOMPARE(form.TabbedNotebook2->currentIndex(), 0);
    const zrd::link::LinkState& link = f.program().link.state();
    QCOMPARE(link.connected, 0);
    QVERIFY(!link.linkBusy);
    QCOMPARE(f.program().model.valueOrigin(), -1);
    QCOMPARE(f.program().shell.operatingMode, 2);
    QVERIFY(!form.Timer1->isActive());
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(form.TimerForTime->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!form.controls().MaskEdit4->text().isEmpty(), kWaitMs);
    QCOMPARE(form.controls().MaskEdit3->text(), QDate::currentDate().toString("dd.MM.yy"));
}

void MainFormTest::startUpDisablesOnlyTheWindowsOwnScopeButtons() {
    ProgramFixture f;
    f.writeData("Param_base.mod", smallDatabase());
    TMainForm& form = f.form();
    // "Stop oscillogram" of the offline scope page shares its name with the edit dialog's
    // "Write" button.
    auto* stop = new QPushButton("Stop oscillogram", form.TabbedNotebook2->widget(7));
    stop->setObjectName("Button1");
    QVERIFY(f.startUp());
    QVERIFY(!stop->isEnabled());
    QVERIFY(form.Edit_par_Form->Button1->isEnabled());
    QVERIFY(form.Edit_par_Form->Button2->isEnabled());
}

void MainFormTest::endsWithoutDatabase() {
    ProgramFixture f;
    QVERIFY(!f.form().startUp());
    QVERIFY(!f.form().isVisible());
    QCOMPARE(static_cast<int>(f.ui.boxes.size()), 1);
    QCOMPARE(f.ui.boxes[0].caption, std::string("M0"));
    QCOMPARE(f.ui.boxes[0].text, std::string("No database"));
}

void MainFormTest::replyTimeoutRestoresIdle_data() {
    QTest::addColumn<int>("connected");
    QTest::addColumn<bool>("statusPoll");
    QTest::newRow("drive connected") << 1 << true;
    QTest::newRow("offline: no status poll") << 0 << false;
}

void MainFormTest::replyTimeoutRestoresIdle() {
    QFETCH(int, connected);
    QFETCH(bool, statusPoll);
    ProgramFixture f;
    TMainForm& form = f.form();
    auto* stop = new QPushButton("Stop oscillogram", &form);
    stop->setObjectName("Button18");
    form.monitorPanel().Monitor->setEnabled(false);
    f.program().link.state().connected = connected;
    f.program().link.replyTimeout();
    QCOMPARE(form.Timer5->isActive(), statusPoll);
    QVERIFY(form.TimerForTime->isActive());
    QVERIFY(!stop->isEnabled());
    QCOMPARE(form.monitorPanel().Monitor->isEnabled(), statusPoll);
}

void MainFormTest::unlockSequences_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("special");
    QTest::addColumn<bool>("admin");
    const QString s = text(kSpecialSequence);
    const QString a = text(kAdminSequence);
    QTest::newRow("wrong character in the middle") << QString(s[0]) + "x" + s[2] << false << false;
    QTest::newRow("then typed again") << QString(s[0]) + "x" + s[2] + s << true << false;
    QTest::newRow("admin") << a << true << true;
    QTest::newRow("Cyrillic letter breaks the match")
        << QString(s[0]) + QString::fromUtf8("ж") + s.mid(1) << false << false;
}

void MainFormTest::unlockSequences() {
    QFETCH(QString, typed);
    QFETCH(bool, special);
    QFETCH(bool, admin);
    ProgramFixture f;
    TMainForm& form = f.form();
    form.show();
    form.AboutBox->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.AboutBox));
    for (const QChar c : typed) {
        if (!form.AboutBox->isVisible())
            break;
        // A key press as the keyboard sends it: its text is the typed character.
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(form.AboutBox->OKButton, &press);
    }
    QCOMPARE(menuVisible(form.Specialfunctions1), special);
    QCOMPARE(menuVisible(form.Adminsfunctions1), admin);
    QCOMPARE(!form.controls().SerNum->isReadOnly(), special);
    QCOMPARE(form.AboutBox->isVisible(), !special);
}

void MainFormTest::closingServiceMenusSplitsSerialNumber() {
    ProgramFixture f;
    f.writeData("Param_base.mod", smallDatabase());
    QVERIFY(f.startUp());
    TMainForm& form = f.form();
    form.openServiceMenus(true);
    form.controls().SerNum->setText("65538");
    form.Closespecialfunction1->trigger();
    QCOMPARE(f.program().model.value(0), 1.0);
    QCOMPARE(f.program().model.value(1), 2.0);
    // The page gets its controls when the user opens its tab.
    form.TabbedNotebook2->setCurrentIndex(1);
    auto* ident = form.pages().PageControl1->findChild<QWidget*>("Ident");
    QVERIFY(ident != nullptr);
    QCOMPARE(ident->findChild<QLineEdit*>("Param0")->text(), QString("1"));
    QCOMPARE(ident->findChild<QLineEdit*>("Param1")->text(), QString("2"));
    QVERIFY(!menuVisible(form.Specialfunctions1));
    QVERIFY(!menuVisible(form.Adminsfunctions1));
    QVERIFY(form.controls().SerNum->isReadOnly());
}

void MainFormTest::outlineTogglesWhileMakerLabelIsHeld() {
    ProgramFixture f;
    TMainForm& form = f.form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TAboutBox& about = *form.AboutBox;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier;

    QTest::keyClick(&about, Qt::Key_Q, chord);
    QVERIFY(form.mask().isEmpty());

    QTest::mousePress(about.Copyright, Qt::LeftButton);
    QTest::keyClick(&about, Qt::Key_Q, chord);
    QVERIFY(!form.mask().isEmpty());
    QVERIFY(form.mask().boundingRect().width() <= form.width());
    QTest::keyClick(&about, Qt::Key_Q, chord);
    QVERIFY(form.mask().isEmpty());
    QTest::mouseRelease(about.Copyright, Qt::LeftButton);
    QTest::keyClick(&about, Qt::Key_Q, chord);
    QVERIFY(form.mask().isEmpty());
}

void MainFormTest::exitReleasesTheLink() {
    ProgramFixture f;
    TMainForm& form = f.form();
    form.show();
    form.Timer5->start();
    f.program().link.state().linkBusy = true;
    f.program().shell.generatorRunning = true;
    form.Exit1->trigger();
    QVERIFY(!form.isVisible());
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(!f.program().link.state().linkBusy);
    QVERIFY(!f.program().shell.generatorRunning);
    QVERIFY(!f.program().port->isOpen());
}

void MainFormTest::generalErrorReport_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("report");
    QTest::newRow("runtime error in a click") << 0 << "Drive table broken";
    QTest::newRow("logic error in a timer") << 1 << "Timer went wrong";
    QTest::newRow("something that is no exception") << 2 << "Unknown error.";
}

void MainFormTest::generalErrorReport() {
    QFETCH(int, kind);
    QFETCH(QString, report);
    auto* app = qobject_cast<TorvantaApplication*>(qApp);
    QVERIFY(app != nullptr);
    QStringList reports;
    app->setErrorReport([&reports](const QString& t) { reports << t; });

    QWidget window;
    auto* button = new QPushButton("Go", &window);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] {
        ++clicks;
        if (kind == 1 || clicks > 1)
            return;
        if (kind == 0)
            throw std::runtime_error("Drive table broken");
        throw 42;
    });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        timer.stop();
        throw std::logic_error("Timer went wrong");
    });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (kind == 1)
        timer.start(0);
    else
        QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, kWaitMs);
    QCOMPARE(reports.front(), report);
    // The program goes on: the next event is handled as usual.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, kind == 1 ? 1 : 2);
    QCOMPARE(reports.size(), 1);
    app->setErrorReport({});
}

void MainFormTest::pictureButtonsOpenTheirDrawing_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Inverter") << "Inverter"
                              << "Inverter.bmp"
                              << "Inverter";
    QTest::newRow("Current 1") << "Current_cntr_1"
                               << "Current_cntr_1.bmp"
                               << "Current Controller p.1";
    QTest::newRow("Current 2") << "Current_cntr_2"
                               << "Current_cntr_2.bmp"
                               << "Current Controller p.2";
    QTest::newRow("Speed") << "Speed_cntr"
                           << "Speed_cntr.bmp"
                           << "Speed Controller";
    QTest::newRow("Position") << "Position_cntr"
                              << "Position_cntr.bmp"
                              << "Position Controller";
}

void MainFormTest::pictureButtonsOpenTheirDrawing() {
    QFETCH(QString, button);
    QFETCH(QString, file);
    QFETCH(QString, caption);
    ProgramFixture f;
    f.writePicture(file.toStdString());
    TMainForm& form = f.form();
    form.show();
    QString title;
    QSize size;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        title = modal->windowTitle();
        if (auto* image = modal->findChild<QLabel*>("Image1"))
            size = image->pixmap().size();
        modal->close();
    });
    form.findChild<QPushButton*>(button)->click();
    QCOMPARE(title, caption);
    QCOMPARE(size, QSize(120, 80));
}

void MainFormTest::missingDrawingIsReported() {
    auto* app = qobject_cast<TorvantaApplication*>(qApp);
    QStringList reports;
    app->setErrorReport([&reports](const QString& t) { reports << t; });
    ProgramFixture f;
    f.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form()));
    QTest::mouseClick(f.form().blockDiagram().Speed_cntr, Qt::LeftButton);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports.front().contains("Speed_cntr.bmp"));
    app->setErrorReport({});
}

void MainFormTest::tabClickWithMonitorDisabledRevertsTheMonitor() {
    ProgramFixture f;
    f.writeData("Param_base.mod", smallDatabase());
    QVERIFY(f.startUp());
    TMainForm& form = f.form();
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
    form.TimerForTime->stop();
    form.TabbedNotebook2Click(2);
    // Without a drive there is no monitor to offer, and no status poll.
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
    QVERIFY(form.monitorPanel().Stop_monitor->isChecked());
    QVERIFY(form.controls().Panel32->isEnabled());
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(form.TimerForTime->isActive());
}
