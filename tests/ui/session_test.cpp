// The drive session of the main window against the simulated drive on a pseudo-terminal.

#include "session_test.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "app/colors.h"
#include "app/lamp.h"
#include "app/main_form.h"
#include "monitor/ui/state_frame.h"
#include "session/ui/com_cfg.h"

using namespace zrd::app;
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
    for (const auto& [name, index] :
         std::initializer_list<std::pair<const char*, int>>{{"STA", 240},
                                                            {"ERR", 241},
                                                            {"WRN", 242},
                                                            {"APPSGN", 243},
                                                            {"DINSTA", 244},
                                                            {"APXERR", 246}})
        db.parameter({.name = name, .index = index, .pType = "R", .maxVal = 65535, .group = 9});
    std::string text = db.text();
    text += "Col1=S0,240,0,R,Servo on,Серво,0,6\r\n";
    text += "Col2=E0,241,0,R,Overcurrent,Ток,0,6\r\n";
    text += "Col3=E2,241,2,R,Overvoltage,Напряжение,0,6\r\n";
    text += "Col4=W0,242,0,R,Hot,Перегрев,0,6\r\n";
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
    form.N3Click();
    const auto& boxes = m_fixture->ui.boxes;
    QVERIFY(boxes.size() >= 2);
    QCOMPARE(QString::fromStdString(boxes[boxes.size() - 2].text), QString("M49"));
    // The check after the dialog finds no drive on the failed handle.
    QCOMPARE(QString::fromStdString(boxes.back().text), QString("M1"));
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(!form.Monitor->isEnabled());
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
    QVERIFY(form.Monitor->isEnabled());
    QVERIFY(form.Timer5->isActive());

    form.Timer5Timer();
    QCOMPARE(form.State_connection->text(), QString("M27"));
    QVERIFY(form.N9->isEnabled());
    QVERIFY(!form.N3->isEnabled());
    QCOMPARE(form.show_state_par->text(), QString("RAM"));

    form.N9Click();
    QCOMPARE(form.State_connection->text(), QString("   Offline"));
    QCOMPARE(form.Edit5->text(), QString("M29"));
    QVERIFY(!form.Button9->isEnabled());
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(form.N3->isEnabled());
}

void SessionTest::readButtonLogsTheReadAll() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.TimerForTimeTimer();
    form.Button9Click();
    const auto& lines = m_fixture->program().actionLog.lines();
    QVERIFY(lines.size() >= 2);
    const std::string expected = "M58" + form.MaskEdit3->text().toStdString() + "M59";
    QCOMPARE(QString::fromStdString(lines[1].substr(0, expected.size())),
             QString::fromStdString(expected));
    QVERIFY(lines[1].ends_with("M60"));
    QCOMPARE(form.SerNum->text(), QString::number(0 * 65536 + 0));
}

void SessionTest::idleDriveShowsNoErrorsAndStopsAtZero() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    setWord(240, 0x0000);
    form.Timer5Timer();
    QCOMPARE(form.Error->text(), QString("M98"));
    QCOMPARE(stateColour(form.Error), colors::kLime);
    QCOMPARE(form.Warning->text(), QString("M96"));
    QCOMPARE(form.N_0->colour(), colors::kRed);
    QVERIFY(form.Desable_button->isChecked());
    QCOMPARE(form.ComboBox1->currentText(), QString("M70"));
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
    for (int i = 0; i < form.ComboBox1->count(); ++i)
        shown << form.ComboBox1->itemText(i);
    QCOMPARE(shown, names);
    QCOMPARE(form.Error->text(), count);
    QCOMPARE(stateColour(form.Error), colors::kRed);
    // The same bits on the "Status" frame.
    QVERIFY(form.stateFrame(0)->bitBoxes[0][1]->isChecked());
    QCOMPARE(form.stateFrame(0)->bitBoxes[1][0]->isChecked(), (errors & 1) != 0);
}

