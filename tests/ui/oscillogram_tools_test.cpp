// The oscillogram file items and the frequency response against the program's own database.

#include "oscillogram_tools_test.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QLogValueAxis>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <string>

#include "core/number_text.h"
#include "params/message_numbers.h"
#include "scope/oscillogram_file_reader.h"
#include "scope/scope_settings.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/oscillogram_files.h"
#include "scope/ui/trace_viewer.h"
#include "scope/ui/trigger_panel.h"
#include "servo_plant.h"
#include "servo_plant_response.h"
#include "session/ui/control_area.h"
#include "tuning/biquad.h"
#include "tuning/filter_design.h"
#include "tuning/ui/afc_form.h"
#include "tuning/ui/bode_chart.h"
#include "tuning/ui/filter_form.h"
#include "tuning/ui/wave_form.h"

using namespace zrd::app;
namespace scope = zrd::scope;

namespace {

// A record value that three decimals keep exactly.
double sample(int record, int channel) {
    return std::round(1000.0 * 250.0 * std::sin(0.01 * record + channel)) / 1000.0;
}

// A chirp of the generator through the simulated plant, and what "AFR and PFR" is asked for.
struct Chirp {
    // The generator's fields: amplitude, offset, lowest and highest frequency, repeats.
    std::array<const char*, 5> fields;
    // Of the offline record's sample intervals (0: 0.25 ms, 1: 0.5 ms).
    int tick;
    const char* fmax;
};
// One sweep of 250 .. 800 Hz over the record of 2048 × 0.25 ms.
constexpr Chirp kResonanceChirp{{"300", "0", "250", "800", "1"}, 0, "1000"};
// One sweep of 5 .. 600 Hz over 2048 × 0.5 ms: the speed loop's band.
constexpr Chirp kLoopChirp{{"100", "0", "5", "600", "1"}, 1, "700"};

// The simulated drive without measurement noise, in speed mode on the internal source with the
// servo on; the chirp recorded offline from the generator's start as VSET and VACT; the offline
// viewer opened and the parameter window of "AFR and PFR" shown from it, with fmax typed.
void recordChirp(zrd::test::ProgramFixture& fixture, zrd::sim::SimServer& sim, const Chirp& c) {
    Program& program = fixture.program();
    TMainForm& form = fixture.form();
    QVERIFY2(sim.openPty(), sim.error().c_str());
    sim.withDrive([&](zrd::sim::SimDrive& d) {
        d.loadParameters(program.model);
        d.setNoise(0);
        d.setRaw(*d.indexOf("OPMOD"), 2);
        d.setRaw(*d.indexOf("INST"), 1);
    });
    sim.start();
    QCOMPARE(program.link.openPort(sim.devicePath(), 921600, 30), zrd::link::OpenResult::Ok);
    program.link.state().connected = 1;
    program.link.state().linkBusy = false;
    program.model.setValue(*program.model.find("INST"), 1);
    program.shell.operatingMode = 2;
    form.controls().SpeedButton1->setChecked(true);
    QVERIFY(program.link.sendCommand(zrd::link::kCmdServoOn) > 0);
    QCOMPARE(program.link.awaitAck(false), std::optional<uint8_t>(0));
    form.Timer5Timer();

    // The window shows the chirp's picture.
    for (const char* picture : {"sin.bmp", "cont.bmp", "varf.bmp"})
        fixture.writePicture(picture);
    zrd::tuning::TWave_Form& wave = *form.Wave_Form;
    fixture.ui.boxes.clear();
    wave.showModal();
    wave.SpeedButton3->click();
    const std::array<QLineEdit*, 5> fields = {wave.Edit1, wave.Edit2, wave.Edit3, wave.Edit4,
                                              wave.Edit5};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(c.fields[i]);
    wave.Button2->click();
    QVERIFY2(fixture.ui.boxes.empty(),
             fixture.ui.boxes.empty() ? "" : fixture.ui.boxes.back().text.c_str());

    scope::TOfflineScopePage& page = form.offlineScope();
    form.TabbedNotebook2->setCurrentIndex(kTabOscillOffline);
    form.TabbedNotebook2Click(kTabOscillOffline);
    const std::array<QComboBox*, 2> combos = {page.ComboBox2, page.ComboBox3};
    const std::array<const char*, 2> names = {"VSET", "VACT"};
    for (int ch = 1; ch <= 2; ++ch) {
        const auto i = static_cast<size_t>(ch - 1);
        combos[i]->setCurrentIndex(
            combos[i]->findData(scope::findScopeSignal(program.model, names[i]).value()));
        page.ComboBoxCloseUp(ch);
    }
    page.Freq_off.at(static_cast<size_t>(c.tick))->click();
    page.Trigger->trgpos->setText("0");
    page.Trigger->trgposExit();
    page.Trigger->RadioButton1->click();
    page.Button5->click();
    QTRY_VERIFY_WITH_TIMEOUT(page.waitingForGenerator(), kWaitMs);
    form.controls().SpeedButton3->click();
    QTRY_VERIFY_WITH_TIMEOUT(!page.listening(), kWaitMs);
    form.controls().SpeedButton7->click();

    page.Button2->click();
    QVERIFY(form.OscillOff->isVisible());
    form.OscillOff->Button3->click();
    zrd::tuning::TPar_AFC_Form& parameters = *form.Par_AFC_Form;
    QVERIFY(parameters.isVisible());
    QCOMPARE(parameters.Input[0]->text(), QString("1: VSET"));
    parameters.Edit1->setText(c.fmax);
}

// "OK" of the parameter window on these channels; the chart window then shows the response.
void measure(zrd::tuning::TPar_AFC_Form& parameters, int input, int output) {
    parameters.Input.at(static_cast<size_t>(input - 1))->setChecked(true);
    parameters.Output.at(static_cast<size_t>(output - 1))->setChecked(true);
    parameters.Button1->click();
}

// The response of two channels of the record, computed here as the core computes it.
zrd::tuning::FrequencyResponse responseOf(const scope::Oscillogram& o, int input, int output) {
    zrd::tuning::FrequencyResponse r;
    zrd::tuning::computeFrequencyResponse(o.buffer, input, output, o.header.tick, r);
    return r;
}

// Waits until the chart is laid out: a frequency maps to the view and back.
bool chartLaidOut(const zrd::tuning::BodeChart& bode, const QChartView* view, double hz) {
    const std::optional<double> back = bode.frequencyAt(view, bode.positionOf(view, hz));
    return back && std::abs(*back - hz) < 0.02 * hz;
}

// A mouse moved over the widget with no button held, as the window system reports it.
void moveMouse(QWidget* widget, QPoint at) {
    QWidget* top = widget->window();
    QTest::mouseMove(top->windowHandle(), widget->mapTo(top, at));
}

QLineSeries* seriesNamed(const QChartView* view, const QString& name) {
    for (QAbstractSeries* s : view->chart()->series()) {
        if (s->name() == name)
            return qobject_cast<QLineSeries*>(s);
    }
    return nullptr;
}

int lineCount(const std::string& path) {
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

}  // namespace

void OscillogramToolsTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped());
}

