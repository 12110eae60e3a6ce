// The drive session of the main window against the simulated drive on a pseudo-terminal.

#include "session_test.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "app/about_box.h"
#include "formula/formula_error.h"
#include "session/ui/service_controls.h"

using namespace zrd::app;
using namespace zrd::test;
using zrd::test::DatabaseText;
using zrd::test::TestParameter;

namespace {

std::string sessionDatabase() {
    DatabaseText db;
    db.group("Drive").subgroup("Ident");
    db.parameter({.name = "SERH", .index = 1, .maxVal = 65535});
    db.parameter({.name = "SERL", .index = 2, .maxVal = 65535});
    db.parameter({.name = "HVER", .index = 3, .pType = "R", .maxVal = 65535, .defValue = "21"});
    db.parameter({.name = "ENMOD", .index = 4, .maxVal = 2, .defValue = "1"});
    db.parameter({.name = "DINLEV", .index = 5, .maxVal = 65535});
    db.parameter({.name = "LIM", .index = 6, .maxVal = 100, .defValue = "50"});
    db.parameter({.name = "ENCR", .index = 20, .maxVal = 65535, .defValue = "4096"});
    db.parameter({.name = "PRREV", .index = 21, .maxVal = 1000});
    db.parameter({.name = "PRCTS", .index = 22, .maxVal = 65535});
    db.statusWords(9);
    std::string text = db.text();
    text += "Col1=S0,240,0,R,Servo on,Серво,0,6\r\n";
    text += "Col2=E0,241,0,R,Overcurrent,Ток,0,6\r\n";
    text += "Col3=E2,241,2,R,Overvoltage,Напряжение,0,6\r\n";
    text += "Col4=W0,242,0,R,Hot,Перегрев,0,6\r\n";
    text +=
        "Col5=E5,241,5,R,Power stage temperature above its limit,Перегрев силового каскада,0,6\r\n";
    text += "App1=D3,244,3,R,Input 3,Вход 3,0,7\r\n";
    return text;
}

// The connection dialog open at the moment (shown modally by N3Click).
zrd::session::TCOM_CFG* openDialog() {
    return qobject_cast<zrd::session::TCOM_CFG*>(QApplication::activeModalWidget());
}

}  // namespace

void SessionTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    m_fixture->writeData("Param_base.mod", "\xEF\xBB\xBF" + sessionDatabase());
    m_fixture->writeData("Motor_type.mod", "Motor LIM\r\nSmall 10\r\nLarge 90\r\n");
    QVERIFY(m_fixture->startUp());
    m_sim = std::make_unique<zrd::sim::SimServer>();
    QVERIFY2(m_sim->openPty(), m_sim->error().c_str());
    // A bare drive: its words hold what the tests put there, no plant moves them.
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        d.setRaw(3, 21);
        d.setRaw(240, 0x0088);
    });
    m_sim->start();
}

void SessionTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

void SessionTest::connectLiveDriveWithoutErrors() {
    Program& program = m_fixture->program();
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.loadParameters(program.model); });
    connectDirectly();
    m_fixture->form().Timer5Timer();
    QCOMPARE(m_fixture->form().driveState().Error->text(), QString("M98"));
}

void SessionTest::connectDirectly() {
    Program& program = m_fixture->program();
    QCOMPARE(program.link.openPort(m_sim->devicePath(), 115200, 30), zrd::link::OpenResult::Ok);
    program.link.state().connected = 1;
    program.link.state().linkBusy = false;
}

void SessionTest::setWord(int index, int value) {
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        d.setRaw(static_cast<uint8_t>(index), static_cast<uint16_t>(value));
    });
}

void SessionTest::dialogConnectsToTheSimulatedDrive() {
    Program& program = m_fixture->program();
    bool opened = false;
    zrd::session::TCOM_CFG dialog(
        program.connection, {},
        [&](zrd::session::ConnectionSettings& s) {
            opened = true;
            return program.link.openPort(s.device, s.BaudRate, s.PortTimeOut) ==
                   zrd::link::OpenResult::Ok;
        },
        program.ui);
    dialog.ComboPort->setCurrentText(QString::fromStdString(m_sim->devicePath()));
    dialog.ComboBaud->setCurrentText("9600");
    dialog.OKBtnClick();
    QVERIFY(opened);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(program.connection.BaudRate, 9600);
    QCOMPARE(program.connection.device, m_sim->devicePath());
}