void SessionTest::sixthFailedPollGoesOffline() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.Timer5Timer();
    QCOMPARE(form.State_connection->text(), QString("M27"));
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.addFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
    });
    for (int tick = 1; tick <= 5; ++tick) {
        form.Timer5Timer();
        QCOMPARE(form.State_connection->text(), QString("M27"));
        QVERIFY(form.Timer5->isActive());
    }
    form.Timer5Timer();
    QCOMPARE(form.State_connection->text(), QString("M21"));
    QCOMPARE(form.Edit5->text(), QString("M29"));
    QCOMPARE(m_fixture->program().link.state().connected, 0);
    QVERIFY(m_fixture->program().link.state().linkBusy);
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(!form.Monitor->isEnabled());
}

void SessionTest::statusFramesAreBuiltFromTheBitLines() {
    TMainForm& form = m_fixture->form();
    QVERIFY(!form.PageControl6->isHidden());
    QCOMPARE(form.PageControl6->tabText(0), QString("M56"));
    QCOMPARE(form.PageControl7->tabText(0), QString("M57"));
    zrd::monitor::TStateFrame* status = form.stateFrame(0);
    QCOMPARE(status->bitBoxes[1][2]->text(), QString("Overvoltage"));
    QVERIFY(status->bitBoxes[1][2]->isVisibleTo(status));
    QVERIFY(!status->bitBoxes[1][1]->isVisibleTo(status));
    zrd::monitor::TStateFrame* application = form.stateFrame(1);
    QVERIFY(application->Inv[3]->isVisibleTo(application));
    QCOMPARE(application->Inv[11]->objectName(), QString("inv11"));
    QCOMPARE(application->Label2->text(), QString("DINSTA"));
}

void SessionTest::inversionBoxWritesDinlev() {
    TMainForm& form = m_fixture->form();
    QCheckBox* inv3 = form.stateFrame(1)->Inv[3];
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
    QCOMPARE(form.Position_com->text(), QString("8292"));
    QVERIFY(!m_fixture->program().link.state().linkBusy);
}

void SessionTest::writeAllLogsEachParameter() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    program.model.setValueOrigin(0);
    program.model.setKnownValue(*program.model.find("LIM"), 33);
    form.N4Click();
    uint16_t lim = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { lim = d.raw(6); });
    QCOMPARE(lim, uint16_t(33));
    const auto& lines = program.actionLog.lines();
    // HVER and the status words are read-only: never written, never logged.
    int logged = 0;
    for (const auto& line : lines) {
        if (line.find("LIMM63") != std::string::npos)
            ++logged;
        QVERIFY(line.find("HVERM6") == std::string::npos);
    }
    QCOMPARE(logged, 1);
    QCOMPARE(program.model.valueOrigin(), 1);
    QVERIFY(!program.link.state().linkBusy);
}

void SessionTest::errorRaisedInALiveDriveShowsWithinOnePoll() {
    Program& program = m_fixture->program();
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.loadParameters(program.model); });
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.Timer5Timer();
    QCOMPARE(form.Error->text(), QString("M98"));
    m_sim->withDrive([](zrd::sim::SimDrive& d) { QVERIFY(d.raise(zrd::sim::BitList::Errors, 2)); });
    form.Timer5Timer();
    QCOMPARE(form.ComboBox1->count(), 1);
    QCOMPARE(form.ComboBox1->itemText(0), QString("Overvoltage"));
    QCOMPARE(form.Error->text(), QString("1 M24"));
    QVERIFY(form.stateFrame(0)->bitBoxes[1][2]->isChecked());
}

void SessionTest::monitorStartsAndStops() {
    connectDirectly();
    TMainForm& form = m_fixture->form();
    form.Monitor->setEnabled(true);
    form.MonitorClick();
    QVERIFY(form.TimerMonitor->isActive());
    QVERIFY(form.Monitor->isChecked());
    QVERIFY(!form.Panel32->isEnabled());
    QCOMPARE(stateColour(form.Speed_com), colors::kAqua);
    QVERIFY(!m_fixture->program().link.state().linkBusy);
    form.Stop_monitorClick();
    QVERIFY(!form.TimerMonitor->isActive());
    QVERIFY(form.Stop_monitor->isChecked());
    QVERIFY(form.Panel32->isEnabled());
    QCOMPARE(stateColour(form.Speed_com), colors::kSilver);
    QVERIFY(form.Timer5->isActive());
}
