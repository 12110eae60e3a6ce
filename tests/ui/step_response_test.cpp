// The step response window against the simulated drive on a pseudo-terminal.

#include "step_response_test.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <cmath>
#include <map>

#include "link/frame_codec.h"
#include "scope/oscillogram_file_reader.h"
#include "tuning/step_response.h"
#include "tuning/step_test.h"
#include "tuning/ui/step_chart.h"
#include "tuning/ui/step_response_form.h"

using zrd::tuning::TStepResponseForm;

namespace {

// A fast line, so that the record of 4 × 2048 frames comes back in well under a second.
constexpr int kStepBaudRate = 921600;
// Gains where a stiffer loop overshoots more: the delay of the loop, not the integrator,
// sets the overshoot there.
constexpr const char* kFirstKpv = "15";
constexpr const char* kSecondKpv = "40";
// What the run writes and must put back.
constexpr const char* kStepRestored[] = {"IIT", "IIP1V", "IIP2V", "OSCMOD", "CH1SEL", "TRGTYP"};

// Figures from a file agree with those of the run within 1 % (of at least one unit: the file
// keeps three decimals).
bool withinOnePercent(double run, double file) {
    return std::abs(run - file) <= 0.01 * std::max({std::abs(run), std::abs(file), 1.0});
}

}  // namespace

void StepResponseTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped());
    m_sim = std::make_unique<zrd::sim::SimServer>(kStepBaudRate);
    zrd::app::Program& program = m_fixture->program();
    // A running servo in speed mode on internal commands: the generator may drive it.
    bool on = false;
    QVERIFY2(
        m_fixture->connectToSim(
            *m_sim, [&](zrd::sim::SimDrive& d) { on = zrd::test::runSpeedLoop(d, program.model); },
            kStepBaudRate),
        m_sim->error().c_str());
    QVERIFY(on);
    program.link.state().linkBusy = false;
}

void StepResponseTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

