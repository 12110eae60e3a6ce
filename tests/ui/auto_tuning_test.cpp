// The auto tuning window against the simulated drive on a pseudo-terminal.

#include "auto_tuning_test.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <map>

#include "link/frame_codec.h"
#include "session/parameter_edit.h"
#include "tuning/filter_design.h"
#include "tuning/ui/afc_form.h"
#include "tuning/ui/auto_tuning_form.h"
#include "tuning/ui/bode_chart.h"
#include "tuning/ui/step_chart.h"

using zrd::tuning::TAutoTuningForm;

namespace {

// A fast line, so that each record's read-back is short.
constexpr int kTuneBaudRate = 921600;
// The fast link's gap between requests, in byte times.
constexpr int kTuneGapBytes = 3;
// A whole run takes its records' time on the drive's recorder: tens of seconds.
constexpr int kTuneWaitMs = 4 * kWaitMs;
// What the window shows of a cancelled run.
constexpr const char* kCancelledStatus = "M125";
constexpr const char* kPortLostText = "M17";
// Frames before the drive hangs up: past the checks and reads, within the measurement.
constexpr int kFramesBeforeHangUp = 120;

// The raw memory of every parameter the program may write.
std::map<int, uint16_t> writable(zrd::sim::SimServer& sim) {
    std::map<int, uint16_t> out;
    sim.withDrive([&](zrd::sim::SimDrive& d) {
        for (size_t i = 0; i < zrd::sim::SimDrive::kIndexCount; ++i) {
            const auto index = static_cast<uint8_t>(i);
            if (d.parameter(index).known && !d.parameter(index).readOnly)
                out[static_cast<int>(i)] = d.raw(index);
        }
    });
    return out;
}

// The parameters whose raw values differ between two snapshots, by name.
QStringList changed(const zrd::params::ParameterModel& model, const std::map<int, uint16_t>& a,
                    const std::map<int, uint16_t>& b) {
    QStringList names;
    for (const auto& [index, raw] : a) {
        if (b.at(index) == raw)
            continue;
        QString name = QString::number(index);
        for (int p = 0; p <= model.lastParameter(); ++p)
            if (zrd::test::driveIndexOf(model, model.parameter(p).Pname) == index)
                name = QString::fromStdString(model.parameter(p).Pname);
        names << name;
    }
    return names;
}

double cellNumber(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? zrd::session::parseDisplayValue(item->text().toStdString()) : -1.0;
}

}  // namespace

void AutoTuningTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped());
    m_sim = std::make_unique<zrd::sim::SimServer>(kTuneBaudRate);
    QVERIFY2(m_sim->openPty(), m_sim->error().c_str());
    zrd::params::ParameterModel& model = m_fixture->program().model;
    // A running servo in speed mode on internal commands: the generator may drive it.
    const uint8_t mode = zrd::test::driveIndexOf(model, "OPMOD");
    const uint8_t source = zrd::test::driveIndexOf(model, "INST");
    bool on = false;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        d.loadParameters(model);
        d.setRaw(mode, 2);
        d.setRaw(source, 1);
        on = d.answer({zrd::link::kCmdServoOn, 0, 0, 0}).has_value();
    });
    QVERIFY(on);
    m_sim->start();
    zrd::app::Program& program = m_fixture->program();
    QCOMPARE(program.link.openPort(m_sim->devicePath(), kTuneBaudRate, 30),
             zrd::link::OpenResult::Ok);
    program.link.state().connected = 1;
    program.link.state().linkBusy = false;
    program.link.state().fastGapBytes = kTuneGapBytes;
}

void AutoTuningTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

