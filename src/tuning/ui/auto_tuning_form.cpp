#include "tuning/ui/auto_tuning_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <complex>
#include <numbers>

#include "core/number_text.h"
#include "core/ui/run_time_text.h"
#include "scope/oscillogram_file.h"
#include "scope/trace_view.h"
#include "scope/ui/scope_page_controls.h"
#include "session/parameter_edit.h"
#include "tuning/bode_overlays.h"
#include "tuning/filter_design.h"
#include "tuning/tune_undo.h"
#include "tuning/ui/bode_chart.h"
#include "tuning/ui/step_chart.h"

namespace zrd::tuning {
namespace {

namespace sc = zrd::scope;

QString tuneText(const std::string& text) {
    return QString::fromStdString(text);
}

// Soft to stiff: wider margins give a calmer, slower loop. The middle one is the tuner's own.
constexpr std::array<StiffnessTargets, kStiffnessSteps> kStiffness = {{
    {60.0, 12.0},
    {52.0, 10.0},
    {kDefaultPhaseMarginDeg, kDefaultGainMarginDb},
    {40.0, 7.0},
    {35.0, 6.0},
}};
constexpr int kProgressSteps = 1000;
// The verification's checks, one a line.
constexpr int kCheckLines = 7;
constexpr int kTuneFieldWidth = 90;
// Wide enough for a notch's type, frequency and quality on one line.
constexpr int kLoopTableWidth = 420;
constexpr int kFigureDecimals = 1;
constexpr int kModelDecimals = 3;
constexpr const char* kAutoCrossoverHz = "100";
constexpr const char* kReportSuffix = ".html";
constexpr const char* kNoFigure = "-";
constexpr const char* kInfiniteMargin = "inf";

// The chart's model and filter curves on a grid of this many points.
constexpr int kCurvePoints = 400;
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
// Masked bins are drawn faint: they carry no weight in the fit.
constexpr int kMaskedAlpha = 60;
constexpr QRgb kPlantColour = 0x1F4E9A;
constexpr QRgb kModelColour = 0xD03030;
constexpr QRgb kBeforeColour = 0x808080;
constexpr QRgb kProposedColour = 0x108010;
constexpr QRgb kMeasuredColour = 0xE08000;
constexpr QRgb kFilterColour = 0x8030A0;

enum LoopColumn { kLoopBefore, kLoopProposed, kLoopColumns };
enum FigureColumn { kFigureBefore, kFigureProposed, kFigureMeasured, kFigureColumns };
constexpr const char* kFigureRows[] = {"Crossover, Hz", "Phase margin, °", "Gain margin, dB",
                                       "Bandwidth -3 dB, Hz", "Overshoot, %"};
enum ModeColumn { kModeAntiHz, kModeAntiDamping, kModeHz, kModeDamping, kModeColumns };

QString figure(const std::optional<double>& value, const char* missing = kNoFigure) {
    return value ? tuneText(sc::fixedText(*value, kFigureDecimals)) : QString(missing);
}

QString filterText(const TunedFilter& f) {
    return ui::translated("type %1, %2 Hz, Q %3")
        .arg(f.type)
        .arg(tuneText(sc::fixedText(f.hz, kFigureDecimals)), tuneText(sc::fixedText(f.q, 2)));
}

// A text of the tuner's: its fixed texts are in the window dictionary.
QString tunerText(const std::string& text) {
    return ui::translated(tuneText(text));
}

QLineEdit* tuneField(const char* name, const QString& text, QWidget* parent, bool readOnly) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setMaximumWidth(kTuneFieldWidth);
    if (readOnly) {
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
    }
    return edit;
}

QPushButton* tuneButton(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter in a field must not start a run that measures the drive.
    b->setAutoDefault(false);
    return b;
}

// A table as high as its header and `rows` rows, so that the window's layout does not squeeze
// it to a line or stretch it over empty space.
void fitRows(QTableWidget* t, int rows) {
    const int header = t->horizontalHeader()->sizeHint().height();
    const int row = t->verticalHeader()->defaultSectionSize();
    t->setFixedHeight(header + rows * row + 2 * t->frameWidth());
}

QTableWidget* tuneTable(const char* name, const QStringList& rows, const QStringList& columns,
                        QWidget* parent) {
    auto* t =
        new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), parent);
    t->setObjectName(name);
    t->setVerticalHeaderLabels(rows);
    t->setHorizontalHeaderLabels(columns);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    fitRows(t, static_cast<int>(rows.size()));
    return t;
}