void SessionTest::dialogKeepsOpenOnAPathThatCannotBeOpened() {
    TMainForm& form = m_fixture->form();
    QTimer::singleShot(0, [this] {
        zrd::session::TCOM_CFG* dialog = openDialog();
        QVERIFY(dialog);
        dialog->ComboPort->setCurrentText(
            QString::fromStdString(m_fixture->dir.file("no-such-tty")));
        dialog->OKBtnClick();
        QVERIFY(dialog->isVisible());
        dialog->reject();
    });
    const size_t before = m_fixture->ui.boxes.size();
    form.N3Click();
    // The failed open is told once; the cancel that follows says nothing more.
    const auto& boxes = m_fixture->ui.boxes;
    QCOMPARE(boxes.size(), before + 1);
    QCOMPARE(QString::fromStdString(boxes.back().text), QString("M49"));
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
}

void SessionTest::dialogRefusesABaudRateThatIsNoNumber() {
    Program& program = m_fixture->program();
    bool opened = false;
    zrd::session::TCOM_CFG dialog(
        program.connection, {},
        [&](zrd::session::ConnectionSettings&) {
            opened = true;
            return true;
        },
        program.ui);
    dialog.ComboBaud->setCurrentText("fast");
    dialog.OKBtnClick();
    QVERIFY(!opened);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(m_fixture->ui.boxes.back().text.find("\"fast\"") != std::string::npos);
    QCOMPARE(program.connection.BaudRate, 115200);
}

void SessionTest::connectionReadsAllAndDisconnectGoesOffline() {
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    m_sim->withDrive([](zrd::sim::SimDrive& d) { d.setRaw(6, 77); });
    QTimer::singleShot(0, [this] {
        zrd::session::TCOM_CFG* dialog = openDialog();
        QVERIFY(dialog);
        dialog->ComboPort->setCurrentText(QString::fromStdString(m_sim->devicePath()));
        dialog->OKBtnClick();
    });
    form.N3Click();
    QCOMPARE(program.link.state().connected, 1);
    QCOMPARE(program.model.value(*program.model.find("LIM")), 77.0);
    QCOMPARE(program.model.valueOrigin(), 1);
    QVERIFY(form.monitorPanel().Monitor->isEnabled());
    QVERIFY(form.Timer5->isActive());

    form.Timer5Timer();
    QCOMPARE(form.driveState().State_connection->text(), QString("M27"));
    QVERIFY(form.N9->isEnabled());
    QVERIFY(!form.N3->isEnabled());
    QCOMPARE(form.controls().show_state_par->text(), QString("RAM"));

    form.N9Click();
    QCOMPARE(form.driveState().State_connection->text(), QString("   Offline"));
    QCOMPARE(form.driveState().Edit5->text(), QString("M29"));
    QVERIFY(!form.controls().Button9->isEnabled());
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(form.N3->isEnabled());
}

void SessionTest::readButtonLogsTheReadAll() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.TimerForTimeTimer();
    form.session().Button9Click();
    const auto& lines = m_fixture->program().actionLog.lines();
    QVERIFY(lines.size() >= 2);
    // Date, time and action, as the header "Date,Time,Action" announces.
    const QStringList columns = QString::fromStdString(lines[1]).split(',');
    QCOMPARE(columns, (QStringList{form.controls().MaskEdit3->text(),
                                   form.controls().MaskEdit4->text(), "M60"}));
    QCOMPARE(form.controls().SerNum->text(), QString::number(0 * 65536 + 0));
}

void SessionTest::lateAnswerIsDroppedAndLogged() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.TimerForTimeTimer();
    Program& program = m_fixture->program();
    // The generator's stop is answered after its wait; the next command drops that answer.
    const int boundMs =
        program.link.replyWaitBoundMs(zrd::link::kCommandFrameLength, zrd::link::kLongestReply);
    zrd::sim::Fault late;
    late.kind = zrd::sim::FaultKind::Late;
    late.value = boundMs + boundMs / 4;
    late.count = 1;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.addFault(late); });
    QVERIFY(program.link.sendCommand(zrd::link::kCmdStopGenerator) >= 0);
    const bool unanswered = !program.link.awaitAck(false);
    QVERIFY(program.link.sendCommand(zrd::link::kCmdStopGenerator) >= 0);
    QVERIFY(program.link.awaitAck(false));
    // A machine that held the time-out back past the late answer let it come in time.
    if (!unanswered)
        QSKIP("the late answer came within its wait");
    QCOMPARE(program.link.lateAnswers(), 1);
    const auto& lines = program.actionLog.lines();
    QVERIFY(lines.size() >= 2);
    const QStringList columns = QString::fromStdString(lines[1]).split(',');
    QCOMPARE(columns, (QStringList{form.controls().MaskEdit3->text(),
                                   form.controls().MaskEdit4->text(), "M143"}));
}