void AutoTuningTest::dryRunWritesNothingAndApplyWithUndoLeavesTheDriveAsBefore() {
    zrd::app::TMainForm& form = m_fixture->form();
    const zrd::params::ParameterModel& model = m_fixture->program().model;
    form.Autotuning1->trigger();
    TAutoTuningForm& w = *form.AutoTuning_Form;
    QVERIFY(w.isVisible());
    QVERIFY(!w.TuneApply->isEnabled());
    QVERIFY(!w.TuneUndo->isEnabled());
    const size_t boxes = m_fixture->ui.boxes.size();
    const std::map<int, uint16_t> before = writable(*m_sim);

    // The dry run: a proposal on screen, the drive as it was.
    w.TuneStart->click();
    QVERIFY(w.running());
    QVERIFY(w.TuneCancel->isEnabled());
    QVERIFY(!w.TuneStart->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!w.running(), kTuneWaitMs);
    QVERIFY2(w.tuner()->outcome().failure == zrd::tuning::TuneFailure::None,
             qPrintable(w.TuneStatus->text()));
    QCOMPARE(m_fixture->ui.boxes.size(), boxes);
    QVERIFY2(writable(*m_sim) == before,
             qPrintable(changed(model, before, writable(*m_sim)).join(", ")));
    QVERIFY(!m_fixture->program().link.state().linkBusy);
    const zrd::tuning::TuneResult& dry = w.tuner()->result();
    QVERIFY(!dry.applied);
    QCOMPARE(w.TuneProgress->value(), w.TuneProgress->maximum());
    // The loop before is the drive's; the proposal is another one.
    const double kpvBefore = cellNumber(w.TuneLoop, 0, 0);
    QCOMPARE(kpvBefore, model.value(*model.find("KPV")));
    const double kpvProposed = cellNumber(w.TuneLoop, 0, 1);
    QVERIFY(kpvProposed > 0.0);
    QVERIFY(kpvProposed != kpvBefore);
    QVERIFY(cellNumber(w.TuneLoop, 1, 1) > 0.0);
    QVERIFY(zrd::session::parseDisplayValue(w.TuneInertia->text().toStdString()) > 0.0);
    // The chart holds the measured bins and the model and loops drawn over them.
    std::map<QString, size_t> points;
    for (const zrd::tuning::BodeCurve& c : w.Bode->curves())
        points[c.name] = c.points.size();
    QVERIFY(points["plant, measured"] >= size_t(zrd::tuning::kMinCoherentBins));
    QVERIFY(points["model"] > 0 && points["open loop before"] > 0 &&
            points["open loop proposed"] > 0);
    QVERIFY(!points.count("open loop measured"));
    QVERIFY(w.TuneApply->isEnabled());

    // The report of what the window shows.
    const std::string report = m_fixture->dir.file("tuning.html");
    w.chooseFile = [&] { return QString::fromStdString(report); };
    w.TuneReport->click();
    QFile file(QString::fromStdString(report));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    QVERIFY(html.contains("<svg"));
    QVERIFY(html.contains(w.TuneLoop->item(0, 1)->text()));

    // Apply: written, measured again and verified; the drive runs the proposal.
    w.TuneApply->click();
    QVERIFY(w.running());
    QTRY_VERIFY_WITH_TIMEOUT(!w.running(), kTuneWaitMs);
    const zrd::tuning::TuneResult& applied = w.tuner()->result();
    QVERIFY2(applied.applied && applied.verified, qPrintable(w.TuneStatus->text()));
    QCOMPARE(m_fixture->ui.boxes.size(), boxes);
    QVERIFY(w.TuneChecks->count() >= 4);
    for (int i = 0; i < w.TuneChecks->count(); ++i)
        QVERIFY2(w.TuneChecks->item(i)->text().startsWith("✓"),
                 qPrintable(w.TuneChecks->item(i)->text()));
    QVERIFY(w.TuneFigures->item(1, 2) && !w.TuneFigures->item(1, 2)->text().isEmpty());
    // The verifying step as recorded.
    QVERIFY(w.Step->speedCurve("measured"));
    QVERIFY(w.Step->speedCurve("measured")->count() > 0);
    const std::map<int, uint16_t> tuned = writable(*m_sim);
    const QStringList written = changed(model, before, tuned);
    QVERIFY2(written.contains("KPV"), qPrintable(written.join(", ")));
    for (const zrd::tuning::TunedFilter& f : applied.proposed.filters)
        QVERIFY(written.contains(QString::fromStdString(
            zrd::tuning::filterMnemonic(f.slot, zrd::tuning::FilterRole::Type))));
    QVERIFY(w.undoable());
    // Another Apply needs a dry run first: it would take the tuned values for those before.
    QVERIFY(!w.TuneApply->isEnabled());

    // Undo: every value as before the tuning.
    w.TuneUndo->click();
    QVERIFY2(writable(*m_sim) == before,
             qPrintable(changed(model, before, writable(*m_sim)).join(", ")));
    QVERIFY(!w.undoable());
    QVERIFY(!w.TuneUndo->isEnabled());
    QCOMPARE(m_fixture->ui.boxes.size(), boxes);
}