void OscillogramToolsTest::cleanup() {
    m_fixture->program().link.closePort();
    m_fixture.reset();
}

// Each kind saved by "Save oscillogram to file" and read back by "Reading oscillogram from
// file" with Yes to the parameters: records, channel names, the parameter table, the parameter
// source and the buttons of the kind.
void OscillogramToolsTest::savedFileReadsBackRecordsNamesAndParameters() {
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();
    scope::Oscillogram& o = *program.oscillogram;
    zrd::params::ParameterModel& model = program.model;
    const int saved = model.find("MDFRQ").value();
    struct Case {
        scope::ScopeKind kind;
        std::array<const char*, scope::kChannelCount> names;
        bool onlineView;
    };
    // Offline first: its file leaves the replay buttons hidden, the online one shows them.
    const std::array<Case, 2> cases{
        {{scope::ScopeKind::Offline, {"VSET", "IACT", "STA", "VACT"}, false},
         {scope::ScopeKind::Online, {"VSET", "VACT", "N", "N"}, true}}};
    for (const Case& c : cases) {
        const bool online = c.kind == scope::ScopeKind::Online;
        o.kind = c.kind;
        for (int ch = 1; ch <= scope::kChannelCount; ++ch)
            o.channel(ch).name = c.names.at(size_t(ch - 1));
        for (int r = 0; r < o.records(); ++r) {
            for (int ch = 1; ch <= scope::kChannelCount; ++ch)
                o.buffer.setValue(r, ch - 1, sample(r, ch));
        }
        model.setKnownValue(saved, 3);
        const std::string path = m_fixture->dir.file(online ? "online.dat" : "offline.dat");
        const size_t logLines = program.actionLog.lines().size();
        form.OscillogramFiles->save(path);
        QCOMPARE(program.actionLog.lines().size(), logLines + 1);
        QVERIFY(program.actionLog.lines().back().find(
                    program.message(zrd::params::kMsgLogSaveOscillogram)) != std::string::npos);

        // Everything the file holds is changed before it is read back.
        for (int r = 0; r < scope::kRecordCount; ++r) {
            for (int ch = 0; ch < scope::kChannelCount; ++ch)
                o.buffer.setValue(r, ch, 0.0);
        }
        for (int ch = 1; ch <= scope::kChannelCount; ++ch)
            o.channel(ch).name = "N";
        o.kind = online ? scope::ScopeKind::Offline : scope::ScopeKind::Online;
        model.setKnownValue(saved, 2);
        m_fixture->ui.yes = true;
        m_fixture->ui.questions.clear();
        form.OscillogramFiles->read(path);

        QCOMPARE(m_fixture->ui.questions.size(), size_t{1});
        QCOMPARE(m_fixture->ui.questions[0].text, program.message(scope::kMsgTakeOverParameters));
        QCOMPARE(o.kind, c.kind);
        for (int ch = 1; ch <= scope::kChannelCount; ++ch)
            QVERIFY2(o.channel(ch).name == c.names.at(size_t(ch - 1)),
                     (std::to_string(ch) + " " + o.channel(ch).name).c_str());
        for (int r = 0; r < o.records(); ++r) {
            for (int ch = 1; ch <= scope::kChannelCount; ++ch)
                QCOMPARE(o.buffer.value(r, ch - 1), sample(r, ch));
        }
        QCOMPARE(model.value(saved), 3.0);
        QCOMPARE(form.controls().show_state_par->text(), QString("OSC"));
        QVERIFY(form.N20->isEnabled());
        QCOMPARE(form.onlineScope().Button21->isEnabled(), c.onlineView);
        QCOMPARE(form.onlineScope().Replay_start->isVisibleTo(&form.onlineScope()), c.onlineView);
        QCOMPARE(form.offlineScope().Button2->isEnabled(), !c.onlineView);
    }
}