void setCell(QTableWidget* t, int row, int column, const QString& text) {
    t->setItem(row, column, new QTableWidgetItem(text));
}

std::vector<double> logGrid(double fromHz, double toHz) {
    std::vector<double> hz;
    if (!(fromHz > 0.0) || !(toHz > fromHz))
        return hz;
    const double ratio = std::log(toHz / fromHz) / (kCurvePoints - 1);
    for (int i = 0; i < kCurvePoints; ++i)
        hz.push_back(fromHz * std::exp(ratio * i));
    return hz;
}

// The bins as chart points, each phase turned by whole turns to lie nearest the model's (or
// unwrapped along the bins without a model), so that the points sit on the model's curve.
std::pair<std::vector<ChartPoint>, std::vector<ChartPoint>> plantPoints(
    const PlantEstimate& estimate, const std::vector<ChartPoint>& model) {
    std::vector<double> hz;
    std::vector<std::complex<double>> response;
    for (const PlantBin& b : estimate.bins) {
        if (b.hz > 0.0) {
            hz.push_back(b.hz);
            response.push_back(b.response);
        }
    }
    std::vector<ChartPoint> points = openLoopChart(hz, response);
    std::pair<std::vector<ChartPoint>, std::vector<ChartPoint>> split;
    size_t i = 0;
    for (const PlantBin& b : estimate.bins) {
        if (!(b.hz > 0.0))
            continue;
        ChartPoint p = points.at(i++);
        if (const std::optional<ChartPoint> m = curveAt(model, p.frequency))
            p.phaseDeg += 360.0 * std::round((m->phaseDeg - p.phaseDeg) / 360.0);
        (b.coherent ? split.first : split.second).push_back(p);
    }
    return split;
}

// `name` in the readout, `legend` in the charts' legends (short: eleven share a line).
BodeCurve curve(const char* name, const char* legend, std::vector<ChartPoint> points, QRgb colour,
                bool dashed = false, bool dots = false, int alpha = 255) {
    BodeCurve c;
    c.name = ui::translated(name);
    c.magnitudeLegend = ui::translated(legend);
    c.phaseLegend = c.magnitudeLegend;
    c.points = std::move(points);
    QColor shade = QColor::fromRgb(colour);
    shade.setAlpha(alpha);
    c.magnitude = shade;
    c.phase = shade;
    c.dashed = dashed;
    c.dots = dots;
    return c;
}

// The margins of a loop as marks: the crossover at 0 dB and its phase, the gain margin below
// 0 dB where the phase passes −180°.
void addMargins(std::vector<BodeMark>& marks, const LoopMargins& m, const char* phase,
                const char* gain, QRgb colour) {
    const QColor c = QColor::fromRgb(colour);
    if (m.crossoverHz && m.phaseMarginDeg) {
        marks.push_back({ui::translated(phase), c, *m.crossoverHz, 0.0, false});
        marks.push_back(
            {ui::translated(phase), c, *m.crossoverHz, *m.phaseMarginDeg - 180.0, true});
    }
    if (m.phaseCrossoverHz && m.gainMarginDb) {
        marks.push_back({gain, c, *m.phaseCrossoverHz, -*m.gainMarginDb, false});
        marks.push_back({gain, c, *m.phaseCrossoverHz, -180.0, true});
    }
}

StepTrace trace(const char* name, const StepCurve& step) {
    // The record runs around the base speed, the prediction from standstill.
    const StepCurve c = changeFromStepStart(step);
    StepTrace t;
    t.name = ui::translated(name);
    t.tickMs = c.sampleS * 1000.0;
    t.command = c.commandRpm;
    t.actual = c.speedRpm;
    return t;
}

}  // namespace

