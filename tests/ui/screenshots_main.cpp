// Saves pictures of the program's windows for the user guide:
//   ui_screenshots --data-dir <data folder> <output folder>
// It brings the program up as torvanta does, then grabs a parameter page, the edit dialog, the
// About box, connected to a simulated drive the "Status" tab and the online oscilloscope after a
// capture, the function generator's window and the offline oscilloscope after a chirp record with
// its viewer, the main window, a parameter page and the online oscilloscope in Russian, the
// connection dialog with its port advice, and both trace viewers.
// scripts/screenshots runs it under Xvfb.

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/about_box.h"
#include "app/main_form.h"
#include "app/qt_user_interface.h"
#include "app/torvanta_application.h"
#include "cmdmon/ui/ser_monitor.h"
#include "core/version.h"
#include "fake_serial_tree.h"
#include "link/serial_port.h"
#include "params/ui/compare_form.h"
#include "params/ui/param_frame.h"
#include "params/ui/param_pages.h"
#include "scope/scope_settings.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/trace_viewer.h"
#include "scope/ui/trigger_panel.h"
#include "session/port_advice.h"
#include "session/ui/com_cfg.h"
#include "session/ui/control_area.h"
#include "session/ui/edit_par_form.h"
#include "session/ui/parameter_files.h"
#include "session/ui/set_config_form.h"
#include "sim_server.h"
#include "temp_dir.h"
#include "tuning/filter_design.h"
#include "tuning/ui/afc_form.h"
#include "tuning/ui/auto_tuning_form.h"
#include "tuning/ui/bode_chart.h"
#include "tuning/ui/filter_form.h"
#include "tuning/ui/step_response_form.h"
#include "tuning/ui/wave_form.h"

namespace {

// The program's hook for a run nobody watches: the language question is answered by the run
// itself, and a message is printed instead of waiting for a click.
class ScreenshotUserInterface : public zrd::app::QtUserInterface {
public:
    void showMessage(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "message: %s: %s\n", caption.c_str(), text.c_str());
    }
    std::optional<std::string> askText(const std::string&, const std::string&,
                                       const std::string&) override {
        return answer;
    }
    std::string answer;
};

bool save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    const bool ok = widget.grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    return ok;
}

// The online oscilloscope after a capture of a speed step: the servo is enabled by its input
// and follows the analog command, which jumps while the drive streams.
bool saveOnlineScope(zrd::app::TMainForm& form, zrd::sim::SimServer& sim, const QString& out) {
    constexpr double kStepMv = 3000;
    sim.withDrive([](zrd::sim::SimDrive& d) {
        // The errors of the status picture would keep the servo off.
        d.clearAll(zrd::sim::BitList::Errors);
        // Exact values: the drive at rest draws flat lines before the step.
        d.setNoise(0);
        d.setRaw(*d.indexOf("ENMOD"), static_cast<uint16_t>(zrd::sim::EnableMode::InputOnly));
        d.setRaw(*d.indexOf("DIN1"), zrd::sim::kInputServoEnable);
        (void)d.setInput(1, true);
        d.setAnalogInput(0);
    });
    zrd::scope::TOnlineScopePage& page = form.onlineScope();
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabOscillOnline);
    form.TabbedNotebook2Click(zrd::app::kTabOscillOnline);
    form.TimerForTimeTimer();
    page.Button3->click();
    const auto samples = [&page](int n) {
        return QTest::qWaitFor([&] { return !page.capturing() || page.capture()->samples() >= n; },
                               10000);
    };
    bool ok = samples(400);
    sim.withDrive([&](zrd::sim::SimDrive& d) { d.setAnalogInput(kStepMv); });
    ok &= samples(2000);
    page.Button18->click();
    form.Timer5Timer();
    ok &= save(form, out + "oscilloscope-online.png");
    return ok;
}

