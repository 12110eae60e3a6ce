// The offline scope page against the simulated drive on a pseudo-terminal.

#include "offline_scope_test.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <array>

#include <QListWidget>

#include "link/frame_codec.h"
#include "scope/offline_capture.h"
#include "scope/scope_settings.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/osc_dat_rec_form.h"
#include "scope/ui/trace_viewer.h"
#include "scope/ui/trig_bit_dialog.h"
#include "scope/ui/trigger_panel.h"

using namespace zrd::app;
using zrd::scope::OfflineEnd;

namespace {

// A fast line, so that a record of 4 × 2048 frames comes back in well under a second.
constexpr int kBaudRate = 921600;
// Signals the simulated drive does not compute: what the test puts into its memory stays.
constexpr std::array<const char*, zrd::scope::kChannelCount> kHeldSignals = {"DOSTA", "AO1VOL",
                                                                             "LOAD", "AO2VOL"};
constexpr std::array<uint16_t, zrd::scope::kChannelCount> kHeldRaw = {1234, 0xFFFE, 517, 40};

}  // namespace

void OfflineScopeTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped());
    m_sim = std::make_unique<zrd::sim::SimServer>(kBaudRate);
    QVERIFY2(m_sim->openPty(), m_sim->error().c_str());
    zrd::params::ParameterModel& model = m_fixture->program().model;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.loadParameters(model); });
    for (size_t c = 0; c < kHeldSignals.size(); ++c) {
        const uint8_t index = driveIndex(kHeldSignals[c]);
        m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.setRaw(index, kHeldRaw[c]); });
    }
    m_sim->start();
}

void OfflineScopeTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

zrd::scope::TOfflineScopePage& OfflineScopeTest::page() {
    return m_fixture->form().offlineScope();
}

uint8_t OfflineScopeTest::driveIndex(std::string_view mnemonic) {
    return zrd::test::driveIndexOf(m_fixture->program().model, mnemonic);
}

int OfflineScopeTest::driveValue(std::string_view mnemonic) {
    const uint8_t index = driveIndex(mnemonic);
    uint16_t raw = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { raw = d.raw(index); });
    return raw;
}

void OfflineScopeTest::connectAndPrepare() {
    Program& program = m_fixture->program();
    QCOMPARE(program.link.openPort(m_sim->devicePath(), kBaudRate, 30), zrd::link::OpenResult::Ok);
    program.link.state().connected = 1;
    program.link.state().linkBusy = false;
    TMainForm& form = m_fixture->form();
    // The first status poll shows the drive online.
    form.Timer5Timer();
    form.TabbedNotebook2Click(kTabOscillOffline);
    QCOMPARE(driveValue("OSCMOD"), 0);

    zrd::scope::TOfflineScopePage& p = page();
    const std::array<QComboBox*, zrd::scope::kChannelCount> combos = {p.ComboBox2, p.ComboBox3,
                                                                      p.ComboBox4, p.ComboBox5};
    for (int c = 1; c <= zrd::scope::kChannelCount; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        const int signal = zrd::scope::findScopeSignal(program.model, kHeldSignals[i]).value();
        combos[i]->setCurrentIndex(combos[i]->findData(signal));
        p.ComboBoxCloseUp(c);
        QCOMPARE(driveValue("CH" + std::to_string(c) + "SEL"), signal);
    }
    // The fastest tick: the drive's code, and the record length in the status line.
    p.Freq_off[0]->click();
    QCOMPARE(driveValue("RCFREQ"), 0);
    QCOMPARE(p.Edit14->text(), QString("M79 = %1 M80").arg(zrd::scope::recordSeconds(0)));
}