void SessionTest::idleDriveShowsNoErrorsAndStopsAtZero() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    setWord(240, 0x0000);
    form.Timer5Timer();
    QCOMPARE(form.driveState().Error->text(), QString("M98"));
    QCOMPARE(stateColour(form.driveState().Error), colors::kLime);
    QCOMPARE(form.driveState().Warning->text(), QString("M96"));
    QCOMPARE(form.driveState().N_0->colour(), colors::kRed);
    QVERIFY(form.controls().Desable_button->isChecked());
    QCOMPARE(form.driveState().ComboBox1->currentText(), QString("M70"));
}

void SessionTest::errorsAreListedByName_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("errors");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("count");
    QTest::newRow("two in English")
        << "Eng" << 0x0005 << QStringList{"Overcurrent", "Overvoltage"} << "2 M68";
    QTest::newRow("two in Russian")
        << "Rus" << 0x0005 << QStringList{"Ток", "Напряжение"} << " 2 ошибки";
    QTest::newRow("an unnamed one") << "Eng" << 0x0002 << QStringList{""} << "1 M24";
}

void SessionTest::errorsAreListedByName() {
    QFETCH(QString, language);
    QFETCH(int, errors);
    QFETCH(QStringList, names);
    QFETCH(QString, count);
    connectDirectly();
    m_fixture->program().model.setLanguage(language.toStdString());
    TMainForm& form = m_fixture->form();
    setWord(240, 0x0002);
    setWord(241, errors);
    form.Timer5Timer();
    QStringList shown;
    for (int i = 0; i < form.driveState().ComboBox1->count(); ++i)
        shown << form.driveState().ComboBox1->itemText(i);
    QCOMPARE(shown, names);
    QCOMPARE(form.driveState().Error->text(), count);
    QCOMPARE(stateColour(form.driveState().Error), colors::kRed);
    // The same bits on the "Status" frame.
    QVERIFY(form.statusPage().stateFrame(0)->bitBoxes[0][1]->isChecked());
    QCOMPARE(form.statusPage().stateFrame(0)->bitBoxes[1][0]->isChecked(), (errors & 1) != 0);
}

void SessionTest::sixthFailedPollGoesOffline() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.Timer5Timer();
    QCOMPARE(form.driveState().State_connection->text(), QString("M27"));
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.addFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
    });
    for (int tick = 1; tick <= 5; ++tick) {
        form.Timer5Timer();
        QCOMPARE(form.driveState().State_connection->text(), QString("M27"));
        QVERIFY(form.Timer5->isActive());
    }
    form.Timer5Timer();
    QCOMPARE(form.driveState().State_connection->text(), QString("M21"));
    QCOMPARE(form.driveState().Edit5->text(), QString("M29"));
    QCOMPARE(m_fixture->program().link.state().connected, 0);
    QVERIFY(m_fixture->program().link.state().linkBusy);
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
}

void SessionTest::statusFramesAreBuiltFromTheBitLines() {
    TMainForm& form = m_fixture->form();
    QVERIFY(!form.statusPage().PageControl6->isHidden());
    QCOMPARE(form.statusPage().PageControl6->tabText(0), QString("M56"));
    QCOMPARE(form.statusPage().PageControl7->tabText(0), QString("M57"));
    zrd::monitor::TStateFrame* status = form.statusPage().stateFrame(0);
    QCOMPARE(status->bitBoxes[1][2]->text(), QString("Overvoltage"));
    QVERIFY(status->bitBoxes[1][2]->isVisibleTo(status));
    QVERIFY(!status->bitBoxes[1][1]->isVisibleTo(status));
    zrd::monitor::TStateFrame* application = form.statusPage().stateFrame(1);
    QVERIFY(application->Inv[3]->isVisibleTo(application));
    QCOMPARE(application->Inv[11]->objectName(), QString("inv11"));
    QCOMPARE(application->Label2->text(), QString("DINSTA"));
}

