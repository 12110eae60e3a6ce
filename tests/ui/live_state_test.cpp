// The main window's picture of the drive against the simulated drive on a pseudo-terminal.

#include "live_state_test.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "params/ui/compare_form.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/trigger_panel.h"
#include "session/ui/parameter_files.h"
#include "session/ui/service_controls.h"

using namespace zrd::test;
using zrd::app::TMainForm;

namespace {

constexpr int kInternalSource = 1;

// The connection dialog open at the moment (shown modally by N3Click).
zrd::session::TCOM_CFG* openDialog() {
    return qobject_cast<zrd::session::TCOM_CFG*>(QApplication::activeModalWidget());
}

// The newest entry of the action log holds the text of the last box.
bool loggedLastBox(const ProgramFixture& fixture, zrd::app::Program& program) {
    return !fixture.ui.boxes.empty() && program.actionLog.lines().size() > 1 &&
           program.actionLog.lines().at(1).find(fixture.ui.boxes.back().text) != std::string::npos;
}

}  // namespace

void LiveStateTest::init() {
    m_fixture = std::make_unique<ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped());
    m_sim = std::make_unique<zrd::sim::SimServer>();
}

void LiveStateTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

uint16_t LiveStateTest::driveRaw(const char* mnemonic) {
    const uint8_t index = driveIndexOf(m_fixture->program().model, mnemonic);
    uint16_t raw = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { raw = d.raw(index); });
    return raw;
}

void LiveStateTest::connectLive() {
    QVERIFY(m_fixture->connectToSim(*m_sim));
    TMainForm& form = m_fixture->form();
    form.Timer5Timer();
    QCOMPARE(form.driveState().State_connection->text(), QString("M27"));
    form.controls().SpeedButton1->click();
    QCOMPARE(driveRaw("INST"), uint16_t(kInternalSource));
    QVERIFY(form.controls().Panel7->isEnabled());
}

void LiveStateTest::silentDriveIsToldAndLogged_data() {
    QTest::addColumn<QString>("exchange");
    QTest::addColumn<QString>("box");
    QTest::newRow("the status poll gives up after six polls") << "status"
                                                              << "M130";
    QTest::newRow("an offline record that never comes") << "offline"
                                                        << "M132";
}

void LiveStateTest::silentDriveIsToldAndLogged() {
    QFETCH(QString, exchange);
    QFETCH(QString, box);
    connectLive();
    TMainForm& form = m_fixture->form();
    zrd::app::Program& program = m_fixture->program();
    const size_t boxes = m_fixture->ui.boxes.size();
    if (exchange == "status") {
        m_sim->withDrive([](zrd::sim::SimDrive& d) {
            d.addFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
        });
        for (int tick = 0; tick <= zrd::monitor::kToleratedFailures; ++tick)
            form.Timer5Timer();
        QCOMPARE(form.driveState().State_connection->text(), QString("M21"));
        QCOMPARE(program.link.state().connected, 0);
    } else {
        zrd::scope::TOfflineScopePage& p = form.offlineScope();
        form.TabbedNotebook2Click(zrd::app::kTabOscillOffline);
        p.Trigger->Full_buffer_trigger->click();
        // The drive records, but not one frame of the record reaches the line.
        m_sim->withDrive([](zrd::sim::SimDrive& d) {
            d.addStreamFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
        });
        QTRY_VERIFY_WITH_TIMEOUT(!program.link.state().linkBusy, kWaitMs);
        p.Button5->click();
        QVERIFY(p.listening());
        QTRY_VERIFY_WITH_TIMEOUT(!p.listening(), kWaitMs);
        QCOMPARE(p.capture()->end(), zrd::scope::OfflineEnd::Silent);
        // A new start is offered at once.
        QVERIFY(p.Button5->isEnabled());
    }
    QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
    QCOMPARE(QString::fromStdString(m_fixture->ui.boxes.back().text), box);
    QVERIFY(loggedLastBox(*m_fixture, program));
}

void LiveStateTest::offlineWindowShowsNothingLive_data() {
    QTest::addColumn<bool>("byDisconnect");
    QTest::newRow("disconnected by the user") << true;
    QTest::newRow("the drive fell silent") << false;
}