void StepResponseTest::runsAreMeasuredAsExportedAndOverlaidAfterAGainChange() {
    zrd::app::TMainForm& form = m_fixture->form();
    zrd::params::ParameterModel& model = m_fixture->program().model;
    const auto driveRaw = [&](const char* mnemonic) {
        const uint8_t index = zrd::test::driveIndexOf(model, mnemonic);
        uint16_t raw = 0;
        m_sim->withDrive([&](zrd::sim::SimDrive& d) { raw = d.raw(index); });
        return raw;
    };
    std::map<std::string, uint16_t> before;
    for (const char* name : kStepRestored)
        before[name] = driveRaw(name);

    form.Stepresponse1->trigger();
    TStepResponseForm& w = *form.StepResponse_Form;
    QVERIFY(w.isVisible());
    const auto run = [&] {
        const size_t boxes = m_fixture->ui.boxes.size();
        w.StepRun->click();
        QVERIFY(w.running());
        QVERIFY(!w.StepRun->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!w.running(), kWaitMs);
        QVERIFY2(w.StepStatus->text() == "M66", qPrintable(w.StepStatus->text()));
        QVERIFY(w.StepRun->isEnabled());
        QCOMPARE(m_fixture->ui.boxes.size(), boxes);
        QVERIFY(!m_fixture->program().link.state().linkBusy);
        for (const char* name : kStepRestored)
            QVERIFY2(driveRaw(name) == before[name], name);
    };
    // Each gain goes to the drive as the edit dialog writes it.
    const auto setKpv = [&](const char* kpv) {
        w.StepKPV->setText(kpv);
        QTest::keyClick(w.StepKPV, Qt::Key_Return);
        QVERIFY(!w.running());
        const zrd::params::TPar& p = model.parameter(model.find("KPV").value());
        QCOMPARE(zrd::params::rawToDisplay(p, driveRaw("KPV")), std::stod(kpv));
    };
    for (const char* kpv : {kFirstKpv, kSecondKpv}) {
        setKpv(kpv);
        run();
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(w.runs().size(), size_t(2));
    QCOMPARE(w.runs()[0].summary.loop.kpv, std::stod(kFirstKpv));
    QCOMPARE(w.runs()[1].summary.loop.kpv, std::stod(kSecondKpv));
    QCOMPARE(w.StepFigures->columnCount(), 2);

    // The exported records give the figures the window shows.
    w.chooseFolder = [&] { return QString::fromStdString(m_fixture->dir.path()); };
    w.StepExport->click();
    for (size_t i = 0; i < w.runs().size(); ++i) {
        zrd::scope::Oscillogram record;
        const std::string file = m_fixture->dir.file("step_run" + std::to_string(i + 1) + ".dat");
        QVERIFY2(zrd::scope::readDatFile(file, record, &model).ok(), file.c_str());
        const auto again = zrd::tuning::measureStep(
            zrd::tuning::recordChannel(record, zrd::tuning::kStepCommandChannel),
            zrd::tuning::recordChannel(record, zrd::tuning::kStepActualChannel),
            zrd::tuning::recordChannel(record, zrd::tuning::kStepCurrentChannel),
            record.header.tick, std::nullopt);
        QVERIFY(again);
        const zrd::tuning::StepFigures& shown = w.runs()[i].summary.figures;
        QVERIFY(withinOnePercent(again->commandAfter - again->commandBefore,
                                 zrd::tuning::kDefaultStepRpm));
        QVERIFY(shown.riseMs && again->riseMs && shown.settling5Ms && again->settling5Ms);
        for (const auto& [fromRun, fromFile] :
             {std::pair{shown.overshootPercent, again->overshootPercent},
              std::pair{*shown.riseMs, *again->riseMs},
              std::pair{*shown.settling5Ms, *again->settling5Ms},
              std::pair{shown.steadyErrorRpm, again->steadyErrorRpm},
              std::pair{shown.peakCurrentA, again->peakCurrentA}})
            QVERIFY2(
                withinOnePercent(fromRun, fromFile),
                qPrintable(QString("%1 != %2 (run %3)").arg(fromRun).arg(fromFile).arg(i + 1)));
    }
    QFile figures(QString::fromStdString(m_fixture->dir.file("step_figures.csv")));
    QVERIFY(figures.open(QIODevice::ReadOnly));
    const QStringList csv = QString::fromUtf8(figures.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(csv.size(), 3);
    QVERIFY(csv.at(2).startsWith(QString("Run 2;%1;").arg(kSecondKpv)));

    // Both runs on the chart; the stiffer one overshoots more.
    zrd::tuning::StepChart& chart = *w.Chart;
    QCOMPARE(chart.speedCurves().size(), 2);
    for (QLineSeries* s : chart.speedCurves())
        QCOMPARE(s->count(), zrd::scope::kOfflineSamples);
    const auto peak = [](const QLineSeries* s) {
        double highest = 0;
        for (const QPointF& p : s->points())
            highest = std::max(highest, p.y());
        return highest;
    };
    QVERIFY(peak(chart.speedCurve("Run 2")) > peak(chart.speedCurve("Run 1")));
    QVERIFY(w.runs()[1].summary.figures.overshootPercent >
            w.runs()[0].summary.figures.overshootPercent);

    // The first run as the reference is drawn apart; a run unchecked leaves the chart.
    w.StepRuns->selectRow(0);
    w.StepReference->click();
    QCOMPARE(w.reference(), std::optional<size_t>(0));
    QVERIFY(chart.speedCurve("Run 1")->pen().widthF() > chart.speedCurve("Run 2")->pen().widthF());
    w.StepRuns->item(1, 0)->setCheckState(Qt::Unchecked);
    QCOMPARE(chart.speedCurves().size(), 1);
    QVERIFY(chart.speedCurve("Run 1"));
}

void StepResponseTest::runThatCannotStepWritesNothingAndSaysWhy_data() {
    QTest::addColumn<int>("operatingMode");
    QTest::addColumn<bool>("servoOn");
    QTest::addColumn<QString>("amplitude");
    QTest::addColumn<QString>("status");
    QTest::newRow("position mode") << 3 << true << "100"
                                   << "M115";
    QTest::newRow("servo off") << 2 << false << "100"
                               << "M77";
    QTest::newRow("an odd step makes a fraction") << 2 << true << "101"
                                                  << "M84";
}

void StepResponseTest::runThatCannotStepWritesNothingAndSaysWhy() {
    QFETCH(int, operatingMode);
    QFETCH(bool, servoOn);
    QFETCH(QString, amplitude);
    QFETCH(QString, status);
    zrd::params::ParameterModel& model = m_fixture->program().model;
    const uint8_t mode = zrd::test::driveIndexOf(model, "OPMOD");
    const uint8_t iit = zrd::test::driveIndexOf(model, "IIT");
    const uint8_t trigger = zrd::test::driveIndexOf(model, "TRGTYP");
    uint16_t iitBefore = 0;
    uint16_t triggerBefore = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        d.setRaw(mode, uint16_t(operatingMode));
        if (!servoOn)
            QVERIFY(d.answer({zrd::link::kCmdServoOff, 0, 0, 0}));
        iitBefore = d.raw(iit);
        triggerBefore = d.raw(trigger);
    });
    zrd::app::TMainForm& form = m_fixture->form();
    form.Stepresponse1->trigger();
    TStepResponseForm& w = *form.StepResponse_Form;
    w.StepAmplitude->setText(amplitude);
    const size_t boxes = m_fixture->ui.boxes.size();
    w.StepRun->click();

    QVERIFY(!w.running());
    QVERIFY(w.StepRun->isEnabled());
    QCOMPARE(w.StepStatus->text(), status);
    // One box: the run's own, or the check's that refused it.
    QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
    QCOMPARE(QString::fromStdString(m_fixture->ui.boxes.back().text), status);
    QVERIFY(w.runs().empty());
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        QCOMPARE(d.raw(iit), iitBefore);
        QCOMPARE(d.raw(trigger), triggerBefore);
    });
    QVERIFY(!m_fixture->program().link.state().linkBusy);
}