void SessionTest::inversionBoxWritesDinlev() {
    TMainForm& form = m_fixture->form();
    QCheckBox* inv3 = form.statusPage().stateFrame(1)->Inv[3];
    const auto onDrive = [this] {
        uint16_t v = 0;
        m_sim->withDrive([&](zrd::sim::SimDrive& d) { v = d.raw(5); });
        return v;
    };
    // Without a connection only the tick changes.
    inv3->click();
    QVERIFY(inv3->isChecked());
    QCOMPARE(onDrive(), uint16_t(0));
    inv3->click();

    connectDirectly();
    inv3->click();
    QCOMPARE(onDrive(), uint16_t(8));
    inv3->click();
    QCOMPARE(onDrive(), uint16_t(0));
}

void SessionTest::monitorTickComposesPositions() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.setRaw(20, 4096);
        d.setRaw(21, 2);
        d.setRaw(22, 100);
    });
    form.TimerMonitorTimer();
    QCOMPARE(form.monitorPanel().Position_com->text(), QString("8292"));
    QVERIFY(!m_fixture->program().link.state().linkBusy);
}

void SessionTest::writeAllLogsEachParameter() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    program.model.setValueOrigin(0);
    program.model.setKnownValue(*program.model.find("LIM"), 33);
    form.service().storeInEeprom();
    uint16_t lim = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { lim = d.raw(6); });
    QCOMPARE(lim, uint16_t(33));
    const auto& lines = program.actionLog.lines();
    // HVER and the status words are read-only: never written, never logged.
    int logged = 0;
    for (const auto& line : lines) {
        if (line.ends_with(",LIMM63"))
            ++logged;
        QVERIFY(line.find("HVERM6") == std::string::npos);
    }
    QCOMPARE(logged, 1);
    QCOMPARE(program.model.valueOrigin(), 1);
    QVERIFY(!program.link.state().linkBusy);
}

void SessionTest::errorRaisedInALiveDriveShowsWithinOnePoll() {
    connectLiveDriveWithoutErrors();
    if (QTest::currentTestFailed())
        return;
    TMainForm& form = m_fixture->form();
    m_sim->withDrive([](zrd::sim::SimDrive& d) { QVERIFY(d.raise(zrd::sim::BitList::Errors, 2)); });
    form.Timer5Timer();
    QCOMPARE(form.driveState().ComboBox1->count(), 1);
    QCOMPARE(form.driveState().ComboBox1->itemText(0), QString("Overvoltage"));
    QCOMPARE(form.driveState().Error->text(), QString("1 M24"));
    QVERIFY(form.statusPage().stateFrame(0)->bitBoxes[1][2]->isChecked());
}

void SessionTest::monitorStartsAndStops() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.monitorPanel().Monitor->setEnabled(true);
    form.MonitorClick();
    QVERIFY(form.TimerMonitor->isActive());
    QVERIFY(form.monitorPanel().Monitor->isChecked());
    QVERIFY(!form.controls().Panel32->isEnabled());
    QCOMPARE(stateColour(form.monitorPanel().Speed_com), colors::kAqua);
    QVERIFY(!m_fixture->program().link.state().linkBusy);
    form.Stop_monitorClick();
    QVERIFY(!form.TimerMonitor->isActive());
    QVERIFY(form.monitorPanel().Stop_monitor->isChecked());
    QVERIFY(form.controls().Panel32->isEnabled());
    QCOMPARE(stateColour(form.monitorPanel().Speed_com), colors::kSilver);
    QVERIFY(form.Timer5->isActive());
}

void SessionTest::lostPortIsToldOnceAndGoesOffline() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    form.Timer5Timer();
    QVERIFY(form.Timer5->isActive());
    const size_t boxes = m_fixture->ui.boxes.size();
    // The cable is pulled: the drive's side closes the line instead of answering.
    m_sim->withDrive([](zrd::sim::SimDrive& d) { d.addFault(*zrd::sim::parseFault("hangup")); });
    form.Timer5Timer();
    // A later tick finds the link gone and tells nothing more.
    form.Timer5Timer();
    QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
    const QString text = QString::fromStdString(m_fixture->ui.boxes.back().text);
    QVERIFY2(text.startsWith("M17") && text.contains(QString::fromStdString(m_sim->devicePath())),
             qPrintable(text));
    QCOMPARE(form.driveState().State_connection->text(), QString("M21"));
    QCOMPARE(program.link.state().connected, 0);
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
    QVERIFY(!form.controls().Button9->isEnabled());
}