// A chirp of the function generator recorded offline: the generator window with the chirp,
// the offline page after the record, and the offline viewer with the generator's start marked.
// The servo runs (saveOnlineScope enabled it) on internal commands in speed mode.
bool saveOfflineScope(zrd::app::TMainForm& form, zrd::app::Program& program,
                      zrd::sim::SimServer& sim, const QString& out) {
    constexpr int kPreTrigger = 200;
    sim.withDrive([](zrd::sim::SimDrive& d) {
        d.setRaw(*d.indexOf("INST"), 1);
        d.setRaw(*d.indexOf("OPMOD"), 2);
    });
    program.model.setValue(*program.model.find("INST"), 1);
    program.shell.operatingMode = 2;
    form.controls().SpeedButton1->setChecked(true);
    form.Timer5Timer();

    zrd::tuning::TWave_Form& wave = *form.Wave_Form;
    wave.showModal();
    wave.SpeedButton3->click();
    const std::array<const char*, 5> chirp = {"300", "0", "5", "120", "1"};
    const std::array<QLineEdit*, 5> fields = {wave.Edit1, wave.Edit2, wave.Edit3, wave.Edit4,
                                              wave.Edit5};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(chirp[i]);
    bool ok = save(wave, out + "wave-form.png");
    wave.Button2->click();

    zrd::scope::TOfflineScopePage& page = form.offlineScope();
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabOscillOffline);
    form.TabbedNotebook2Click(zrd::app::kTabOscillOffline);
    const std::array<QComboBox*, zrd::scope::kChannelCount> combos = {
        page.ComboBox2, page.ComboBox3, page.ComboBox4, page.ComboBox5};
    const std::array<const char*, zrd::scope::kChannelCount> names = {"VSET", "VACT", "IACT",
                                                                      "STA"};
    for (int c = 1; c <= zrd::scope::kChannelCount; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        combos[i]->setCurrentIndex(
            combos[i]->findData(zrd::scope::findScopeSignal(program.model, names[i]).value_or(0)));
        page.ComboBoxCloseUp(c);
    }
    page.Freq_off[2]->click();
    page.Trigger->trgpos->setText(QString::number(kPreTrigger));
    page.Trigger->trgposExit();
    page.Trigger->RadioButton1->click();
    form.TimerForTimeTimer();
    page.Button5->click();
    ok &= QTest::qWaitFor(
        [&] {
            size_t samples = 0;
            sim.withDrive([&](zrd::sim::SimDrive& d) { samples = d.offline().samples(); });
            return samples >= size_t{kPreTrigger};
        },
        10000);
    form.controls().SpeedButton3->click();
    ok &= QTest::qWaitFor([&] { return !page.listening(); }, 30000);
    form.Timer5Timer();
    ok &= save(form, out + "oscilloscope-offline.png");
    page.Button2->click();
    ok &= save(*form.OscillOff, out + "offline-record.png");
    form.OscillOff->Button2->click();
    form.controls().SpeedButton7->click();

    // An edge-triggered step: the generator's constant of 500 rpm, recorded from 200 samples
    // before the speed command rises through 100 rpm.
    wave.showModal();
    wave.SpeedButton4->click();
    wave.Edit1->setText("500");
    wave.Button2->click();
    page.Trigger->Rising_trigger[0]->click();
    page.Trigger->trglev->setText("100");
    page.Trigger->trglevExit();
    page.Button5->click();
    // The drive holds the chirp's samples until the new record is armed.
    ok &= QTest::qWaitFor(
        [&] {
            bool armed = false;
            sim.withDrive([&](zrd::sim::SimDrive& d) {
                armed = d.offline().phase() == zrd::sim::RecorderPhase::PreTrigger &&
                        d.offline().samples() >= size_t{kPreTrigger};
            });
            return armed;
        },
        10000);
    form.controls().SpeedButton3->click();
    ok &= QTest::qWaitFor([&] { return !page.listening(); }, 30000);
    page.Button2->click();
    ok &= save(*form.OscillOff, out + "offline-step.png");
    form.OscillOff->Button2->click();
    form.controls().SpeedButton7->click();
    return ok;
}