void OfflineScopeTest::fullBufferRecordIsReadBackAndViewed() {
    connectAndPrepare();
    TMainForm& form = m_fixture->form();
    zrd::scope::TOfflineScopePage& p = page();
    const zrd::scope::Oscillogram& oscillogram = *m_fixture->program().oscillogram;
    const zrd::link::LinkState& link = m_fixture->program().link.state();
    p.Trigger->Full_buffer_trigger->click();
    QCOMPARE(driveValue("TRGTYP"), int(zrd::scope::TriggerType::FullBuffer));
    QVERIFY(!p.Trigger->trglev->isVisibleTo(&p));

    form.TimerForTimeTimer();
    p.Button5->click();
    // Armed: the capture holds the link and listens, and the window goes on.
    QVERIFY(p.listening());
    QVERIFY(link.linkBusy);
    QVERIFY(!p.Button5->isEnabled());
    QVERIFY(p.Button1->isEnabled());
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!p.listening(), kWaitMs);

    QCOMPARE(p.capture()->end(), OfflineEnd::Complete);
    QCOMPARE(p.Gauge1->value(), zrd::scope::kOfflineSamples);
    QCOMPARE(p.Edit14->text(), QString("M66"));
    QCOMPARE(p.Edit2->text(), QString::number(zrd::scope::kLastSampleIndex));
    QCOMPARE(oscillogram.kind, zrd::scope::ScopeKind::Offline);
    // Every sample of the four channels, scaled and signed by the channel's signal.
    for (int n = 0; n < zrd::scope::kOfflineSamples; ++n) {
        for (int c = 1; c <= zrd::scope::kChannelCount; ++c) {
            const auto i = static_cast<size_t>(c - 1);
            const bool isSigned = zrd::scope::signalIsSigned(m_fixture->program().model,
                                                             oscillogram.channel(c).signal);
            const int raw = isSigned ? int(int16_t(kHeldRaw[i])) : int(kHeldRaw[i]);
            QCOMPARE(p.capture()->raw()[size_t(n)].values[i], raw);
            QCOMPARE(oscillogram.buffer.value(n, c - 1), raw * oscillogram.channel(c).scale);
        }
        QCOMPARE(oscillogram.buffer.value(n, zrd::scope::kChannelCount), double(n));
    }
    // The end gives the link, the monitor and the captured buttons back.
    QVERIFY(!link.linkBusy);
    QVERIFY(form.Timer5->isActive());
    QVERIFY(form.monitorPanel().Monitor->isEnabled());
    for (QPushButton* b : {p.Button5, p.Button2, p.Button4})
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(!p.Button1->isEnabled());
    QVERIFY(form.N20->isEnabled());
    QCOMPARE(oscillogram.header.startStamp,
             (p.MaskEdit5->text() + " / " + p.MaskEdit6->text()).toStdString());
    QVERIFY(!p.MaskEdit7->text().isEmpty());

    // The viewer shows the four channels, with no trigger to mark.
    p.Button2->click();
    QVERIFY(form.OscillOff->isVisible());
    QCOMPARE(form.OscillOff->Osc_A_ch[0]->text(), QString(kHeldSignals[0]));
    QCOMPARE(form.OscillOff->Osc_A_ch[3]->text(), QString(kHeldSignals[3]));
    QVERIFY(!form.OscillOff->view().triggerSample());
    form.OscillOff->Button2->click();

    // Reset clears the record and offers a new start.
    p.Button4->click();
    QCOMPARE(oscillogram.buffer.value(0, 0), 0.0);
    QVERIFY(!p.Button2->isEnabled());
    QVERIFY(p.Button5->isEnabled());
    QVERIFY(p.Edit14->text().isEmpty());
}

void OfflineScopeTest::connectWithServoOnInternalCommands() {
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    // A running servo on internal commands, in speed mode: the generator may drive it.
    const uint8_t inst = driveIndex("INST");
    const uint8_t mode = driveIndex("OPMOD");
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        d.setRaw(inst, 0);
        d.setRaw(mode, 2);
    });
    // The command source as a read of "INST" shows it: the page offers the generator trigger.
    form.controls().SpeedButton1->setChecked(true);
    connectAndPrepare();
    QVERIFY(page().Trigger->RadioButton1->isEnabled());
    QVERIFY(program.link.sendCommand(zrd::link::kCmdServoOn) > 0);
    QCOMPARE(program.link.awaitAck(false), std::optional<uint8_t>(0));
    form.Timer5Timer();
    QVERIFY(form.controls().Enable_button->isChecked());
}