StiffnessTargets stiffnessTargets(int position) {
    return kStiffness.at(static_cast<size_t>(std::clamp(position, 0, kStiffnessSteps - 1)));
}

TAutoTuningForm::TAutoTuningForm(const AutoTuningParts& parts, QWidget* parent)
    : QDialog(parent),
      m_parts(parts),
      m_watch(new sc::PortWatch([this] { onPortReadable(); }, [this] { onDeadline(); }, this)) {
    setObjectName("AutoTuning_Form");
    setWindowTitle(kAutoTuningCaption);
    buildLayout();
    // The result's lines, cells and curves in the language as it changes.
    ui::onLanguageChange(this, "result", [this] {
        if (m_shown)
            showResult();
    });
    chooseFile = [this] {
        return QFileDialog::getSaveFileName(this, "Save report...", {}, "HTML (*.html)");
    };
    connect(TuneStiffness, &QSlider::valueChanged, this, &TAutoTuningForm::TuneStiffnessChange);
    connect(TuneAutoCrossover, &QCheckBox::toggled, TuneCrossover,
            [this](bool automatic) { TuneCrossover->setEnabled(!automatic); });
    connect(TuneStart, &QPushButton::clicked, this, &TAutoTuningForm::TuneStartClick);
    connect(TuneCancel, &QPushButton::clicked, this, &TAutoTuningForm::TuneCancelClick);
    connect(TuneApply, &QPushButton::clicked, this, &TAutoTuningForm::TuneApplyClick);
    connect(TuneUndo, &QPushButton::clicked, this, &TAutoTuningForm::TuneUndoClick);
    connect(TuneReport, &QPushButton::clicked, this, &TAutoTuningForm::TuneReportClick);
    connect(TuneClose, &QPushButton::clicked, this, &QDialog::close);
    TuneStiffnessChange(TuneStiffness->value());
    enableButtons();
}

TAutoTuningForm::~TAutoTuningForm() = default;