// A chirp of 250 .. 800 Hz through the simulated plant, recorded offline at the fastest tick,
// with a band-stop filter at the resonance written to slot 1 afterwards: the Bode chart shows
// the measured resonance and the designed notch dashed over it. The servo runs on internal
// commands in speed mode (saveOfflineScope left it so).
bool saveFrequencyResponse(zrd::app::TMainForm& form, zrd::app::Program& program,
                           zrd::sim::SimServer& sim, const QString& out) {
    zrd::tuning::TWave_Form& wave = *form.Wave_Form;
    wave.showModal();
    wave.SpeedButton3->click();
    const std::array<const char*, 5> chirp = {"300", "0", "250", "800", "1"};
    const std::array<QLineEdit*, 5> fields = {wave.Edit1, wave.Edit2, wave.Edit3, wave.Edit4,
                                              wave.Edit5};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(chirp[i]);
    wave.Button2->click();

    zrd::scope::TOfflineScopePage& page = form.offlineScope();
    page.Freq_off[0]->click();
    page.Trigger->trgpos->setText("0");
    page.Trigger->trgposExit();
    page.Trigger->RadioButton1->click();
    page.Button5->click();
    const auto armed = [&] {
        bool waiting = false;
        sim.withDrive([&](zrd::sim::SimDrive& d) {
            waiting = d.offline().phase() == zrd::sim::RecorderPhase::AwaitGenerator;
        });
        return waiting;
    };
    bool ok = QTest::qWaitFor(armed, 10000);
    form.controls().SpeedButton3->click();
    ok &= QTest::qWaitFor(
        [&] { return !page.listening() && page.capture() && page.capture()->records() > 0; },
        30000);
    form.controls().SpeedButton7->click();

    zrd::tuning::FilterFields notch;
    notch.type = zrd::tuning::FilterType::BandStop;
    notch.frequency = 400;
    notch.quality = 2;
    const auto calc = zrd::tuning::calculateFilter(
        zrd::tuning::inputsOf(notch), zrd::tuning::coefficientFactors(program.model, 1));
    if (!calc)
        return false;
    notch.coefficients = calc->quantised;
    ok &= zrd::tuning::writeFilterSlot(program.link, program.access, program.model, 1, notch)
              .allAccepted();

    page.Button2->click();
    form.OscillOff->Button3->click();
    zrd::tuning::TPar_AFC_Form& parameters = *form.Par_AFC_Form;
    parameters.Edit1->setText("1000");
    parameters.Button1->click();
    ok &= save(*parameters.AFC_Form, out + "frequency-response.png");
    parameters.Button2->click();
    form.OscillOff->Button2->click();

    // The same chirp again, now through the notch: the resonance is gone from the measurement.
    page.Button4->click();
    page.Button5->click();
    ok &= QTest::qWaitFor(armed, 10000);
    form.controls().SpeedButton3->click();
    ok &= QTest::qWaitFor(
        [&] { return !page.listening() && page.capture() && page.capture()->records() > 0; },
        30000);
    form.controls().SpeedButton7->click();
    page.Button2->click();
    form.OscillOff->Button3->click();
    parameters.Edit1->setText("1000");
    parameters.Button1->click();
    parameters.AFC_Form->Bode->setCursorFrequency(400);
    ok &= save(*parameters.AFC_Form, out + "frequency-response-notch.png");
    parameters.Button2->click();
    form.OscillOff->Button2->click();
    return ok;
}

