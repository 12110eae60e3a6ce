#include "tuning/ui/step_response_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "core/number_text.h"
#include "core/ui/run_time_text.h"
#include "core/ui/window_translator.h"
#include "params/message_numbers.h"
#include "scope/offline_capture.h"
#include "scope/oscillogram_file.h"
#include "scope/trace_view.h"
#include "scope/ui/scope_page_controls.h"
#include "session/parameter_edit.h"
#include "tuning/filter_design.h"
#include "tuning/ui/step_chart.h"

namespace zrd::tuning {
namespace {

namespace pm = zrd::params;
namespace sc = zrd::scope;

QString stepText(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr const char* kStepKpv = "KPV";
// The runs are named by this and their number.
constexpr const char* kStepRunPart = "Run ";
constexpr const char* kStepKiv = "KIV";
constexpr const char* kStepDefaultBase = "0";
constexpr const char* kStepFileStem = "step_run";
constexpr const char* kStepFiguresFile = "step_figures.csv";
constexpr int kStepFigureDecimals = 2;
constexpr int kStepFieldWidth = 90;

// The columns of the runs list.
enum StepRunColumn {
    kRunShown,
    kRunName,
    kRunKpv,
    kRunKiv,
    kRunFilters,
    kRunReference,
    kRunColumns
};
// The rows of the figures table.
constexpr const char* kStepFigureRows[] = {
    "KPV, mA/rpm",      "KIV, ms",           "Filters",           "Overshoot, %",
    "Rise 10-90 %, ms", "Settling ±2 %, ms", "Settling ±5 %, ms", "Steady-state error, rpm",
    "Peak current, A",  "Current limited"};

QString tickCaption(int code) {
    return stepText(formatGeneral(sc::offlineTick(code) * 1000) + " ms (" +
                    formatGeneral(sc::offlineFrequency(code)) + " Hz)");
}

QString figureText(double value) {
    return stepText(sc::fixedText(value, kStepFigureDecimals));
}

QString timeText(const std::optional<double>& ms) {
    return ms ? figureText(*ms) : QString("never");
}

QStringList figureColumn(const StepRunSummary& r) {
    const StepFigures& f = r.figures;
    return {stepText(formatGeneral(r.loop.kpv)),
            stepText(formatGeneral(r.loop.kiv)),
            stepText(filtersText(r.loop)),
            figureText(f.overshootPercent),
            timeText(f.riseMs),
            timeText(f.settling2Ms),
            timeText(f.settling5Ms),
            figureText(f.steadyErrorRpm),
            figureText(f.peakCurrentA),
            f.currentLimited ? "yes" : "no"};
}

QLineEdit* stepField(const char* name, const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setMaximumWidth(kStepFieldWidth);
    return edit;
}

QPushButton* stepButton(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter in a gain's field writes the gain; it must not start a run with the other one
    // still unwritten.
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TStepResponseForm::TStepResponseForm(const StepResponseParts& parts, QWidget* parent)
    : QDialog(parent),
      m_parts(parts),
      m_watch(new sc::PortWatch([this] { onPortReadable(); }, [this] { onDeadline(); }, this)) {
    setObjectName("StepResponse_Form");
    setWindowTitle(kStepResponseCaption);
    ui::setTextPart(this, kStepRunPart);
    buildLayout();
    chooseFolder = [this] { return QFileDialog::getExistingDirectory(this, "Export…"); };
    connect(StepRun, &QPushButton::clicked, this, &TStepResponseForm::StepRunClick);
    connect(StepCancel, &QPushButton::clicked, this, &TStepResponseForm::StepCancelClick);
    connect(StepKPV, &QLineEdit::returnPressed, this, &TStepResponseForm::StepKPVEnter);
    connect(StepKIV, &QLineEdit::returnPressed, this, &TStepResponseForm::StepKIVEnter);
    for (int slot = 1; slot <= kFilterSlots; ++slot)
        connect(StepFilter.at(static_cast<size_t>(slot - 1)), &QCheckBox::clicked, this,
                [this, slot] { StepFilterClick(slot); });
    connect(StepReference, &QPushButton::clicked, this, &TStepResponseForm::StepReferenceClick);
    connect(StepExport, &QPushButton::clicked, this, &TStepResponseForm::StepExportClick);
    connect(StepClose, &QPushButton::clicked, this, &QDialog::close);
    connect(StepRuns, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_showingRuns && item->column() == kRunShown)
            drawChecked();
    });
}

TStepResponseForm::~TStepResponseForm() = default;

void TStepResponseForm::buildLayout() {
    auto* root = new QHBoxLayout(this);
    auto* side = new QVBoxLayout;

    auto* step = new QGroupBox("Step", this);
    auto* stepForm = new QFormLayout(step);
    StepAmplitude = stepField("StepAmplitude", stepText(formatGeneral(kDefaultStepRpm)), step);
    StepBase = stepField("StepBase", kStepDefaultBase, step);
    StepTick = new QComboBox(step);
    StepTick->setObjectName("StepTick");
    for (int code = 0; code < sc::kOfflineTickCodes; ++code)
        StepTick->addItem(tickCaption(code), code);
    StepChannel4 = new QComboBox(step);
    StepChannel4->setObjectName("StepChannel4");
    stepForm->addRow("Amplitude, rpm", StepAmplitude);
    stepForm->addRow("Base speed, rpm", StepBase);
    stepForm->addRow("Tick", StepTick);
    stepForm->addRow("Channel 4", StepChannel4);
    side->addWidget(step);

    auto* loop = new QGroupBox("Speed loop", this);
    auto* loopForm = new QFormLayout(loop);
    StepKPV = stepField("StepKPV", {}, loop);
    StepKIV = stepField("StepKIV", {}, loop);
    loopForm->addRow("KPV, mA/rpm", StepKPV);
    loopForm->addRow("KIV, ms", StepKIV);
    auto* filters = new QHBoxLayout;
    for (int slot = 1; slot <= kFilterSlots; ++slot) {
        auto* box = new QCheckBox(QString("Filter %1").arg(slot), loop);
        box->setObjectName(QString("StepFilter%1").arg(slot));
        StepFilter.at(static_cast<size_t>(slot - 1)) = box;
        filters->addWidget(box);
    }
    loopForm->addRow(filters);
    side->addWidget(loop);

    auto* buttons = new QHBoxLayout;
    StepRun = stepButton("StepRun", "Run", this);
    StepCancel = stepButton("StepCancel", "Cancel", this);
    StepCancel->setEnabled(false);
    buttons->addWidget(StepRun);
    buttons->addWidget(StepCancel);
    side->addLayout(buttons);
    StepStatus = new QLineEdit(this);
    StepStatus->setObjectName("StepStatus");
    StepStatus->setReadOnly(true);
    StepStatus->setFocusPolicy(Qt::NoFocus);
    side->addWidget(StepStatus);

    StepRuns = new QTableWidget(0, kRunColumns, this);
    StepRuns->setObjectName("StepRuns");
    StepRuns->setHorizontalHeaderLabels({"Show", "Run", "KPV", "KIV", "Filters", "Reference"});
    StepRuns->setSelectionBehavior(QAbstractItemView::SelectRows);
    StepRuns->setSelectionMode(QAbstractItemView::SingleSelection);
    StepRuns->verticalHeader()->hide();
    StepRuns->horizontalHeader()->setStretchLastSection(true);
    side->addWidget(StepRuns, 1);
    auto* runButtons = new QHBoxLayout;
    StepReference = stepButton("StepReference", "Mark as reference", this);
    StepExport = stepButton("StepExport", "Export…", this);
    StepClose = stepButton("StepClose", "Close", this);
    for (QPushButton* b : {StepReference, StepExport, StepClose})
        runButtons->addWidget(b);
    side->addLayout(runButtons);
    root->addLayout(side);

    auto* right = new QVBoxLayout;
    Chart = new StepChart(this);
    right->addWidget(Chart, 2);
    StepFigures = new QTableWidget(static_cast<int>(std::size(kStepFigureRows)), 0, this);
    StepFigures->setObjectName("StepFigures");
    QStringList rows;
    for (const char* r : kStepFigureRows)
        rows << r;
    StepFigures->setVerticalHeaderLabels(rows);
    StepFigures->setEditTriggers(QAbstractItemView::NoEditTriggers);
    right->addWidget(StepFigures, 1);
    root->addLayout(right, 1);
}

QString TStepResponseForm::message(int n) const {
    return stepText(m_parts.messages.text(n, m_parts.model.language()));
}

void TStepResponseForm::showMessage(int n) {
    ui::showText(StepStatus, [this, n] { return message(n); });
}

QString TStepResponseForm::messageText(const StepMessage& m) const {
    const std::string& text = m_parts.messages.text(m.number, m_parts.model.language());
    return stepText(pm::withArguments(text, m.arguments) + m.appended);
}

void TStepResponseForm::showWindow() {
    fillChannels();
    if (!running())
        showLoopFromTable();
    show();
    raise();
    activateWindow();
}

void TStepResponseForm::fillChannels() {
    const int chosen = StepChannel4->currentData().toInt();
    StepChannel4->clear();
    StepChannel4->addItem("none", 0);
    const pm::ParameterModel& model = m_parts.model;
    for (int s = 1; s < model.scopeSignalCount(); ++s) {
        const std::string& name = model.scopeSignal(s).Pname;
        if (!name.empty())
            StepChannel4->addItem(stepText(name), s);
    }
    StepChannel4->setCurrentIndex(std::max(0, StepChannel4->findData(chosen)));
}

void TStepResponseForm::showLoopFromTable() {
    const pm::ParameterModel& model = m_parts.model;
    const auto show = [&](const char* mnemonic, QLineEdit* field) {
        if (const std::optional<int> p = model.find(mnemonic))
            field->setText(stepText(pm::valueText(model.value(*p))));
    };
    show(kStepKpv, StepKPV);
    show(kStepKiv, StepKIV);
    for (int slot = 1; slot <= kFilterSlots; ++slot) {
        const auto i = static_cast<size_t>(slot - 1);
        const std::optional<int> p = model.find(filterMnemonic(slot, FilterRole::Type));
        const int type = p ? static_cast<int>(model.value(*p)) : 0;
        if (type != 0)
            m_filterTypes.at(i) = type;
        StepFilter.at(i)->setChecked(type != 0);
        // A slot never designed has no type to switch on.
        StepFilter.at(i)->setEnabled(p && m_filterTypes.at(i) != 0);
    }
}

// ---- The loop's settings --------------------------------------------------------------------

void TStepResponseForm::writeTyped(const char* mnemonic, QLineEdit* field) {
    // A text that is no number ends here with the general error report, as in the edit dialog.
    const double value = session::parseDisplayValue(field->text().toStdString());
    const EnteredWrite written = writeEnteredValue(m_parts.link, m_parts.access, m_parts.model,
                                                   m_parts.typeTables, mnemonic, value);
    // A value the drive did not get stays in the field, to be entered again.
    if (written == EnteredWrite::OutsideLimits || written == EnteredWrite::Busy)
        field->selectAll();
    else
        showLoopFromTable();
}

void TStepResponseForm::StepKPVEnter() {
    writeTyped(kStepKpv, StepKPV);
}

void TStepResponseForm::StepKIVEnter() {
    writeTyped(kStepKiv, StepKIV);
}

void TStepResponseForm::StepFilterClick(int slot) {
    const auto i = static_cast<size_t>(slot - 1);
    const int type = StepFilter.at(i)->isChecked() ? m_filterTypes.at(i) : 0;
    (void)writeEnteredValue(m_parts.link, m_parts.access, m_parts.model, m_parts.typeTables,
                            filterMnemonic(slot, FilterRole::Type), type);
    showLoopFromTable();
}

// ---- The run --------------------------------------------------------------------------------

StepSettings TStepResponseForm::settingsShown() const {
    StepSettings s;
    s.amplitudeRpm = session::parseDisplayValue(StepAmplitude->text().toStdString());
    s.baseRpm = session::parseDisplayValue(StepBase->text().toStdString());
    s.tickCode = StepTick->currentData().toInt();
    s.fourthSignal = StepChannel4->currentData().toInt();
    return s;
}

void TStepResponseForm::StepRunClick() {
    if (running() || m_parts.link.state().connected == 0 || m_parts.link.state().linkBusy)
        return;
    const StepSettings settings = settingsShown();
    m_test =
        std::make_unique<StepTest>(m_parts.link, m_parts.access, m_parts.model, m_parts.messages);
    StepRun->setEnabled(false);
    StepCancel->setEnabled(true);
    showMessage(pm::kMsgWaitGenerator);
    if (!m_test->start(settings, sc::CaptureClock::now())) {
        showEnd();
        return;
    }
    m_watch->watch(m_parts.link.port().nativeHandle());
    afterRunWork();
}

void TStepResponseForm::StepCancelClick() {
    cancelRun();
}

void TStepResponseForm::cancelRun() {
    if (!running())
        return;
    m_test->cancel();
    afterRunWork();
}

void TStepResponseForm::onPortReadable() {
    if (!running())
        return;
    m_test->onReadable(sc::CaptureClock::now());
    afterRunWork();
}

void TStepResponseForm::onDeadline() {
    if (!running())
        return;
    m_test->checkDeadline(sc::CaptureClock::now());
    afterRunWork();
}

void TStepResponseForm::afterRunWork() {
    if (running()) {
        if (m_test->phase() == StepPhase::Reading)
            showMessage(pm::kMsgReadingRecord);
        armDeadline();
        return;
    }
    showEnd();
}

void TStepResponseForm::armDeadline() {
    using namespace std::chrono;
    const std::optional<sc::CaptureClock::time_point> due = m_test->deadline();
    if (!due) {
        m_watch->armDeadline(std::nullopt);
        return;
    }
    // One millisecond past the deadline, so that the check never comes early.
    const auto left = duration_cast<milliseconds>(*due - sc::CaptureClock::now()).count() + 1;
    m_watch->armDeadline(static_cast<int>(std::clamp<milliseconds::rep>(left, 1, INT32_MAX)));
}

void TStepResponseForm::showEnd() {
    m_watch->stop();
    StepRun->setEnabled(true);
    StepCancel->setEnabled(false);
    const StepOutcome& outcome = m_test->outcome();
    if (const std::optional<StepMessage> restore = restoreMessage(outcome))
        m_parts.messages.showText(m_parts.link.ui(), messageText(*restore).toStdString(),
                                  m_parts.model.language());
    if (outcome.figures) {
        showMessage(pm::kMsgRecordRead);
        addRun(outcome);
    } else if (const std::optional<StepMessage> failed = failureMessage(outcome)) {
        ui::showText(StepStatus, [this, m = *failed] { return messageText(m).trimmed(); });
        if (!failed->shown)
            m_parts.messages.showText(m_parts.link.ui(), messageText(*failed).toStdString(),
                                      m_parts.model.language());
    } else {
        StepStatus->clear();
    }
    showLoopFromTable();
}

void TStepResponseForm::addRun(const StepOutcome& outcome) {
    StepRunEntry run;
    run.summary.name = (ui::textPart(this) + QString::number(++m_runNumber)).toStdString();
    run.summary.loop = outcome.loop;
    run.summary.figures = *outcome.figures;
    run.record = std::make_shared<const sc::Oscillogram>(m_test->record());
    m_runs.push_back(std::move(run));
    showRuns();
}

void TStepResponseForm::showRuns() {
    m_showingRuns = true;
    const int previous = StepRuns->rowCount();
    StepRuns->setRowCount(static_cast<int>(m_runs.size()));
    for (int row = 0; row < StepRuns->rowCount(); ++row) {
        const StepRunSummary& r = m_runs.at(static_cast<size_t>(row)).summary;
        // A new run is shown at once; the others keep the user's choice.
        if (row >= previous) {
            auto* shown = new QTableWidgetItem;
            shown->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            shown->setCheckState(Qt::Checked);
            StepRuns->setItem(row, kRunShown, shown);
        }
        const auto cell = [&](int column, const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            StepRuns->setItem(row, column, item);
        };
        cell(kRunName, stepText(r.name));
        cell(kRunKpv, stepText(formatGeneral(r.loop.kpv)));
        cell(kRunKiv, stepText(formatGeneral(r.loop.kiv)));
        cell(kRunFilters, stepText(filtersText(r.loop)));
        cell(kRunReference, m_reference == static_cast<size_t>(row) ? "yes" : "");
    }
    m_showingRuns = false;
    showFigures();
    drawChecked();
}

void TStepResponseForm::showFigures() {
    StepFigures->setColumnCount(static_cast<int>(m_runs.size()));
    QStringList names;
    for (int column = 0; column < StepFigures->columnCount(); ++column) {
        const StepRunSummary& r = m_runs.at(static_cast<size_t>(column)).summary;
        names << stepText(r.name);
        const QStringList values = figureColumn(r);
        for (int row = 0; row < values.size(); ++row)
            StepFigures->setItem(row, column, new QTableWidgetItem(values.at(row)));
    }
    StepFigures->setHorizontalHeaderLabels(names);
}

void TStepResponseForm::drawChecked() {
    std::vector<StepTrace> traces;
    for (size_t i = 0; i < m_runs.size(); ++i) {
        const QTableWidgetItem* shown = StepRuns->item(static_cast<int>(i), kRunShown);
        if (!shown || shown->checkState() != Qt::Checked)
            continue;
        const sc::Oscillogram& r = *m_runs[i].record;
        StepTrace t;
        t.name = stepText(m_runs[i].summary.name);
        t.tickMs = r.header.tick * 1000;
        t.command = recordChannel(r, kStepCommandChannel);
        t.actual = recordChannel(r, kStepActualChannel);
        t.current = recordChannel(r, kStepCurrentChannel);
        t.reference = m_reference == i;
        traces.push_back(std::move(t));
    }
    Chart->setTraces(traces);
}

void TStepResponseForm::StepReferenceClick() {
    const int row = StepRuns->currentRow();
    if (row < 0 || row >= static_cast<int>(m_runs.size()))
        return;
    m_reference = static_cast<size_t>(row);
    showRuns();
}

void TStepResponseForm::StepExportClick() {
    if (m_runs.empty())
        return;
    const QString folder = chooseFolder();
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    std::vector<StepRunSummary> summaries;
    for (size_t i = 0; i < m_runs.size(); ++i) {
        const std::string path =
            dir.filePath(QString("%1%2.dat").arg(kStepFileStem).arg(i + 1)).toStdString();
        if (const sc::FileResult r =
                sc::writeOscillogramFile(path, *m_runs[i].record, m_parts.model);
            !r) {
            m_parts.messages.showText(m_parts.link.ui(), r.error, m_parts.model.language());
            return;
        }
        summaries.push_back(m_runs[i].summary);
    }
    const std::string csv = dir.filePath(kStepFiguresFile).toStdString();
    if (const sc::FileResult r = sc::writeFileBytes(csv, figuresCsv(summaries)); !r)
        m_parts.messages.showText(m_parts.link.ui(), r.error, m_parts.model.language());
}

void TStepResponseForm::closeEvent(QCloseEvent* event) {
    cancelRun();
    event->accept();
}

}  // namespace zrd::tuning