// The resonance chirp analysed in the chart window: the peak marker and the resonance list name
// the plant's resonance, the cursor reads each curve at the mouse on either chart, a dragged
// range zooms both charts and a double-click shows all again, and "Notch..." opens the filter
// calculator on a band-stop at the resonance.
void OscillogramToolsTest::chirpResponsePeaksAtTheSimulatedResonance() {
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();
    m_fixture->writePicture("Filter_BSF.bmp");
    zrd::sim::SimServer sim(921600);
    recordChirp(*m_fixture, sim, kResonanceChirp);
    if (QTest::currentTestFailed())
        return;
    zrd::tuning::TPar_AFC_Form& parameters = *form.Par_AFC_Form;
    measure(parameters, 1, 2);
    zrd::tuning::TAFC_Form& chart = *parameters.AFC_Form;
    QVERIFY(chart.isVisible());
    QVERIFY(chart.peak().has_value());
    QVERIFY2(std::abs(chart.peak()->frequency - zrd::sim::kDefaultResonanceHz) <= 15.0,
             qPrintable(QString::number(chart.peak()->frequency)));
    QCOMPARE(lineCount(m_fixture->dir.file("bode_m.csv")), zrd::tuning::kResponseBins);
    QCOMPARE(lineCount(m_fixture->dir.file("fft1.csv")), zrd::tuning::kFftSize);

    // The resonance list names the load's resonance, one line each, where the plant's own
    // closed loop peaks.
    const auto& found = chart.resonances();
    QCOMPARE(chart.ResonanceList->count(), static_cast<int>(found.size()));
    const double plantPeak = zrd::test::plantResonancePeakHz();
    const auto nearest = std::min_element(
        found.begin(), found.end(),
        [&](const zrd::tuning::Resonance& a, const zrd::tuning::Resonance& b) {
            return a.anti != b.anti
                       ? !a.anti
                       : std::abs(a.frequency - plantPeak) < std::abs(b.frequency - plantPeak);
        });
    QVERIFY(nearest != found.end() && !nearest->anti);
    QVERIFY2(std::abs(nearest->frequency - plantPeak) <= 0.03 * plantPeak,
             qPrintable(QString("%1 Hz, the plant's %2").arg(nearest->frequency).arg(plantPeak)));

    // The cursor at the mouse, on either chart: the same frequency drawn on both, and each
    // curve's value there as the core interpolates the response.
    zrd::tuning::BodeChart& bode = *chart.Bode;
    const zrd::tuning::FrequencyResponse response = responseOf(*program.oscillogram, 1, 2);
    const QString measured = QString::fromStdString(chart.overlays().overlays().at(0).name);
    QTRY_VERIFY_WITH_TIMEOUT(chartLaidOut(bode, chart.Chart1, 300.0), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(chartLaidOut(bode, chart.Chart2, 300.0), kWaitMs);
    struct Reading {
        QChartView* view;
        double hz;
    };
    for (const Reading& r : {Reading{chart.Chart1, 300.0}, Reading{chart.Chart2, 410.0},
                             Reading{chart.Chart1, plantPeak}, Reading{chart.Chart2, 777.0}}) {
        moveMouse(r.view->viewport(), bode.positionOf(r.view, r.hz));
        QTRY_VERIFY_WITH_TIMEOUT(
            bode.cursorFrequency() && std::abs(*bode.cursorFrequency() - r.hz) <= 0.02 * r.hz,
            kWaitMs);
        const std::optional<double> at = bode.cursorFrequency();
        for (const QChartView* view : {chart.Chart1, chart.Chart2}) {
            const std::optional<double> drawn = bode.drawnCursorFrequency(view);
            QVERIFY(drawn.has_value());
            QVERIFY2(std::abs(*drawn - *at) <= 1e-3 * *at, qPrintable(QString::number(*drawn)));
        }
        const std::optional<zrd::tuning::ChartPoint> expected =
            zrd::tuning::responseAt(response, *at);
        QVERIFY(expected.has_value());
        const QString text = bode.Readout->text();
        QCOMPARE(text.count(" dB, "), static_cast<int>(bode.curves().size()));
        const QRegularExpressionMatch shown =
            QRegularExpression("^([0-9.]+) Hz.*\\| " + QRegularExpression::escape(measured) +
                               ": (-?[0-9.]+) dB, (-?[0-9.]+) deg")
                .match(text);
        QVERIFY2(shown.hasMatch(), qPrintable(text));
        // The readout shows two decimals.
        constexpr double kShownHalfStep = 0.0051;
        QVERIFY2(std::abs(shown.captured(1).toDouble() - *at) <= kShownHalfStep, qPrintable(text));
        QVERIFY2(std::abs(shown.captured(2).toDouble() - expected->magnitudeDb) <= kShownHalfStep,
                 qPrintable(text));
        QVERIFY2(std::abs(shown.captured(3).toDouble() - expected->phaseDeg) <= kShownHalfStep,
                 qPrintable(text));
    }

    // A range dragged on the phase chart zooms both; a double-click shows the whole band again.
    const auto range = [](const QChartView* view) {
        const auto* x = qobject_cast<QLogValueAxis*>(view->chart()->axes(Qt::Horizontal).at(0));
        return std::pair{x->min(), x->max()};
    };
    const std::pair<double, double> whole = range(chart.Chart1);
    QTest::mousePress(chart.Chart2->viewport(), Qt::LeftButton, {},
                      bode.positionOf(chart.Chart2, 300.0));
    moveMouse(chart.Chart2->viewport(), bode.positionOf(chart.Chart2, 450.0));
    QTest::mouseRelease(chart.Chart2->viewport(), Qt::LeftButton, {},
                        bode.positionOf(chart.Chart2, 600.0));
    for (const QChartView* view : {chart.Chart1, chart.Chart2}) {
        const auto [from, to] = range(view);
        QVERIFY2(std::abs(from - 300.0) <= 6.0 && std::abs(to - 600.0) <= 12.0,
                 qPrintable(QString("%1 .. %2").arg(from).arg(to)));
    }
    QTest::mouseDClick(chart.Chart1->viewport(), Qt::LeftButton, {},
                       bode.positionOf(chart.Chart1, 400.0));
    for (const QChartView* view : {chart.Chart1, chart.Chart2})
        QCOMPARE(range(view), whole);

    // "Notch..." on the resonance: the calculator on a band-stop there, the rest as it starts,
    // and its design takes the resonance down.
    chart.ResonanceList->setCurrentRow(static_cast<int>(nearest - found.begin()));
    QVERIFY(chart.Notch->isEnabled());
    chart.Notch->click();
    zrd::tuning::TFilter_Form& filter = *form.Filter_Form;
    QTRY_VERIFY_WITH_TIMEOUT(filter.isVisible(), kWaitMs);
    QVERIFY(filter.RadioType[size_t(zrd::tuning::FilterType::BandStop)]->isChecked());
    const auto field = [](const QLineEdit* e) {
        return zrd::parseNumber(e->text().toStdString()).value_or(-1.0);
    };
    QCOMPARE(field(filter.Edit1), nearest->frequency);
    QCOMPARE(field(filter.Edit2), zrd::tuning::kDefaultFilterQuality);
    QCOMPARE(field(filter.Edit3), zrd::tuning::kDefaultFilterGainDb);
    filter.Button5->click();
    QVERIFY(filter.calculation().has_value());
    constexpr double kNotchDepthDb = -20.0;
    QVERIFY(20 * std::log10(std::abs(zrd::tuning::biquadResponse(filter.calculation()->quantised,
                                                                 nearest->frequency))) <
            kNotchDepthDb);
    filter.Button1->click();
    parameters.Button2->click();
    QVERIFY(!chart.isVisible());
    form.OscillOff->Button2->click();
}

// Two responses of one loop chirp, the speed over its command and the command over the speed:
// both are kept, the first as reference, and with "Difference to reference" each chart draws
// the second minus the first at every bin. "Save..." and "Add file..." bring a response back
// as it was; a broken file is refused with its reason and the list stays.
void OscillogramToolsTest::overlaysDrawTheirDifferenceToTheReference() {
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();
    zrd::sim::SimServer sim(921600);
    recordChirp(*m_fixture, sim, kLoopChirp);
    if (QTest::currentTestFailed())
        return;
    zrd::tuning::TPar_AFC_Form& parameters = *form.Par_AFC_Form;
    measure(parameters, 1, 2);
    measure(parameters, 2, 1);
    zrd::tuning::TAFC_Form& chart = *parameters.AFC_Form;
    const zrd::tuning::OverlayList& overlays = chart.overlays();
    QCOMPARE(overlays.overlays().size(), size_t{2});
    QCOMPARE(chart.Overlays->count(), 2);
    QCOMPARE(overlays.reference(), std::optional<size_t>(0));
    QVERIFY(chart.Overlays->item(0)->text().endsWith("(reference)"));
    QVERIFY(overlays.overlays()[0].magnitudeRgb != overlays.overlays()[1].magnitudeRgb);

    chart.Difference->setChecked(true);
    const zrd::tuning::FrequencyResponse reference = responseOf(*program.oscillogram, 1, 2);
    const zrd::tuning::FrequencyResponse second = responseOf(*program.oscillogram, 2, 1);
    const double fmax = zrd::parseNumber(kLoopChirp.fmax).value();
    const QString name = QString::fromStdString(overlays.overlays()[1].name) + " - reference, ";
    struct Drawn {
        QChartView* view;
        const char* unit;
        const std::array<double, zrd::tuning::kResponseBins> zrd::tuning::FrequencyResponse::*
            values;
    };
    for (const Drawn& d : {Drawn{chart.Chart1, "dB", &zrd::tuning::FrequencyResponse::magnitudeDb},
                           Drawn{chart.Chart2, "deg", &zrd::tuning::FrequencyResponse::phaseDeg}}) {
        const QLineSeries* drawn = seriesNamed(d.view, name + d.unit);
        QVERIFY2(drawn, qPrintable(name + d.unit));
        // Bins 1 .. the last charted: a logarithmic axis has no place for 0 Hz.
        QCOMPARE(drawn->count(), zrd::tuning::lastChartBin(reference, fmax));
        for (const QPointF& p : drawn->points()) {
            const auto bin = static_cast<size_t>(std::lround(p.x() / reference.df));
            QCOMPARE(p.y(), (second.*d.values).at(bin) - (reference.*d.values).at(bin));
        }
    }

    // The second response saved and read back is the same curve; a broken file changes nothing.
    const QString saved = QString::fromStdString(m_fixture->dir.file("second.csv"));
    QVERIFY(chart.saveCurrent(saved));
    QVERIFY(chart.addFile(saved));
    QCOMPARE(overlays.overlays().size(), size_t{3});
    const auto& kept = overlays.overlays()[1].points;
    const auto& back = overlays.overlays()[2].points;
    QCOMPARE(back.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        QCOMPARE(back[i].frequency, kept[i].frequency);
        QCOMPARE(back[i].magnitudeDb, kept[i].magnitudeDb);
        QCOMPARE(back[i].phaseDeg, kept[i].phaseDeg);
    }
    m_fixture->dir.write("broken.csv", "1,2,3\r\n2,3\r\n");
    m_fixture->ui.boxes.clear();
    QVERIFY(!chart.addFile(QString::fromStdString(m_fixture->dir.file("broken.csv"))));
    QCOMPARE(m_fixture->ui.boxes.size(), size_t{1});
    QVERIFY2(m_fixture->ui.boxes[0].text.find("broken.csv: line 2") != std::string::npos,
             m_fixture->ui.boxes[0].text.c_str());
    QCOMPARE(chart.Overlays->count(), 3);
    parameters.Button2->click();
    form.OscillOff->Button2->click();
}

// The loop chirp's speed over its command read as a closed loop: "Open loop from closed loop"
// shows L = T / (1 - T) with its crossover, phase margin and gain margin where the simulated
// plant has them (the plant's phase stays above -180 degrees over the chirp's band: "inf").
void OscillogramToolsTest::openLoopShowsThePlantsMargins() {
    TMainForm& form = m_fixture->form();
    zrd::sim::SimServer sim(921600);
    recordChirp(*m_fixture, sim, kLoopChirp);
    if (QTest::currentTestFailed())
        return;
    zrd::tuning::TPar_AFC_Form& parameters = *form.Par_AFC_Form;
    measure(parameters, 1, 2);
    zrd::tuning::TAFC_Form& chart = *parameters.AFC_Form;
    chart.OpenLoop->setChecked(true);
    const QString text = chart.MarginsLabel->text();
    const QRegularExpressionMatch m =
        QRegularExpression(
            "^Open loop: (crossover ([0-9.]+) Hz, phase margin (-?[0-9.]+) deg, "
            "gain margin (\\S+) dB)$")
            .match(text);
    QVERIFY2(m.hasMatch(), qPrintable(text));
    const zrd::test::PlantMargins plant = zrd::test::plantMargins();
    QVERIFY2(std::abs(m.captured(2).toDouble() - plant.crossoverHz) <= 0.05 * plant.crossoverHz,
             qPrintable(QString("%1; the plant's %2 Hz").arg(text).arg(plant.crossoverHz)));
    QVERIFY2(std::abs(m.captured(3).toDouble() - plant.phaseMarginDeg) <= 5.0,
             qPrintable(QString("%1; the plant's %2 deg").arg(text).arg(plant.phaseMarginDeg)));
    const double chirpTopHz = zrd::parseNumber(kLoopChirp.fields[3]).value();
    const std::optional<double> gainMargin =
        zrd::test::plantGainMarginDb(plant.crossoverHz, chirpTopHz);
    if (gainMargin)
        QVERIFY2(std::abs(m.captured(4).toDouble() - *gainMargin) <= 2.0, qPrintable(text));
    else
        QCOMPARE(m.captured(4), QString("inf"));
    // The crossover is marked on the magnitude chart under that name, at 0 dB.
    const auto marks = chart.Chart1->chart()->series();
    const auto mark = std::find_if(marks.begin(), marks.end(), [&](const QAbstractSeries* s) {
        return s->name() == m.captured(1);
    });
    QVERIFY(mark != marks.end());
    const auto* point = qobject_cast<QScatterSeries*>(*mark);
    QVERIFY(point && point->count() == 1);
    QCOMPARE(point->at(0).y(), 0.0);
    QVERIFY(std::abs(point->at(0).x() - m.captured(2).toDouble()) <= 0.05);
    parameters.Button2->click();
    form.OscillOff->Button2->click();
}