void TAutoTuningForm::buildLayout() {
    auto* root = new QHBoxLayout(this);
    auto* side = new QVBoxLayout;

    auto* targets = new QGroupBox("Targets", this);
    auto* targetForm = new QFormLayout(targets);
    auto* stiffness = new QHBoxLayout;
    TuneStiffness = new QSlider(Qt::Horizontal, targets);
    TuneStiffness->setObjectName("TuneStiffness");
    TuneStiffness->setRange(0, kStiffnessSteps - 1);
    TuneStiffness->setPageStep(1);
    TuneStiffness->setTickPosition(QSlider::TicksBelow);
    TuneStiffness->setValue(kDefaultStiffness);
    stiffness->addWidget(new QLabel("soft", targets));
    stiffness->addWidget(TuneStiffness, 1);
    stiffness->addWidget(new QLabel("stiff", targets));
    targetForm->addRow(stiffness);
    TunePhaseMargin = tuneField("TunePhaseMargin", {}, targets, false);
    TuneGainMargin = tuneField("TuneGainMargin", {}, targets, false);
    targetForm->addRow("Phase margin, °", TunePhaseMargin);
    targetForm->addRow("Gain margin, dB", TuneGainMargin);
    auto* crossover = new QHBoxLayout;
    TuneAutoCrossover = new QCheckBox("auto", targets);
    TuneAutoCrossover->setObjectName("TuneAutoCrossover");
    TuneAutoCrossover->setChecked(true);
    TuneCrossover = tuneField("TuneCrossover", kAutoCrossoverHz, targets, false);
    TuneCrossover->setEnabled(false);
    crossover->addWidget(TuneAutoCrossover);
    crossover->addWidget(TuneCrossover);
    targetForm->addRow("Crossover, Hz", crossover);
    TuneFilters = new QSpinBox(targets);
    TuneFilters->setObjectName("TuneFilters");
    TuneFilters->setRange(0, kMaxModes);
    TuneFilters->setValue(kDefaultTuneFilters);
    targetForm->addRow("Notch filters", TuneFilters);
    TuneAmplitude = tuneField("TuneAmplitude", tuneText(formatGeneral(kDefaultTuneAmplitudeRpm)),
                              targets, false);
    targetForm->addRow("Max amplitude, rpm", TuneAmplitude);
    side->addWidget(targets);

    auto* run = new QHBoxLayout;
    TuneStart = tuneButton("TuneStart", "Start", this);
    TuneStart->setToolTip("Measures, fits and proposes; writes nothing of the tuning");
    TuneCancel = tuneButton("TuneCancel", "Cancel", this);
    run->addWidget(TuneStart);
    run->addWidget(TuneCancel);
    side->addLayout(run);
    TuneProgress = new QProgressBar(this);
    TuneProgress->setObjectName("TuneProgress");
    TuneProgress->setRange(0, kProgressSteps);
    TuneProgress->setValue(0);
    side->addWidget(TuneProgress);
    TuneStatus = tuneField("TuneStatus", {}, this, true);
    TuneStatus->setMaximumWidth(QWIDGETSIZE_MAX);
    side->addWidget(TuneStatus);

    auto* model = new QGroupBox("Model", this);
    auto* modelForm = new QFormLayout(model);
    TuneInertia = tuneField("TuneInertia", {}, model, true);
    TuneJratio = tuneField("TuneJratio", {}, model, true);
    TuneDamping = tuneField("TuneDamping", {}, model, true);
    TuneResidual = tuneField("TuneResidual", {}, model, true);
    modelForm->addRow("Inertia, kg·cm2", TuneInertia);
    modelForm->addRow("JRATIO, %", TuneJratio);
    modelForm->addRow("Viscous damping, N·cm/krpm", TuneDamping);
    modelForm->addRow("Fit residual, dB", TuneResidual);
    TuneModes =
        tuneTable("TuneModes", {},
                  {"Anti-resonance, Hz", "Damping ratio", "Resonance, Hz", "Damping ratio"}, model);
    fitRows(TuneModes, kMaxModes);
    TuneModes->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    modelForm->addRow(TuneModes);
    side->addWidget(model);

    QStringList loopRows = {"KPV, mA/rpm", "KIV, ms"};
    for (int slot = 1; slot <= kFilterSlots; ++slot)
        loopRows << QString("Filter %1").arg(slot);
    TuneLoop = tuneTable("TuneLoop", loopRows, {"Before", "Proposed"}, this);
    TuneLoop->setMinimumWidth(kLoopTableWidth);
    side->addWidget(TuneLoop);

    auto* buttons = new QHBoxLayout;
    TuneApply = tuneButton("TuneApply", "Apply", this);
    TuneApply->setToolTip("Measures again, writes the proposal and verifies it on the drive");
    TuneUndo = tuneButton("TuneUndo", "Undo", this);
    TuneUndo->setToolTip("Writes back the gains and filters from before Apply");
    TuneReport = tuneButton("TuneReport", "Save report...", this);
    TuneClose = tuneButton("TuneClose", "Close", this);
    for (QPushButton* b : {TuneApply, TuneUndo, TuneReport, TuneClose})
        buttons->addWidget(b);
    side->addLayout(buttons);
    root->addLayout(side);

    auto* right = new QVBoxLayout;
    auto* charts = new QTabWidget(this);
    charts->setObjectName("TuneCharts");
    Bode = new BodeChart(charts, "Magnitude", "Phase");
    Step = new StepChart(charts);
    Step->setObjectName("TuneStep");
    charts->addTab(Bode, "Bode");
    charts->addTab(Step, "Step");
    right->addWidget(charts, 1);
    QStringList figureRows;
    for (const char* r : kFigureRows)
        figureRows << r;
    TuneFigures = tuneTable("TuneFigures", figureRows, {"Before", "Proposed", "Measured"}, this);
    right->addWidget(TuneFigures);
    TuneChecks = new QListWidget(this);
    TuneChecks->setObjectName("TuneChecks");
    TuneChecks->setFixedHeight(TuneChecks->fontMetrics().height() * kCheckLines);
    right->addWidget(TuneChecks, 0);
    root->addLayout(right, 1);
}