void OfflineScopeTest::generatorMotionStartsTheRecordWithItsTriggerMarked() {
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    connectWithServoOnInternalCommands();
    if (QTest::currentTestFailed())
        return;
    zrd::scope::TOfflineScopePage& p = page();

    // Pre-trigger samples, then the generator's motion as the trigger.
    const int pre = 100;
    p.Trigger->trgpos->setText(QString::number(pre));
    p.Trigger->trgposExit();
    QCOMPARE(driveValue("TRGPOS"), pre);
    p.Trigger->RadioButton1->click();
    QCOMPARE(driveValue("TRGTYP"), int(zrd::scope::TriggerType::Generator));
    p.Button5->click();
    QTRY_VERIFY_WITH_TIMEOUT(p.waitingForGenerator(), kWaitMs);
    QCOMPARE(p.Edit14->text(), QString("M65"));
    QCOMPARE(p.TriggerWaitLabel->text(), QString("Waiting for trigger"));

    // Once the drive's ring holds the pre-trigger samples, Start FG goes out under the
    // capture's hold; the drive records and sends by itself.
    const auto ringSamples = [&] {
        int samples = 0;
        m_sim->withDrive([&](zrd::sim::SimDrive& d) { samples = int(d.offline().samples()); });
        return samples;
    };
    QTRY_VERIFY_WITH_TIMEOUT(ringSamples() >= pre, kWaitMs);
    form.controls().SpeedButton3->click();
    QVERIFY(program.shell.generatorRunning);
    m_sim->withDrive([](zrd::sim::SimDrive& d) { QVERIFY(d.generatorRunning()); });
    QTRY_VERIFY_WITH_TIMEOUT(!p.listening(), kWaitMs);
    QCOMPARE(p.capture()->end(), OfflineEnd::Complete);
    QCOMPARE(p.Gauge1->value(), zrd::scope::kOfflineSamples);
    QVERIFY(p.TriggerWaitLabel->text().isEmpty());
    QVERIFY(!program.link.state().linkBusy);

    // The viewer marks the drive's trigger sample.
    p.Button2->click();
    QVERIFY(form.OscillOff->isVisible());
    QCOMPARE(form.OscillOff->view().triggerSample(), std::optional<int>(driveValue("OSCTRG")));
    QCOMPARE(driveValue("OSCTRG"), pre);
    form.OscillOff->Button2->click();

    // "Stop FG" ends the generator.
    form.controls().SpeedButton7->click();
    QVERIFY(!program.shell.generatorRunning);
    m_sim->withDrive([](zrd::sim::SimDrive& d) { QVERIFY(!d.generatorRunning()); });
}

void OfflineScopeTest::startFgBeforeTheStartIsAcknowledgedStillStartsTheRecord() {
    TMainForm& form = m_fixture->form();
    Program& program = m_fixture->program();
    connectWithServoOnInternalCommands();
    if (QTest::currentTestFailed())
        return;
    zrd::scope::TOfflineScopePage& p = page();
    p.Trigger->RadioButton1->click();
    QCOMPARE(driveValue("TRGTYP"), int(zrd::scope::TriggerType::Generator));

    // A drive slow to acknowledge the start frame, and Start FG clicked at once: the click
    // comes before the page has read that acknowledge.
    constexpr int kAckDelayMs = 200;
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.addFault({zrd::sim::FaultKind::Delay, kAckDelayMs, 4, 1});
    });
    p.Button5->click();
    QVERIFY(p.listening());
    QVERIFY(!p.capture()->startAcknowledged());
    form.controls().SpeedButton3->click();

    // The generator runs, and its motion starts the record, which comes back whole.
    QVERIFY(form.controls().SpeedButton3->isChecked());
    QVERIFY(program.shell.generatorRunning);
    m_sim->withDrive([](zrd::sim::SimDrive& d) { QVERIFY(d.generatorRunning()); });
    QTRY_VERIFY_WITH_TIMEOUT(!p.listening(), kWaitMs);
    QCOMPARE(p.capture()->end(), OfflineEnd::Complete);
    QCOMPARE(p.capture()->records(), zrd::scope::kOfflineSamples);
    QVERIFY(!program.link.state().linkBusy);
    form.controls().SpeedButton7->click();
}