void LiveStateTest::offlineWindowShowsNothingLive() {
    QFETCH(bool, byDisconnect);
    connectLive();
    TMainForm& form = m_fixture->form();
    zrd::monitor::TDriveState& state = form.driveState();
    zrd::monitor::TMonitorPanel& monitor = form.monitorPanel();
    zrd::session::TControlArea& controls = form.controls();
    QCOMPARE(zrd::ui::stateColour(state.Error), colors::kLime);
    QVERIFY(form.statusPage().stateFrame(0)->bitBoxes[0][zrd::monitor::kBitReady]->isEnabled());
    form.MonitorClick();
    form.TimerMonitorTimer();
    QVERIFY(!monitor.Speed_com->text().isEmpty());
    form.Stop_monitorClick();
    // A file saved now brings an internal command source back while offline.
    const QString file = QString::fromStdString(m_fixture->dir.file("saved.prm"));
    form.parameterFiles().chooseFile = [&](bool) { return file; };
    form.Saveparameterstofile1->trigger();

    if (byDisconnect) {
        form.N9Click();
    } else {
        m_sim->withDrive([](zrd::sim::SimDrive& d) {
            d.addFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
        });
        for (int tick = 0; tick <= zrd::monitor::kToleratedFailures; ++tick)
            form.Timer5Timer();
    }
    QCOMPARE(m_fixture->program().link.state().connected, 0);
    for (zrd::ui::TLamp* lamp : {state.Servo_enable, state.N_0, state.drive_on, state.Drive_ready})
        QCOMPARE(lamp->colour(), colors::kGrey);
    for (QLineEdit* field : {state.Error, state.Warning, state.drive_en, state.PC_control})
        QVERIFY2(zrd::ui::stateColour(field) == colors::kSilver, qPrintable(field->objectName()));
    QVERIFY(state.Error->text().isEmpty());
    QVERIFY(!form.statusPage().stateFrame(0)->bitBoxes[0][zrd::monitor::kBitReady]->isEnabled());
    QVERIFY(state.ComboBox1->currentText().isEmpty());
    for (QLineEdit* field : {monitor.Speed_com, monitor.Act_speed, monitor.Act_position})
        QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));

    // Values shown from a file do not bring the drive's buttons back.
    form.Readingparametersfromfile1->trigger();
    zrd::params::TCompare_Form* compare = form.parameterFiles().comparison();
    QVERIFY(compare);
    compare->OKBtn->click();
    QVERIFY(controls.SpeedButton1->isChecked());
    for (QWidget* control : std::initializer_list<QWidget*>{
             controls.Panel7, controls.Panel14, controls.Panel3, controls.Panel6, controls.Button6,
             form.onlineScope().Button3, form.offlineScope().Button5})
        QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    // Choosing a trigger offline offers no start either.
    form.offlineScope().Trigger->No_trigger->click();
    QVERIFY(!form.offlineScope().Button5->isEnabled());
}

void LiveStateTest::stateIsReadAgainAfterACommand_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("servo off") << "off";
    QTest::newRow("external command source") << "external";
    QTest::newRow("reset") << "reset";
    QTest::newRow("operating mode") << "mode";
}

void LiveStateTest::stateIsReadAgainAfterACommand() {
    QFETCH(QString, command);
    connectLive();
    TMainForm& form = m_fixture->form();
    zrd::session::TControlArea& c = form.controls();
    zrd::monitor::TDriveState& state = form.driveState();
    c.Enable_button->click();
    form.Timer5Timer();
    QCOMPARE(state.Servo_enable->colour(), colors::kLime);
    // No poll is due before the checks below: the command alone must bring the state.
    if (command == "off") {
        c.Desable_button->click();
    } else if (command == "external") {
        c.SpeedButton2->click();
        QVERIFY(c.SpeedButton2->isChecked());
    } else if (command == "reset") {
        form.N17->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!form.service().ResetTimer->isActive(), kWaitMs);
        // The drive came up with the command source of its EEPROM; one button shows it.
        const bool internal = driveRaw("INST") <= kInternalSource;
        QCOMPARE(c.SpeedButton1->isChecked(), internal);
        QCOMPARE(c.SpeedButton2->isChecked(), !internal);
    } else {
        // A warning the drive raised meanwhile shows with the mode's answer.
        m_sim->withDrive([](zrd::sim::SimDrive& d) {
            QVERIFY(d.raise(zrd::sim::BitList::Warnings, zrd::sim::kWarningFollowing));
        });
        c.SpeedButton6->click();
        QCOMPARE(driveRaw("OPMOD"), uint16_t(zrd::session::kModePosition));
        QCOMPARE(zrd::ui::stateColour(state.Warning), colors::kYellow);
        return;
    }
    QCOMPARE(state.Servo_enable->colour(), colors::kGrey);
    QVERIFY(c.Desable_button->isChecked());
}

void LiveStateTest::reconnectKeepsTheUsersPage() {
    QVERIFY(m_sim->openPty());
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.loadParameters(m_fixture->program().model); });
    m_sim->start();
    TMainForm& form = m_fixture->form();
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabStatus);
    form.TabbedNotebook2Click(zrd::app::kTabStatus);
    QTimer::singleShot(0, [this] {
        zrd::session::TCOM_CFG* dialog = openDialog();
        QVERIFY(dialog);
        dialog->ComboPort->setCurrentText(QString::fromStdString(m_sim->devicePath()));
        dialog->OKBtnClick();
    });
    form.N3Click();
    QCOMPARE(m_fixture->program().link.state().connected, 1);
    QCOMPARE(form.TabbedNotebook2->currentIndex(), int(zrd::app::kTabStatus));
}