QString TAutoTuningForm::messageText(const StepMessage& m) const {
    const std::string& text = m_parts.messages.text(m.number, m_parts.model.language());
    return tuneText(params::withArguments(text, m.arguments) + m.appended);
}

void TAutoTuningForm::say(const QString& text) const {
    m_parts.messages.showText(m_parts.link.ui(), text.toStdString(), m_parts.model.language());
}

void TAutoTuningForm::showWindow() {
    show();
    raise();
    activateWindow();
}

void TAutoTuningForm::TuneStiffnessChange(int position) {
    const StiffnessTargets t = stiffnessTargets(position);
    TunePhaseMargin->setText(tuneText(formatGeneral(t.phaseMarginDeg)));
    TuneGainMargin->setText(tuneText(formatGeneral(t.gainMarginDb)));
}

TuneSettings TAutoTuningForm::settingsShown(bool apply) const {
    // A text that is no number ends here with the general error report, as in the edit dialog.
    const auto number = [](const QLineEdit* field) {
        return session::parseDisplayValue(field->text().toStdString());
    };
    TuneSettings s;
    s.targets.phaseMarginDeg = number(TunePhaseMargin);
    s.targets.gainMarginDb = number(TuneGainMargin);
    if (!TuneAutoCrossover->isChecked())
        s.targets.crossoverHz = number(TuneCrossover);
    s.maxAmplitudeRpm = number(TuneAmplitude);
    s.maxFilters = TuneFilters->value();
    s.apply = apply;
    return s;
}

// ---- The run --------------------------------------------------------------------------------

void TAutoTuningForm::TuneStartClick() {
    startRun(false);
}

void TAutoTuningForm::TuneApplyClick() {
    if (m_proposed)
        startRun(true);
}

void TAutoTuningForm::startRun(bool apply) {
    if (running() || m_inTuner || m_parts.link.state().connected == 0 ||
        m_parts.link.state().linkBusy)
        return;
    const TuneSettings settings = settingsShown(apply);
    m_tuner = std::make_unique<SpeedLoopTuner>(m_parts.link, m_parts.access, m_parts.model,
                                               m_parts.messages, m_parts.typeTables);
    m_proposed = false;
    m_applying = apply;
    TuneChecks->clear();
    TuneProgress->setValue(0);
    bool started = false;
    callTuner([&] { started = m_tuner->start(settings, sc::CaptureClock::now()); });
    if (!started || !running()) {
        showEnd();
        return;
    }
    m_watch->watch(m_parts.link.port().nativeHandle());
    afterRunWork();
}

void TAutoTuningForm::callTuner(const std::function<void()>& work) {
    // The tuner's exchanges let the event loop run (a write's pause, a message box): the port's
    // bytes are theirs meanwhile, and a Cancel clicked then waits until the tuner is back.
    m_inTuner = true;
    m_watch->setPaused(true);
    enableButtons();
    work();
    if (m_cancelWanted && m_tuner->active())
        m_tuner->cancel();
    m_cancelWanted = false;
    m_watch->setPaused(false);
    m_inTuner = false;
}

void TAutoTuningForm::TuneCancelClick() {
    cancelRun();
}

void TAutoTuningForm::cancelRun() {
    if (!running())
        return;
    if (m_inTuner) {
        m_cancelWanted = true;
        return;
    }
    callTuner([this] { m_tuner->cancel(); });
    afterRunWork();
}

void TAutoTuningForm::onPortReadable() {
    if (!running() || m_inTuner)
        return;
    callTuner([this] { m_tuner->onReadable(sc::CaptureClock::now()); });
    afterRunWork();
}

void TAutoTuningForm::onDeadline() {
    // Within the tuner's own exchanges the deadline waits; afterRunWork arms it anew.
    if (!running() || m_inTuner)
        return;
    callTuner([this] { m_tuner->checkDeadline(sc::CaptureClock::now()); });
    afterRunWork();
}