// Read-all wrote "DINLEV" back every time, and the default where the drive's value lay outside
// the database's limits.
void SessionTest::readAllSetsTheInversionBoxesWithoutWriting() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    // Reads of DINLEV answer 8 while the drive's memory holds 0: a write would change it.
    m_sim->withDrive([](zrd::sim::SimDrive& d) { d.setAnswer(5, 8); });
    QVERIFY(form.session().ReadParamAll());
    zrd::monitor::TStateFrame* application = form.statusPage().stateFrame(1);
    QVERIFY(application->Inv[3]->isChecked());
    QVERIFY(!application->Inv[2]->isChecked());
    uint16_t onDrive = 0xFFFF;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { onDrive = d.raw(5); });
    QCOMPARE(onDrive, uint16_t(0));
}

void SessionTest::connectThroughDialog() {
    QTimer::singleShot(0, [this] {
        zrd::session::TCOM_CFG* dialog = openDialog();
        QVERIFY(dialog);
        dialog->ComboPort->setCurrentText(QString::fromStdString(m_sim->devicePath()));
        dialog->OKBtnClick();
    });
    m_fixture->form().N3Click();
    QCOMPARE(m_fixture->program().link.state().connected, 1);
}

// Disconnect left the connected flag set: an inversion box, closing the service menus and
// choosing a motor then wrote to the closed port, one "no reply" box per write.
void SessionTest::disconnectEndsTheConnectionForEveryHandler() {
    connectThroughDialog();
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    form.N9Click();
    QCOMPARE(program.link.state().connected, 0);
    const size_t boxes = m_fixture->ui.boxes.size();

    form.statusPage().stateFrame(1)->Inv[3]->click();
    form.openServiceMenus(false);
    form.controls().SerNum->setText("65538");
    form.Closespecialfunction1->trigger();
    form.controls().ComboBox6->setCurrentIndex(1);
    form.session().ComboBox6CloseUp();
    QCOMPARE(m_fixture->ui.boxes.size(), boxes);
    QCOMPARE(program.model.value(*program.model.find("LIM")), 90.0);

    // No way starts the status poll without a drive.
    form.Stop_monitorClick();
    QVERIFY(!form.Timer5->isActive());
    // The About box closes as soon as it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (form.AboutBox->isVisible())
            form.AboutBox->close();
    });
    closer.start(10);
    form.About1Click();
    closer.stop();
    QVERIFY(!form.Timer5->isActive());
    form.TabbedNotebook2Click(2);
    QVERIFY(!form.Timer5->isActive());
}

// Failed polls counted before a disconnect made the next connection go offline early.
void SessionTest::everyConnectionCountsPollFailuresAnew() {
    connectThroughDialog();
    TMainForm& form = m_fixture->form();
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.addFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
    });
    for (int tick = 0; tick < 3; ++tick)
        form.Timer5Timer();
    m_sim->withDrive([](zrd::sim::SimDrive& d) { d.clearFaults(); });
    form.N9Click();

    connectThroughDialog();
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.addFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
    });
    // Five failed polls of the new connection are tolerated, the sixth goes offline.
    for (int tick = 1; tick <= 5; ++tick) {
        form.Timer5Timer();
        QCOMPARE(m_fixture->program().link.state().connected, 1);
    }
    form.Timer5Timer();
    QCOMPARE(m_fixture->program().link.state().connected, 0);
    QCOMPARE(form.driveState().State_connection->text(), QString("M21"));
}

// A formula error in read-all left the window disabled with "Read n/n" on its button.
void SessionTest::formulaErrorDuringReadAllGivesTheWindowBack() {
    zrd::test::ProgramFixture f;
    DatabaseText db;
    db.group("Drive").subgroup("Ident");
    db.parameter({.name = "HVER", .index = 3, .pType = "R", .maxVal = 65535, .defValue = "21"});
    db.parameter({.name = "LIM", .index = 6, .maxVal = 100, .defValue = "50"});
    db.parameter({.name = "MT", .index = 7, .maxVal = 10, .defValue = "1"});
    // The motor type changes, so the formulas run; this one divides by zero.
    f.writeData(
        "Param_base.mod",
        db.text() + "Rf,P2=LIM,6,UINT,R-W,0,f: 1 / 0,1,u,u,50,Limit,Предел,0,0,1,1,1,4\r\n");
    QVERIFY(f.startUp());
    zrd::sim::SimServer sim;
    QVERIFY2(f.connectToSim(sim, [](zrd::sim::SimDrive& d) { d.setRaw(7, 2); }),
             sim.error().c_str());
    TMainForm& form = f.form();
    const QString caption = form.controls().Button9->text();

    QVERIFY_THROWS_EXCEPTION(zrd::formula::FormulaError, form.session().ReadParamAll());

    QVERIFY(form.isEnabled());
    QCOMPARE(form.controls().Button9->text(), caption);
    QVERIFY(form.controls().RPar->isHidden());
    QVERIFY(!f.program().link.state().linkBusy);
    QVERIFY(form.Timer5->isActive());
    QVERIFY(form.TimerForTime->isActive());
    f.program().link.closePort();
    sim.stop();
}