void LiveStateTest::cablePullIsReconnected_data() {
    QTest::addColumn<bool>("automatic");
    QTest::newRow("by the Reconnect button") << false;
    QTest::newRow("automatically, as ticked in the connection dialog") << true;
}

void LiveStateTest::cablePullIsReconnected() {
    QFETCH(bool, automatic);
    zrd::app::Program& program = m_fixture->program();
    const std::string linkPath = m_fixture->dir.file("drive");
    QVERIFY(m_sim->openPty());
    QVERIFY2(m_sim->keepLink(linkPath), m_sim->error().c_str());
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.loadParameters(program.model); });
    m_sim->start();
    TMainForm& form = m_fixture->form();
    QPushButton* reconnect = form.driveState().Reconnect;
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabStatus);
    form.TabbedNotebook2Click(zrd::app::kTabStatus);
    QTimer::singleShot(0, [&] {
        zrd::session::TCOM_CFG* dialog = openDialog();
        QVERIFY(dialog);
        dialog->ComboPort->setCurrentText(QString::fromStdString(linkPath));
        dialog->CheckReconnect->setChecked(automatic);
        dialog->OKBtnClick();
    });
    form.N3Click();
    QCOMPARE(program.link.state().connected, 1);
    form.MonitorClick();
    QVERIFY(form.TimerMonitor->isActive());
    const auto notReads = [this] {
        int n = 0;
        m_sim->withDrive([&](zrd::sim::SimDrive& d) {
            n = d.framesSeen() - d.framesOf(zrd::link::kCmdReadParameter);
        });
        return n;
    };
    const int written = notReads();
    const size_t boxes = m_fixture->ui.boxes.size();

    m_sim->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(program.link.state().connected, 0, kWaitMs);
    QCOMPARE(form.driveState().State_connection->text(), QString("M21"));
    QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
    // While the line is away the drive takes another value, which the window must read anew.
    const int position = *program.model.find("KPV");
    const uint8_t index = program.model.parameter(position).Index;
    uint16_t raw = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        raw = static_cast<uint16_t>(d.raw(index) + 1);
        d.setRaw(index, raw);
    });
    m_sim->plug();
    if (!automatic) {
        QTRY_VERIFY_WITH_TIMEOUT(reconnect->isVisible(), kWaitMs);
        QCOMPARE(program.link.state().connected, 0);
        reconnect->click();
    }
    QTRY_COMPARE_WITH_TIMEOUT(program.link.state().connected, 1, kWaitMs);
    QVERIFY(!reconnect->isVisible());
    QCOMPARE(form.driveState().State_connection->text(), QString("M27"));
    QCOMPARE(form.TabbedNotebook2->currentIndex(), int(zrd::app::kTabStatus));
    QVERIFY(form.TimerMonitor->isActive());
    QVERIFY(form.monitorPanel().Monitor->isChecked());
    QCOMPARE(program.model.value(position),
             zrd::params::rawToDisplay(program.model.parameter(position), raw));
    QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
    QCOMPARE(notReads(), written);
}

void LiveStateTest::stopReplayActsOnlyWhileAReplayRuns() {
    connectLive();
    TMainForm& form = m_fixture->form();
    zrd::scope::TOnlineScopePage& p = form.onlineScope();
    form.TabbedNotebook2Click(zrd::app::kTabOscillOnline);
    QTRY_VERIFY_WITH_TIMEOUT(!m_fixture->program().link.state().linkBusy, kWaitMs);
    p.Button3->click();
    QTRY_VERIFY_WITH_TIMEOUT(p.capture()->samples() > 100, kWaitMs);
    p.Button18->click();
    QVERIFY(p.Replay_stop->isVisibleTo(&p));
    QVERIFY(!p.Replay_stop->isChecked());
    QVERIFY(!p.Replay_stop->isEnabled());
    QVERIFY(!p.Replay_start->isChecked());

    p.Replay_start->click();
    QVERIFY(p.replay().running());
    QVERIFY(p.Replay_start->isChecked());
    QVERIFY(p.Replay_stop->isEnabled());
    // A second click on "Replay" leaves it running and down.
    p.Replay_start->click();
    QVERIFY(p.replay().running());
    QVERIFY(p.Replay_start->isChecked());
    p.Replay_stop->click();
    QVERIFY(!p.replay().running());
    QVERIFY(!p.Replay_start->isChecked());
    QVERIFY(!p.Replay_stop->isEnabled());
}