void TAutoTuningForm::afterRunWork() {
    if (running()) {
        TuneProgress->setValue(static_cast<int>(std::lround(m_tuner->progress() * kProgressSteps)));
        ui::showText(TuneStatus, [this] { return tunerText(m_tuner->phaseText()); });
        armDeadline();
        enableButtons();
        return;
    }
    showEnd();
}

void TAutoTuningForm::armDeadline() {
    using namespace std::chrono;
    const std::optional<sc::CaptureClock::time_point> due = m_tuner->deadline();
    if (!due) {
        m_watch->armDeadline(std::nullopt);
        return;
    }
    // One millisecond past the deadline, so that the check never comes early.
    const auto left = duration_cast<milliseconds>(*due - sc::CaptureClock::now()).count() + 1;
    m_watch->armDeadline(static_cast<int>(std::clamp<milliseconds::rep>(left, 1, INT32_MAX)));
}

void TAutoTuningForm::showEnd() {
    m_watch->stop();
    TuneProgress->setValue(kProgressSteps);
    const TuneOutcome& outcome = m_tuner->outcome();
    const TuneResult& result = m_tuner->result();
    if (!result.notRestored.empty()) {
        StepOutcome restore;
        restore.notRestored = result.notRestored;
        if (const std::optional<StepMessage> m = restoreMessage(restore))
            say(messageText(*m));
    }
    const bool fitted = result.fit.status == FitStatus::Ok && result.fit.inertiaKgCm2 > 0.0;
    if (fitted)
        m_shown = result;
    if (result.applied)
        m_undo = Applied{result, m_tuner->backup()};
    // Apply follows a dry run: a second one would take the tuned values for those before.
    m_proposed = !m_applying && outcome.failure == TuneFailure::None && fitted;
    if (const std::optional<StepMessage> failed = tuneFailureMessage(outcome)) {
        ui::showText(TuneStatus, [this, m = *failed] { return messageText(m).trimmed(); });
        // A cancel is the user's own; a cause an exchange told already is not told twice.
        if (!failed->shown && outcome.failure != TuneFailure::Cancelled)
            say(messageText(*failed));
    } else if (outcome.failure != TuneFailure::None) {
        ui::showText(TuneStatus, [text = tuneFailureText(outcome)] { return tunerText(text); });
    } else {
        ui::showText(TuneStatus, [this] { return tunerText(m_tuner->phaseText()); });
    }
    if (fitted)
        showResult();
    enableButtons();
}

void TAutoTuningForm::enableButtons() {
    const bool busy = running() || m_inTuner;
    for (QWidget* w :
         std::initializer_list<QWidget*>{TuneStiffness, TunePhaseMargin, TuneGainMargin,
                                         TuneAutoCrossover, TuneFilters, TuneAmplitude})
        w->setEnabled(!busy);
    TuneCrossover->setEnabled(!busy && !TuneAutoCrossover->isChecked());
    TuneStart->setEnabled(!busy);
    TuneCancel->setEnabled(busy);
    TuneApply->setEnabled(!busy && m_proposed);
    TuneUndo->setEnabled(!busy && m_undo.has_value());
    TuneReport->setEnabled(!busy && m_shown.has_value());
}

// ---- What the run found ---------------------------------------------------------------------

void TAutoTuningForm::showResult() {
    const TuneResult& r = *m_shown;
    showModel(r);
    showLoop(r);
    showFigures(r);
    TuneChecks->clear();
    for (const VerifyCheck& c : r.checks)
        TuneChecks->addItem((c.passed ? "✓ " : "✗ ") + tunerText(c.name) + ": " +
                            tunerText(c.detail));
    drawBode(r);
    drawStep(r);
}