// Each monitor tick stopped and restarted the status poll's timer, so that it never came due
// while the monitor ran: an error raised in the drive stayed invisible.
void SessionTest::errorRaisedWhileTheMonitorRunsShows() {
    connectLiveDriveWithoutErrors();
    if (QTest::currentTestFailed())
        return;
    TMainForm& form = m_fixture->form();
    form.monitorPanel().Monitor->setEnabled(true);
    form.MonitorClick();
    QVERIFY(form.TimerMonitor->isActive());
    m_sim->withDrive([](zrd::sim::SimDrive& d) { QVERIFY(d.raise(zrd::sim::BitList::Errors, 2)); });
    // The status poll comes due once in 2 s while the monitor ticks every 0.3 s or so.
    QTRY_COMPARE_WITH_TIMEOUT(form.driveState().Error->text(), QString("1 M24"), kWaitMs);
    QCOMPARE(form.driveState().ComboBox1->itemText(0), QString("Overvoltage"));
    QVERIFY(form.TimerMonitor->isActive());
    form.Stop_monitorClick();
}

// Cancel in the connection dialog while offline showed "No valid data..." (message 1).
void SessionTest::cancelledDialogChangesNothing() {
    connectThroughDialog();
    TMainForm& form = m_fixture->form();
    form.N9Click();
    const size_t boxes = m_fixture->ui.boxes.size();
    QTimer::singleShot(0, [] {
        zrd::session::TCOM_CFG* dialog = openDialog();
        QVERIFY(dialog);
        dialog->CancelBtn->click();
    });
    form.N3Click();
    QCOMPARE(m_fixture->ui.boxes.size(), boxes);
    QCOMPARE(m_fixture->program().link.state().connected, 0);
    QCOMPARE(form.driveState().State_connection->text(), QString("   Offline"));
    QVERIFY(form.N3->isEnabled());
}

// After Disconnect the Ready and n=0 lamps stayed lit and the servo and generator panels
// enabled; a tab click then offered "Start monitor", which showed zeros in the live colour.
void SessionTest::offlineShowsNoDriveState() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.Timer5Timer();
    QCOMPARE(form.driveState().Drive_ready->colour(), colors::kLime);
    QCOMPARE(form.driveState().N_0->colour(), colors::kLime);
    QVERIFY(form.controls().Panel7->isEnabled());
    QVERIFY(form.controls().Panel14->isEnabled());

    form.N9Click();
    for (zrd::ui::TLamp* lamp : {form.driveState().Servo_enable, form.driveState().N_0,
                                 form.driveState().drive_on, form.driveState().Drive_ready})
        QCOMPARE(lamp->colour(), colors::kGrey);
    for (QGroupBox* panel : {form.controls().Panel7, form.controls().Panel14}) {
        QVERIFY(!panel->isEnabled());
        QCOMPARE(stateColour(panel), colors::kGrey);
    }
    form.TabbedNotebook2Click(2);
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
    form.MonitorClick();
    QVERIFY(!form.TimerMonitor->isActive());
    QCOMPARE(stateColour(form.monitorPanel().Speed_com), colors::kSilver);
    form.Panel10Click();
    QVERIFY(!form.TimerMonitor->isActive());
}

// The error list's drop-down cut long names ("Drive o...erature").
void SessionTest::errorListOpensAsWideAsItsLongestName() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    setWord(240, 0x0002);
    setWord(241, 1 << 5);
    form.Timer5Timer();
    QComboBox* list = form.driveState().ComboBox1;
    QCOMPARE(list->itemText(0), QString("Power stage temperature above its limit"));
    list->showPopup();
    QTRY_VERIFY_WITH_TIMEOUT(list->view()->isVisible(), kWaitMs);
    const int needed = list->view()->fontMetrics().horizontalAdvance(list->itemText(0));
    QVERIFY2(list->view()->viewport()->width() >= needed,
             qPrintable(QString("%1 < %2").arg(list->view()->viewport()->width()).arg(needed)));
    list->hidePopup();
}