void AutoTuningTest::cancelMidMeasurementEndsAtOnceWithTheSettingsBack_data() {
    QTest::addColumn<bool>("afterFirstRecord");
    QTest::newRow("settling at the base speed") << false;
    QTest::newRow("once a record comes back") << true;
}

void AutoTuningTest::cancelMidMeasurementEndsAtOnceWithTheSettingsBack() {
    QFETCH(bool, afterFirstRecord);
    zrd::app::TMainForm& form = m_fixture->form();
    const zrd::params::ParameterModel& model = m_fixture->program().model;
    form.Autotuning1->trigger();
    TAutoTuningForm& w = *form.AutoTuning_Form;
    const size_t boxes = m_fixture->ui.boxes.size();
    const std::map<int, uint16_t> before = writable(*m_sim);
    w.TuneStart->click();
    QVERIFY(w.running());
    QCOMPARE(w.tuner()->phase(), zrd::tuning::TunePhase::Measuring);
    if (afterFirstRecord) {
        QTRY_VERIFY_WITH_TIMEOUT(!w.running() || w.TuneProgress->value() > 0, kTuneWaitMs);
        QVERIFY(w.running());
    }
    // The click ends the run before it returns.
    w.TuneCancel->click();
    QVERIFY(!w.running());
    QCOMPARE(w.TuneStatus->text(), QString(kCancelledStatus));
    QVERIFY(w.TuneStart->isEnabled());
    QVERIFY(!w.TuneApply->isEnabled());
    QVERIFY(!w.TuneCancel->isEnabled());
    QCOMPARE(m_fixture->ui.boxes.size(), boxes);
    QVERIFY(!m_fixture->program().link.state().linkBusy);
    QVERIFY2(writable(*m_sim) == before,
             qPrintable(changed(model, before, writable(*m_sim)).join(", ")));
}

void AutoTuningTest::driveThatHangsUpEndsTheRunWithTheLinksMessage() {
    zrd::app::TMainForm& form = m_fixture->form();
    // Opened from the frequency response window, which gives way to it.
    zrd::tuning::TAFC_Form& chart = *form.Par_AFC_Form->AFC_Form;
    chart.show();
    chart.AutoTuning->click();
    QVERIFY(!chart.isVisible());
    TAutoTuningForm& w = *form.AutoTuning_Form;
    QVERIFY(w.isVisible());
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.addFault({.kind = zrd::sim::FaultKind::HangUp, .value = kFramesBeforeHangUp});
    });
    w.TuneStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.running(), kTuneWaitMs);
    QCOMPARE(w.tuner()->outcome().failure, zrd::tuning::TuneFailure::LinkLost);
    QVERIFY(w.TuneStatus->text().startsWith(kPortLostText));
    // The link told of the lost port; the window names what it could not put back.
    QStringList texts;
    for (const auto& box : m_fixture->ui.boxes)
        texts << QString::fromStdString(box.text);
    QVERIFY2(texts.filter(kPortLostText).size() == 1, qPrintable(texts.join(" | ")));
    QVERIFY(!w.tuner()->result().notRestored.empty());
    QVERIFY(w.TuneStart->isEnabled());
    QVERIFY(!w.TuneApply->isEnabled());
}