void TAutoTuningForm::showModel(const TuneResult& r) {
    const PlantFit& fit = r.fit;
    const auto fixed = [](double v, int decimals) { return tuneText(sc::fixedText(v, decimals)); };
    TuneInertia->setText(fixed(fit.inertiaKgCm2, kModelDecimals));
    TuneJratio->setText(fixed(fit.inertiaRatioPercent, kFigureDecimals));
    TuneDamping->setText(fixed(fit.viscousNcmPerKrpm, kModelDecimals));
    TuneResidual->setText(fixed(fit.residualDb, 2));
    const std::vector<PlantMode>& modes = fit.model.modes;
    TuneModes->setRowCount(static_cast<int>(modes.size()));
    for (int row = 0; row < TuneModes->rowCount(); ++row) {
        const PlantMode& m = modes.at(static_cast<size_t>(row));
        setCell(TuneModes, row, kModeAntiHz, fixed(m.antiResonanceHz, kFigureDecimals));
        setCell(TuneModes, row, kModeAntiDamping, fixed(m.antiResonanceDamping, kModelDecimals));
        setCell(TuneModes, row, kModeHz, fixed(m.resonanceHz, kFigureDecimals));
        setCell(TuneModes, row, kModeDamping, fixed(m.resonanceDamping, kModelDecimals));
    }
}

void TAutoTuningForm::showLoop(const TuneResult& r) {
    const std::array<const TunedLoop*, kLoopColumns> loops = {&r.before, &r.proposed};
    for (int column = 0; column < kLoopColumns; ++column) {
        const TunedLoop& l = *loops.at(static_cast<size_t>(column));
        setCell(TuneLoop, 0, column, tuneText(formatGeneral(l.kpvMaPerRpm)));
        setCell(TuneLoop, 1, column, tuneText(formatGeneral(l.kivMs)));
        for (int slot = 1; slot <= kFilterSlots; ++slot) {
            const auto f = std::find_if(l.filters.begin(), l.filters.end(),
                                        [slot](const TunedFilter& t) { return t.slot == slot; });
            setCell(TuneLoop, 1 + slot, column,
                    f == l.filters.end() || f->type == 0 ? QString(kNoFigure) : filterText(*f));
        }
    }
}

void TAutoTuningForm::showFigures(const TuneResult& r) {
    const LoopFigures before = loopFigures(r.predictedBefore);
    const std::array<std::optional<LoopFigures>, kFigureColumns> columns = {before, r.predicted,
                                                                            r.measured};
    for (int column = 0; column < kFigureColumns; ++column) {
        const std::optional<LoopFigures>& f = columns.at(static_cast<size_t>(column));
        const LoopFigures shown = f.value_or(LoopFigures{});
        // A loop whose phase never reaches −180° has an infinite gain margin.
        const bool infinite = f && f->crossoverHz && !f->gainMarginDb;
        const QStringList values = {
            figure(shown.crossoverHz), figure(shown.phaseMarginDeg),
            figure(shown.gainMarginDb, infinite ? kInfiniteMargin : kNoFigure),
            figure(shown.bandwidthHz), figure(shown.overshootPercent)};
        for (int row = 0; row < values.size(); ++row)
            setCell(TuneFigures, row, column, values.at(row));
    }
}