void OfflineScopeTest::bitOfAStatusWordBecomesTheEdgeLevel() {
    connectAndPrepare();
    zrd::scope::TOfflineScopePage& p = page();
    zrd::scope::TTriggerPanel& trigger = *p.Trigger;
    const int status = zrd::scope::findScopeSignal(m_fixture->program().model, "STA").value();
    p.ComboBox2->setCurrentIndex(p.ComboBox2->findData(status));
    p.ComboBoxCloseUp(1);
    trigger.Rising_trigger[0]->click();
    QCOMPARE(driveValue("TRGTYP"), int(zrd::scope::TriggerType::Rising));
    QCOMPARE(driveValue("TRGSRC"), 1);
    QVERIFY(trigger.trglev->isVisibleTo(&p));

    // A click on the level of a status word offers its bits; the chosen one is the level.
    const int bit = 9;
    QTest::mouseClick(trigger.trglev, Qt::LeftButton);
    zrd::scope::Ttrig_val_bit_sig_Form& dialog = *trigger.trig_val_bit_sig_Form;
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.RadioButton[0]->isChecked());
    QVERIFY(dialog.RadioButton[bit]->text().startsWith(QString("bit%1").arg(bit)));
    dialog.RadioButton[bit]->click();
    QCOMPARE(dialog.Edit1->text(), QString::number(bit));
    dialog.Button1->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(trigger.trglev->text(), QString::number(bit));
    trigger.trglevExit();
    QCOMPARE(driveValue("TRGLEV"), bit);
}

void OfflineScopeTest::checkDataRecord(int records, bool cutAllowed) {
    TMainForm& form = m_fixture->form();
    const zrd::scope::Oscillogram& oscillogram = *m_fixture->program().oscillogram;
    form.SeeOscDatRec->setEnabled(true);
    form.SeeOscDatRec->trigger();
    zrd::scope::TOscDatRec_Form& window = *form.OscDatRec_Form;
    QVERIFY(window.isVisible());
    QCOMPARE(window.StringGrid1->count(), zrd::scope::kOfflineSamples);
    for (int row = 0; row < zrd::scope::kOfflineSamples; ++row) {
        // " raw --> scaled   |   " for each channel, then the drive's sample index.
        const QStringList parts = window.StringGrid1->item(row)->text().split('|');
        QCOMPARE(parts.size(), zrd::scope::kChannelCount + 1);
        // The record after the last complete one may hold the channels that came before the
        // end; the sample index comes with channel 4, which completes a record.
        const bool came = row < records;
        const bool cut = cutAllowed && row == records;
        for (int c = 1; c <= zrd::scope::kChannelCount; ++c) {
            const auto i = static_cast<size_t>(c - 1);
            const QStringList values = parts.at(c - 1).split("-->");
            QCOMPARE(values.size(), 2);
            const bool isSigned = zrd::scope::signalIsSigned(m_fixture->program().model,
                                                             oscillogram.channel(c).signal);
            const int held = isSigned ? int(int16_t(kHeldRaw[i])) : int(kHeldRaw[i]);
            const double raw = values.at(0).trimmed().toDouble();
            if (!(cut && raw == held))
                QCOMPARE(raw, came ? double(held) : 0.0);
            QCOMPARE(values.at(1).trimmed().toDouble(), raw * oscillogram.channel(c).scale);
        }
        QCOMPARE(parts.last().trimmed().toInt(), came ? row : 0);
    }
    window.close();
}

void OfflineScopeTest::recordEndedShortSaysWhy_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("box");  // the start of its text
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("partial");  // some records came
    QTest::addColumn<bool>("online");   // the drive stays connected, a new start is offered
    QTest::newRow("the drive stays busy after the stop") << "busy" << int(OfflineEnd::Busy) << "M11"
                                                         << "M11" << false << true;
    QTest::newRow("the drive refuses the start") << "refuse" << int(OfflineEnd::Refused) << "M11"
                                                 << "M11" << false << true;
    QTest::newRow("the record stops coming part-way")
        << "silent" << int(OfflineEnd::Silent) << "M132"
        << "M132" << true << true;
    QTest::newRow("the line hangs up while the record comes")
        << "hangup" << int(OfflineEnd::HungUp) << "M17"
        << "M149" << false << false;
}