// The step response window after two runs, the second with a stiffer loop: both steps on
// one chart and their figures side by side. The gains the drive had go back afterwards.
bool saveStepResponse(zrd::app::TMainForm& form, zrd::app::Program& program, const QString& out) {
    form.Stepresponse1->trigger();
    zrd::tuning::TStepResponseForm& w = *form.StepResponse_Form;
    const QString kpv = w.StepKPV->text();
    const QString kiv = w.StepKIV->text();
    bool ok = true;
    // A write waits for the status poll to give the line up.
    const auto enter = [&](QLineEdit* field, const char* value) {
        ok &= QTest::qWaitFor([&] { return !program.link.state().linkBusy; }, 5000);
        field->setText(value);
        QTest::keyClick(field, Qt::Key_Return);
    };
    for (const auto& [gain, integral] : {std::pair{"5", "10"}, std::pair{"20", "40"}}) {
        enter(w.StepKPV, gain);
        enter(w.StepKIV, integral);
        w.StepRun->click();
        ok &= QTest::qWaitFor([&] { return !w.running(); }, 30000);
    }
    ok &= w.runs().size() == 2;
    ok &= save(w, out + "step-response.png");
    enter(w.StepKPV, kpv.toUtf8().constData());
    enter(w.StepKIV, kiv.toUtf8().constData());
    w.close();
    return ok;
}

// The command monitor on the simulated drive after "Read" of HVER and its answer.
bool saveCommandMonitor(zrd::app::TMainForm& form, zrd::sim::SimServer& sim, const QString& out) {
    zrd::cmdmon::TSer_monitor& monitor = *form.Ser_monitor;
    monitor.showMonitor();
    monitor.ComboBox1->setEditText(QString::fromStdString(sim.devicePath()));
    monitor.Button14->click();
    monitor.Button1->click();
    auto* question = monitor.findChild<QInputDialog*>("MnemonicQuestion");
    if (question == nullptr)
        return false;
    question->accept();
    const bool answered =
        QTest::qWaitFor([&monitor] { return !monitor.Memo1->toPlainText().isEmpty(); }, 5000);
    const bool ok = answered && save(monitor, out + "command-monitor.png");
    monitor.close();
    return ok;
}

// The main window, a parameter page and the online oscilloscope after a switch to Russian
// through "Language" with the drive connected (read-all and a status poll in Russian), then
// back to English for the pictures that follow.
bool saveInRussian(zrd::app::TMainForm& form, ScreenshotUserInterface& ui, const QString& out) {
    ui.answer = "Rus";
    form.Language1->trigger();
    bool ok = !form.program().english();
    form.Timer5Timer();
    form.TimerForTimeTimer();
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabBlockDiagram);
    ok &= save(form, out + "main-window-ru.png");
    form.TabbedNotebook2->setCurrentIndex(2);
    ok &= save(form, out + "parameter-page-ru.png");
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabOscillOnline);
    form.TabbedNotebook2Click(zrd::app::kTabOscillOnline);
    ok &= save(form, out + "oscilloscope-online-ru.png");
    form.Setconfiguration1->trigger();
    ok &= save(*form.set_config_Form, out + "configuration-setting-ru.png");
    form.set_config_Form->close();
    ui.answer = "Eng";
    form.Language1->trigger();
    return ok && form.program().english();
}

// The auto tuning window after a dry run on the simulated drive's default plant: the model,
// the loop before and as proposed, the figures and the Bode chart. It writes no tuning.
bool saveAutoTuning(zrd::app::TMainForm& form, zrd::app::Program& program, const QString& out) {
    form.Autotuning1->trigger();
    zrd::tuning::TAutoTuningForm& w = *form.AutoTuning_Form;
    w.resize(1280, 900);
    bool ok = QTest::qWaitFor([&] { return !program.link.state().linkBusy; }, 5000);
    w.TuneStart->click();
    ok &= QTest::qWaitFor([&] { return !w.running(); }, 300000);
    ok &= w.TuneApply->isEnabled();
    ok &= save(w, out + "auto-tuning.png");
    w.close();
    return ok;
}