void TAutoTuningForm::drawBode(const TuneResult& r) {
    const PlantModel& plant = r.fit.model;
    double first = 0.0;
    double last = 0.0;
    for (const PlantBin& b : r.estimate.bins) {
        if (b.hz > 0.0 && (first == 0.0 || b.hz < first))
            first = b.hz;
        last = std::max(last, b.hz);
    }
    const std::vector<double> grid = logGrid(first, last);
    std::vector<std::complex<double>> modelResponse;
    std::vector<std::complex<double>> filterResponse;
    for (const double hz : grid) {
        modelResponse.push_back(plantResponse(plant, hz));
        std::complex<double> h = 1.0;
        for (const TunedFilter& f : r.proposed.filters) {
            FilterInputs in;
            in.type = static_cast<FilterType>(f.type);
            in.frequency = f.hz;
            in.quality = f.q;
            in.gainDb = f.gainDb;
            if (const std::optional<Biquad> q = designFilter(in))
                h *= biquadResponse(*q, hz);
        }
        filterResponse.push_back(h);
    }
    const std::vector<ChartPoint> model = openLoopChart(grid, modelResponse);
    auto [coherent, masked] = plantPoints(r.estimate, model);

    std::vector<BodeCurve> curves;
    curves.push_back(curve("plant, masked bins", "masked", std::move(masked), kPlantColour, false,
                           true, kMaskedAlpha));
    curves.push_back(
        curve("plant, measured", "plant", std::move(coherent), kPlantColour, false, true));
    curves.push_back(curve("model", "model", model, kModelColour));
    curves.push_back(
        curve("open loop before", "L before", r.predictedBefore.openLoop, kBeforeColour, true));
    curves.push_back(
        curve("open loop proposed", "L proposed", r.predictedProposed.openLoop, kProposedColour));
    if (!r.proposed.filters.empty()) {
        std::vector<ChartPoint> filters;
        for (size_t i = 0; i < grid.size(); ++i)
            filters.push_back({grid[i], 20.0 * std::log10(std::abs(filterResponse[i])),
                               std::arg(filterResponse[i]) * kDegreesPerRadian});
        curves.push_back(
            curve("filters proposed", "filters", std::move(filters), kFilterColour, true));
    }
    if (!r.measuredOpenLoop.empty())
        curves.push_back(curve("open loop measured", "L measured", r.measuredOpenLoop,
                               kMeasuredColour, false, true));
    std::vector<BodeMark> marks;
    addMargins(marks, r.predictedProposed.margins, "phase margin", "gain margin", kProposedColour);
    double from = first > 0.0 ? first : 1.0;
    double to = std::max(last, from);
    for (const BodeCurve& c : curves) {
        for (const ChartPoint& p : c.points) {
            if (p.frequency > 0.0) {
                from = std::min(from, p.frequency);
                to = std::max(to, p.frequency);
            }
        }
    }
    Bode->draw(std::move(curves), marks, true, from, to);
}

void TAutoTuningForm::drawStep(const TuneResult& r) {
    std::vector<StepTrace> traces;
    if (r.stepBefore)
        traces.push_back(trace("before, predicted", *r.stepBefore));
    if (r.stepProposed)
        traces.push_back(trace("proposed, predicted", *r.stepProposed));
    if (r.stepMeasured)
        traces.push_back(trace("measured", *r.stepMeasured));
    Step->setTraces(traces);
}

// ---- Undo and the report --------------------------------------------------------------------

void TAutoTuningForm::TuneUndoClick() {
    if (running() || m_inTuner || !m_undo)
        return;
    // The writes let the event loop run: a second click must not write the values again.
    TuneUndo->setEnabled(false);
    const std::vector<std::string> failed =
        undoTuning(m_parts.link, m_parts.access, m_parts.model, m_parts.typeTables, m_undo->result,
                   m_undo->backup);
    if (!failed.empty()) {
        StepOutcome restore;
        restore.notRestored = failed;
        if (const std::optional<StepMessage> m = restoreMessage(restore)) {
            ui::showText(TuneStatus, [this, m = *m] { return messageText(m).trimmed(); });
            say(messageText(*m));
        }
        enableButtons();
        return;
    }
    const TunedLoop& before = m_undo->result.before;
    TuneStatus->setText(tuneText("KPV " + formatGeneral(before.kpvMaPerRpm) + ", KIV " +
                                 formatGeneral(before.kivMs)));
    m_undo.reset();
    enableButtons();
}

void TAutoTuningForm::TuneReportClick() {
    if (!m_shown)
        return;
    QString path = chooseFile();
    if (path.isEmpty())
        return;
    if (!path.endsWith(kReportSuffix, Qt::CaseInsensitive))
        path += kReportSuffix;
    TuneReportInfo info = m_parts.reportInfo ? m_parts.reportInfo() : TuneReportInfo{};
    info.date = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm").toStdString();
    if (const sc::FileResult written =
            sc::writeFileBytes(path.toStdString(), tuneReportHtml(*m_shown, info));
        !written)
        say(tuneText(written.error));
}

void TAutoTuningForm::closeEvent(QCloseEvent* event) {
    cancelRun();
    event->accept();
}

}  // namespace zrd::tuning