// However a record ends short, the status line says why, a box tells it once, the buttons offer
// what can be done next (a new start while the drive is there, the records that came to view,
// a reset), the monitor is given back, and the window took other clicks meanwhile.
void OfflineScopeTest::recordEndedShortSaysWhy() {
    QFETCH(QString, fault);
    QFETCH(int, end);
    QFETCH(QString, box);
    QFETCH(QString, status);
    QFETCH(bool, partial);
    QFETCH(bool, online);
    connectAndPrepare();
    TMainForm& form = m_fixture->form();
    zrd::scope::TOfflineScopePage& p = page();
    const zrd::link::LinkState& link = m_fixture->program().link.state();
    // The records that pass before a stream fault acts: a few pieces of the record.
    constexpr int kPiecesBefore = 3;
    if (fault == "busy") {
        // No trigger at the slowest tick: the drive records for minutes and the stop finds it busy.
        p.Freq_off.back()->click();
        p.Trigger->No_trigger->click();
    } else {
        p.Trigger->Full_buffer_trigger->click();
    }
    if (fault == "refuse")
        m_sim->withDrive([](zrd::sim::SimDrive& d) { d.offline().refuse = true; });
    if (fault == "silent")
        m_sim->withDrive([](zrd::sim::SimDrive& d) {
            d.addStreamFault({zrd::sim::FaultKind::None, 0, 0, kPiecesBefore});
            d.addStreamFault({zrd::sim::FaultKind::Silent, 0, 0, -1});
        });
    if (fault == "hangup")
        m_sim->withDrive([](zrd::sim::SimDrive& d) {
            d.addStreamFault({zrd::sim::FaultKind::HangUp, kPiecesBefore, 0, -1});
        });
    const size_t boxes = m_fixture->ui.boxes.size();
    p.Button5->click();
    if (fault == "busy") {
        // The drive took the start and records; the link is free meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(!p.listening(), kWaitMs);
        QCOMPARE(p.capture()->phase(), zrd::scope::OfflinePhase::Recording);
        QVERIFY(p.Button1->isEnabled());
        // Its hundred busy answers to the stop, at once rather than 100 ms apart.
        std::vector<uint8_t> busy;
        for (int n = 0; n < zrd::scope::kBusyReplyLimit; ++n)
            busy.insert(busy.end(), {zrd::link::kStartByte, zrd::link::kReplyAck,
                                     zrd::link::kAckStatusRefused, zrd::link::kEndByte});
        m_sim->withDrive([&](zrd::sim::SimDrive& d) {
            d.addFault({zrd::sim::FaultKind::Noise, 0, 0, 1, busy});
        });
        p.Button1->click();
        QCOMPARE(p.Edit14->text(), QString("M69"));
    }
    // The click came back while the capture works: the window goes on, also on other pages.
    QVERIFY(p.listening());
    QVERIFY(link.linkBusy);
    form.TabbedNotebook2Click(kTabStatus);
    form.TabbedNotebook2Click(kTabOscillOffline);
    QTRY_VERIFY_WITH_TIMEOUT(!p.listening(), kWaitMs);

    QCOMPARE(int(p.capture()->end()), end);
    QCOMPARE(p.Edit14->text(), status);
    QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
    QVERIFY2(QString::fromStdString(m_fixture->ui.boxes.back().text).startsWith(box),
             m_fixture->ui.boxes.back().text.c_str());
    const int records = p.capture()->records();
    if (partial) {
        QVERIFY(records > 0);
        QVERIFY(records < zrd::scope::kOfflineSamples);
    }
    QCOMPARE(link.connected, online ? 1 : 0);
    QVERIFY(!link.linkBusy);
    QCOMPARE(p.Button5->isEnabled(), online);
    QVERIFY(!p.Button1->isEnabled());
    QCOMPARE(p.Button2->isEnabled(), records > 0);
    QVERIFY(p.Button4->isEnabled());
    QVERIFY(p.TriggerWaitLabel->text().isEmpty());
    QCOMPARE(form.monitorPanel().Monitor->isEnabled(), online);
    QCOMPARE(form.Timer5->isActive(), online);
    checkDataRecord(records, true);
    if (QTest::currentTestFailed())
        return;

    // Reset: nothing of the record is left, and a new start is offered while the drive is there.
    p.Button4->click();
    QVERIFY(p.Edit14->text().isEmpty());
    QVERIFY(!p.Button2->isEnabled());
    QCOMPARE(p.Button5->isEnabled(), online);
    checkDataRecord(0, false);
}