// The window connected to a simulated drive with two errors and a warning: the connection
// dialog, then the "Status" tab after one status poll and one monitor tick.
bool saveSession(zrd::app::TMainForm& form, zrd::app::Program& program, ScreenshotUserInterface& ui,
                 const QString& out) {
    zrd::sim::SimServer sim;
    if (!sim.openPty())
        return false;
    sim.withDrive([&](zrd::sim::SimDrive& d) {
        d.loadParameters(program.model);
        (void)d.raise(zrd::sim::BitList::Errors, 0);
        (void)d.raise(zrd::sim::BitList::Errors, 2);
        (void)d.raise(zrd::sim::BitList::Warnings, 1);
    });
    sim.start();
    program.connection.device = sim.devicePath();
    zrd::session::TCOM_CFG dialog(
        program.connection, zrd::link::listSerialPorts(),
        [](zrd::session::ConnectionSettings&) { return true; }, program.ui, &form);
    dialog.show();
    bool ok = save(dialog, out + "connection-dialog.png");
    dialog.hide();

    if (program.link.openPort(sim.devicePath(), 115200, 30) != zrd::link::OpenResult::Ok)
        return false;
    program.link.state().connected = 1;
    program.link.state().linkBusy = false;
    form.Timer5Timer();
    form.TimerMonitorTimer();
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabStatus);
    ok &= save(form, out + "status-page.png");
    ok &= saveOnlineScope(form, sim, out);
    ok &= saveOfflineScope(form, program, sim, out);
    ok &= saveFrequencyResponse(form, program, sim, out);
    ok &= saveStepResponse(form, program, out);
    ok &= saveAutoTuning(form, program, out);
    // The switch rebuilds the pages and the scope selectors its own way; the monitor then takes
    // the line from the main window.
    ok &= saveInRussian(form, ui, out);
    ok &= saveCommandMonitor(form, sim, out);
    form.Timer5->stop();
    form.TimerForTime->stop();
    program.link.closePort();
    return ok;
}

// The screen around a window and the windows it opened (a drop-down list).
bool saveScreen(const QRect& area, const QString& path) {
    QApplication::processEvents();
    const bool ok = QGuiApplication::primaryScreen()
                        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                        .save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    return ok;
}

// A message box as the program shows it (QtUserInterface), left open to be grabbed.
bool saveMessage(zrd::app::TMainForm& form, zrd::app::Program& program, const std::string& text,
                 const QString& path) {
    QMessageBox box(QMessageBox::Information, QString::fromStdString(program.message(0)),
                    QString::fromStdString(text), QMessageBox::Ok, &form);
    box.show();
    return save(box, path);
}

// The serial-port advice. The ports come from a fake sysfs tree (an FTDI adapter at its
// 16 ms latency timer and an Arduino), shown under their /dev paths; the permission and busy
// texts are those the program builds for a user "engineer" outside the group "dialout" and for
// a port that minicom holds.
bool saveSerialAdvice(zrd::app::TMainForm& form, zrd::app::Program& program, const QString& out) {
    namespace lk = zrd::link;
    zrd::test::TempDir dir;
    zrd::test::FakeSerialTree tree(dir.path());
    tree.add(zrd::test::FakeSerialTree::ftdi("ttyUSB0", 16));
    tree.add({"ttyACM0", "cdc_acm", "2341", "0043", "Arduino (www.arduino.cc)", "Uno", "75833353",
              std::nullopt, ""});
    const auto shown = [&](std::string path) {
        return path.starts_with(dir.path()) ? path.substr(dir.path().size()) : path;
    };
    std::vector<lk::PortInfo> ports = lk::listSerialPorts(tree.roots());
    for (lk::PortInfo& p : ports)
        p.device = shown(p.device);
    zrd::session::ConnectionSettings settings;
    settings.device = "/dev/ttyUSB0";
    zrd::session::TCOM_CFG dialog(
        settings, ports, [](zrd::session::ConnectionSettings&) { return true; }, program.ui, &form);
    dialog.setPortNotes([&](const std::string& device) {
        lk::PortInfo info = lk::describePort(dir.path() + device, tree.roots());
        info.device = device;
        info.latencyFile = shown(info.latencyFile);
        return zrd::session::portNotes(info, "/usr/share/torvanta/99-zrd-serial.rules",
                                       program.messages, program.language());
    });
    dialog.show();
    bool ok = save(dialog, out + "connection-latency.png");
    dialog.ComboPort->showPopup();
    QApplication::processEvents();
    const QRect list = dialog.ComboPort->view()->window()->frameGeometry();
    ok &= saveScreen(dialog.frameGeometry().united(list).adjusted(-4, -4, 4, 4),
                     out + "connection-ports.png");
    dialog.ComboPort->hidePopup();
    dialog.hide();

    const std::string cannotOpen = program.message(zrd::params::kMsgCannotOpen) + "\n\n";
    lk::OpenDiagnosis permission;
    permission.problem = lk::OpenDiagnosis::Problem::NoPermission;
    permission.device = "/dev/ttyUSB0";
    permission.user = "engineer";
    permission.owner = "root";
    permission.group = "dialout";
    permission.mode = 0660;
    permission.groupGrants = true;
    ok &= saveMessage(form, program,
                      cannotOpen + zrd::session::openFailureAdvice(permission, program.messages,
                                                                   program.language()),
                      out + "port-permission.png");
    lk::OpenDiagnosis busy;
    busy.problem = lk::OpenDiagnosis::Problem::Busy;
    busy.device = "/dev/ttyUSB0";
    busy.holders = {{4711, "minicom"}};
    ok &= saveMessage(
        form, program,
        cannotOpen + zrd::session::openFailureAdvice(busy, program.messages, program.language()),
        out + "port-busy.png");
    return ok;
}

// The two trace viewers on a made-up step response: speed set and actual value online; set
// and actual speed, current and the status word offline, with the trigger marked.
bool saveViewers(zrd::app::Program& program, const QString& out) {
    namespace sc = zrd::scope;
    auto o = std::make_unique<sc::Oscillogram>();
    const char* names[] = {"VSET", "VACT", "IACT", "STA"};
    const char* units[] = {"rpm", "rpm", "A", ""};
    for (int c = 1; c <= sc::kChannelCount; ++c) {
        o->channel(c).name = names[c - 1];
        o->channel(c).unit = units[c - 1];
    }
    o->header.startStamp = "01.02.24 / 10:11:12";
    o->header.stopStamp = "01.02.24 / 10:11:22";
    for (int r = 0; r < sc::kRecordCount; ++r) {
        // A speed step every 2000 samples, answered by a damped second-order loop.
        const int since = r % 2000;
        const double target = (r / 2000) % 2 == 0 ? 1000.0 : -500.0;
        const double previous = (r / 2000) % 2 == 0 ? -500.0 : 1000.0;
        const double t = since / 60.0;
        const double step = 1.0 - std::exp(-0.5 * t) * (std::cos(t) + 0.5 * std::sin(t));
        const double actual = r < 2000 ? target * step : previous + (target - previous) * step;
        o->buffer.setValue(r, 0, r < 2000 && since == 0 ? 0.0 : target);
        o->buffer.setValue(r, 1, actual);
        o->buffer.setValue(r, 2, 0.01 * (target - actual));
        o->buffer.setValue(r, 3, std::fabs(target - actual) < 20.0 ? 0x0088 : 0x0080);
    }
    const sc::ViewerParts parts{*o, program.actionLog, program.messages, program.model, program.ui};
    bool ok = true;
    sc::TOscill online(parts, nullptr);
    online.view().open(*o);
    online.FormActivate();
    online.show();
    ok &= save(online, out + "online-viewer.png");
    online.hide();

    sc::TOscillOff offline(parts, nullptr);
    std::array<std::string, sc::kBitsPerWord> hints{};
    offline.setBitGroup(4, hints);
    offline.view().open(*o);
    offline.view().setTriggerSample(300);
    offline.FormActivate();
    offline.show();
    offline.BitClick(4, 3);
    offline.findChild<QRadioButton*>("V4_b3")->setChecked(true);
    offline.PaintBox14MouseMove(500);
    ok &= save(offline, out + "offline-viewer.png");
    offline.hide();
    return ok;
}

}  // namespace

// The filter calculator with a narrow band-stop, and the comparison shown before a parameter
// file is applied (a file saved, then two values changed in the program).
bool saveServiceWindows(zrd::app::TMainForm& form, zrd::app::Program& program, const QString& out) {
    zrd::tuning::TFilter_Form& filter = *form.Filter_Form;
    filter.showModal();
    filter.RadioType[size_t(zrd::tuning::FilterType::BandStop)]->click();
    filter.Edit1->setText("400");
    filter.Edit2->setText("2");
    filter.Button5->click();
    bool ok = save(filter, out + "filter-calculator.png");
    filter.hide();

    zrd::session::TParameterFiles& files = form.parameterFiles();
    const QString path = QDir(out).filePath("compare.prm");
    files.chooseFile = [&path](bool) { return path; };
    form.Saveparameterstofile1->trigger();
    zrd::params::ParameterModel& model = program.model;
    for (const char* mnemonic : {"F1FRE", "F1QUA"}) {
        if (const auto position = model.find(mnemonic))
            model.setValue(*position, model.value(*position) + 50);
    }
    form.Readingparametersfromfile1->trigger();
    if (zrd::params::TCompare_Form* compare = files.comparison()) {
        ok &= save(*compare, out + "parameter-comparison.png");
        compare->reject();
    }
    QFile::remove(path);
    return ok;
}

int main(int argc, char** argv) {
    zrd::app::TorvantaApplication app(argc, argv);
    app.setUpLook();
    std::vector<std::string> args;
    for (const QString& arg : zrd::app::TorvantaApplication::arguments())
        args.push_back(arg.toStdString());
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: ui_screenshots [--data-dir DIR] <output folder>\n");
        return 2;
    }
    const QString out = QString::fromStdString(args.back()) + "/";
    QDir().mkpath(out);

    ScreenshotUserInterface ui;
    zrd::app::StartOptions options = zrd::app::startOptions(args);
    // The user's own settings stay out of the pictures, and untouched.
    options.settingsFile.clear();
    options.versionText = std::string(zrd::projectVersion());
    auto program = std::make_unique<zrd::app::Program>(ui, zrd::link::makeSystemSerialPort(),
                                                       std::move(options));
    zrd::app::TMainForm form(*program);
    ui.setWindow(&form);
    if (!form.startUp())
        return 1;
    // The window appears when the last start-up step has run.
    if (!QTest::qWaitFor([&form] { return form.isVisible(); }, 10000) ||
        !QTest::qWaitForWindowExposed(&form, 10000))
        return 1;

    bool ok = true;
    form.TimerForTimeTimer();
    form.TabbedNotebook2->setCurrentIndex(zrd::app::kTabBlockDiagram);
    ok &= save(form, out + "main-window.png");
    // The motor group's first page.
    form.TabbedNotebook2->setCurrentIndex(2);
    ok &= save(form, out + "parameter-page.png");

    zrd::params::TParamFrame* page = nullptr;
    for (zrd::params::TParamFrame* frame : form.pages().frames()) {
        if (frame->parentWidget() != nullptr && frame->isVisible() && page == nullptr)
            page = frame;
    }
    if (page != nullptr) {
        int row = 0;
        while (row < zrd::params::kRowsPerPage - 1 && !page->row(row).Param->isEnabled())
            ++row;
        form.Edit_par_Form->fillFromRow(*page, row, true);
        form.Edit_par_Form->show();
        ok &= save(*form.Edit_par_Form, out + "edit-dialog.png");
        form.Edit_par_Form->hide();
    }

    form.AboutBox->show();
    ok &= save(*form.AboutBox, out + "about-box.png");
    form.AboutBox->hide();

    ok &= saveSession(form, *program, ui, out);
    ok &= saveSerialAdvice(form, *program, out);
    ok &= saveViewers(*program, out);
    ok &= saveServiceWindows(form, *program, out);
    return ok ? 0 : 1;
}
