#include "tuning/ui/afc_form.h"

#include "core/ui/run_time_text.h"
#include "params/message_numbers.h"

#include <QButtonGroup>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>
#include <vector>

namespace zrd::tuning {
namespace {

struct NamedColour {
    const char* name;
    QRgb rgb;
};
constexpr std::array<NamedColour, 8> kCurveColours{{{"Red", 0xFFFF0000},
                                                    {"Blue", 0xFF0000FF},
                                                    {"Green", 0xFF008000},
                                                    {"Black", 0xFF000000},
                                                    {"Fuchsia", 0xFFFF00FF},
                                                    {"Teal", 0xFF008080},
                                                    {"Maroon", 0xFF800000},
                                                    {"Navy", 0xFF000080}}};
constexpr int kDefaultMagnitudeColour = 0;
constexpr int kDefaultPhaseColour = 1;
constexpr QRgb kPeakColour = 0xFFFF8000;
// Lines the resonance list shows before it scrolls.
constexpr int kResonanceRows = 6;
constexpr QRgb kCutoffColour = 0xFF008000;
constexpr QRgb kOpenLoopColour = 0xFF800080;
constexpr QRgb kCrossoverColour = 0xFFC00000;
constexpr QRgb kPhaseCrossoverColour = 0xFF0060C0;
constexpr QRgb kRgbMask = 0x00FFFFFF;
constexpr double kHalfTurnDeg = 180.0;
constexpr int kMarginDecimals = 1;
constexpr int kSwatchSize = 14;
constexpr int kAfcWidth = 1000;
constexpr int kAfcHeight = 820;
// What a chart without curves spans.
constexpr double kEmptySpanFrom = 1.0;
constexpr double kEmptySpanTo = 10.0;
constexpr const char* kResponseFileFilter = "Response files (*.csv);;All files (*)";

QComboBox* colourBox(const char* name, int preset, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const NamedColour& c : kCurveColours)
        box->addItem(c.name, QVariant::fromValue(c.rgb));
    box->setCurrentIndex(preset);
    return box;
}

void fillShape(QFrame* shape, const QComboBox* box) {
    shape->setStyleSheet(QString("background-color: %1; border: 1px solid black;")
                             .arg(QColor::fromRgb(box->currentData().value<QRgb>()).name()));
}

QIcon swatch(uint32_t magnitudeRgb, uint32_t phaseRgb) {
    QPixmap square(kSwatchSize, kSwatchSize);
    QPainter painter(&square);
    painter.fillRect(0, 0, kSwatchSize / 2, kSwatchSize, QColor::fromRgb(magnitudeRgb));
    painter.fillRect(kSwatchSize / 2, 0, kSwatchSize - kSwatchSize / 2, kSwatchSize,
                     QColor::fromRgb(phaseRgb));
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, kSwatchSize - 1, kSwatchSize - 1);
    return QIcon(square);
}

QString numberWithDecimal(double v) {
    return QString::number(v, 'f', kMarginDecimals);
}

// "crossover F Hz, phase margin P deg, gain margin G dB"; G "inf" when the phase never falls
// through -180 degrees past the crossover.
QString marginsText(const LoopMargins& m) {
    if (!m.crossoverHz || !m.phaseMarginDeg)
        return ui::translated("no crossover within the excited band");
    return ui::translated("crossover %1 Hz, phase margin %2 deg, gain margin %3 dB")
        .arg(numberWithDecimal(*m.crossoverHz), numberWithDecimal(*m.phaseMarginDeg),
             m.gainMarginDb ? numberWithDecimal(*m.gainMarginDb) : QString("inf"));
}

// The frequencies the curves span (for a logarithmic axis from the first above 0 Hz).
std::pair<double, double> curvesSpan(const std::vector<BodeCurve>& curves, bool logarithmic) {
    std::optional<std::pair<double, double>> span;
    for (const BodeCurve& c : curves) {
        for (const ChartPoint& p : c.points) {
            if (logarithmic && p.frequency <= 0)
                continue;
            span = span ? std::pair{std::min(span->first, p.frequency),
                                    std::max(span->second, p.frequency)}
                        : std::pair{p.frequency, p.frequency};
        }
    }
    return span.value_or(std::pair{kEmptySpanFrom, kEmptySpanTo});
}

}  // namespace

TAFC_Form::TAFC_Form(const AfcParts& parts, QWidget* parent) : QDialog(parent), m_parts(parts) {
    setObjectName("AFC_Form");
    setWindowTitle(kAfcCaption);
    setWindowModality(Qt::ApplicationModal);
    auto* root = new QVBoxLayout(this);
    Bode = new BodeChart(this);
    Chart1 = Bode->magnitudeView();
    Chart1->setObjectName("Chart1");
    Chart2 = Bode->phaseView();
    Chart2->setObjectName("Chart2");
    PrintMagnitude = new QPushButton("Print", this);
    PrintMagnitude->setObjectName("PrintMagnitude");
    PrintPhase = new QPushButton("Print", this);
    PrintPhase->setObjectName("PrintPhase");
    Bode->setBeside(PrintMagnitude, PrintPhase);
    root->addWidget(Bode, 1);
    ui::onLanguageChange(this, "curves", [this] { showInLanguage(); });

    const auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    auto* lists = new QHBoxLayout;
    auto* resonances = new QGroupBox("Resonances", this);
    auto* resonanceRow = new QHBoxLayout(resonances);
    ResonanceList = new QListWidget(resonances);
    ResonanceList->setObjectName("ResonanceList");
    ResonanceList->setMaximumHeight(ResonanceList->fontMetrics().height() * kResonanceRows);
    Notch = button("Notch", "Notch...");
    Notch->setToolTip("The filter calculator with a band-stop at the selected resonance");
    Notch->setEnabled(false);
    Notch->setVisible(static_cast<bool>(m_parts.notch));
    AutoTuning = button("AutoTuning", "Auto tuning...");
    AutoTuning->setToolTip("Measures the plant and proposes the gains and notches");
    AutoTuning->setVisible(static_cast<bool>(m_parts.autoTuning));
    resonanceRow->addWidget(ResonanceList, 1);
    auto* resonanceButtons = new QVBoxLayout;
    resonanceButtons->addWidget(Notch);
    resonanceButtons->addWidget(AutoTuning);
    resonanceButtons->addStretch();
    resonanceRow->addLayout(resonanceButtons);
    // A resonance line (kind, frequency, magnitude, damping) is read whole.
    lists->addWidget(resonances, 3);

    auto* overlays = new QGroupBox("Overlays", this);
    auto* overlayRow = new QHBoxLayout(overlays);
    Overlays = new QListWidget(overlays);
    Overlays->setObjectName("Overlays");
    Overlays->setMaximumHeight(Overlays->fontMetrics().height() * kResonanceRows);
    auto* overlayButtons = new QVBoxLayout;
    AddFile = button("AddFile", "Add file...");
    SaveResponse = button("SaveResponse", "Save...");
    MakeReference = button("MakeReference", "Reference");
    MakeReference->setToolTip("The selected response becomes the reference");
    RemoveOverlay = button("RemoveOverlay", "Remove");
    for (QPushButton* b : {AddFile, SaveResponse, MakeReference, RemoveOverlay})
        overlayButtons->addWidget(b);
    overlayButtons->addStretch();
    auto* options = new QVBoxLayout;
    Difference = new QCheckBox("Difference to reference", overlays);
    Difference->setObjectName("Difference");
    OpenLoop = new QCheckBox("Open loop from closed loop", overlays);
    OpenLoop->setObjectName("OpenLoop");
    OpenLoop->setToolTip(
        "Reads the current response as a closed speed loop T (speed command to "
        "actual speed) and shows the open loop T / (1 - T)");
    MarginsLabel = new QLabel(overlays);
    MarginsLabel->setObjectName("MarginsLabel");
    MarginsLabel->setWordWrap(true);
    options->addWidget(Difference);
    options->addWidget(OpenLoop);
    options->addWidget(MarginsLabel);
    options->addStretch();
    overlayRow->addWidget(Overlays, 1);
    overlayRow->addLayout(overlayButtons);
    overlayRow->addLayout(options, 1);
    lists->addWidget(overlays, 4);
    root->addLayout(lists);

    connect(PrintMagnitude, &QPushButton::clicked, this, &TAFC_Form::PrintMagnitudeClick);
    connect(PrintPhase, &QPushButton::clicked, this, &TAFC_Form::PrintPhaseClick);
    connect(Notch, &QPushButton::clicked, this, &TAFC_Form::NotchClick);
    connect(AutoTuning, &QPushButton::clicked, this, &TAFC_Form::AutoTuningClick);
    connect(AddFile, &QPushButton::clicked, this, &TAFC_Form::AddFileClick);
    connect(SaveResponse, &QPushButton::clicked, this, &TAFC_Form::SaveResponseClick);
    connect(MakeReference, &QPushButton::clicked, this, &TAFC_Form::MakeReferenceClick);
    connect(RemoveOverlay, &QPushButton::clicked, this, &TAFC_Form::RemoveOverlayClick);
    connect(ResonanceList, &QListWidget::currentRowChanged, this, [this](int row) {
        Notch->setEnabled(row >= 0 && static_cast<size_t>(row) < m_resonances.size() &&
                          !m_resonances[static_cast<size_t>(row)].anti);
    });
    connect(Overlays, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        m_overlays.setVisible(static_cast<size_t>(Overlays->row(item)),
                              item->checkState() == Qt::Checked);
        redraw();
    });
    connect(Overlays, &QListWidget::currentRowChanged, this, [this] { currentChanged(); });
    connect(Difference, &QCheckBox::toggled, this, [this] { redraw(); });
    connect(OpenLoop, &QCheckBox::toggled, this, [this] { redraw(); });
    resize(kAfcWidth, kAfcHeight);
}

void TAFC_Form::showResponse(const FrequencyResponse& response, double fmax, const Style& style,
                             const QString& name) {
    ++m_measurements;
    const QString title =
        QString("%1: %2").arg(m_measurements).arg(name.isEmpty() ? QString("Measurement") : name);
    Overlay o = measuredOverlay(title.toStdString(), response, fmax);
    o.magnitudeRgb = style.magnitude.rgb() & kRgbMask;
    o.phaseRgb = style.phase.rgb() & kRgbMask;
    m_logarithmic = style.logarithmic;
    std::vector<double> frequencies;
    for (const ChartPoint& p : o.points) {
        if (!style.logarithmic || p.frequency > 0)
            frequencies.push_back(p.frequency);
    }
    m_filter = filterOverlay(m_parts.model, frequencies);
    m_filterShown = m_filter.has_value();
    addOverlay(std::move(o));
}

void TAFC_Form::addOverlay(Overlay overlay) {
    const size_t added = m_overlays.add(std::move(overlay));
    listOverlays();
    {
        const QSignalBlocker quiet(Overlays);
        Overlays->setCurrentRow(static_cast<int>(added));
    }
    // The new line is the current response.
    currentChanged();
}

std::optional<size_t> TAFC_Form::current() const {
    if (m_overlays.empty())
        return std::nullopt;
    const int row = Overlays->currentRow();
    return row >= 0 && static_cast<size_t>(row) < m_overlays.overlays().size()
               ? static_cast<size_t>(row)
               : m_overlays.overlays().size() - 1;
}

void TAFC_Form::listOverlays() {
    const QSignalBlocker quiet(Overlays);
    const int row = Overlays->currentRow();
    Overlays->clear();
    const std::vector<Overlay>& all = m_overlays.overlays();
    for (size_t i = 0; i < all.size(); ++i) {
        const Overlay& o = all[i];
        QString text = QString::fromStdString(o.name);
        if (m_overlays.reference() == i)
            text = ui::translated("%1 (reference)").arg(text);
        auto* item = new QListWidgetItem(swatch(o.magnitudeRgb, o.phaseRgb), text, Overlays);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(o.visible ? Qt::Checked : Qt::Unchecked);
    }
    Overlays->setCurrentRow(std::min(row, Overlays->count() - 1));
}

void TAFC_Form::currentChanged() {
    const std::optional<size_t> at = current();
    const Overlay* o = at ? &m_overlays.overlays().at(*at) : nullptr;
    m_peak = o ? o->peak : std::nullopt;
    m_cutoff = o ? o->cutoff : std::nullopt;
    m_resonances = o ? o->resonances : std::vector<Resonance>{};
    listResonances();
    redraw();
}

void TAFC_Form::listResonances() {
    ResonanceList->clear();
    for (const Resonance& r : m_resonances)
        ResonanceList->addItem(resonanceLine(r));
    Notch->setEnabled(false);
}

QString TAFC_Form::resonanceLine(const Resonance& r) {
    QString line = ui::translated(r.anti ? "Anti-resonance %1 Hz, %2 dB" : "Resonance %1 Hz, %2 dB")
                       .arg(r.frequency, 0, 'f', 1)
                       .arg(r.magnitudeDb, 0, 'f', 1);
    if (r.damping)
        line += ", " + ui::translated("damping %1").arg(*r.damping, 0, 'f', 3);
    return line;
}

void TAFC_Form::showInLanguage() {
    // The lists keep their rows and choice; only their lines are said anew.
    listOverlays();
    for (int row = 0; row < ResonanceList->count(); ++row) {
        if (static_cast<size_t>(row) < m_resonances.size())
            ResonanceList->item(row)->setText(
                resonanceLine(m_resonances[static_cast<size_t>(row)]));
    }
    redraw();
}

void TAFC_Form::redraw() {
    const bool difference = Difference->isChecked() && m_overlays.reference().has_value();
    const std::vector<ShownCurve> shown = m_overlays.shownCurves(difference);
    const std::optional<size_t> at = current();
    std::vector<BodeCurve> curves;
    std::vector<BodeMark> marks;
    // One response alone keeps the chart's own legend.
    const bool alone = shown.size() == 1 && !difference;
    for (const ShownCurve& s : shown) {
        const Overlay& o = m_overlays.overlays().at(s.overlay);
        const QString name =
            difference ? ui::translated("%1 - reference").arg(QString::fromStdString(o.name))
                       : QString::fromStdString(o.name);
        curves.push_back({name, alone ? ui::translated("AFR, dB") : name + ", dB",
                          alone ? ui::translated("PFR, deg") : name + ", " + ui::translated("deg"),
                          s.points, QColor::fromRgb(o.magnitudeRgb), QColor::fromRgb(o.phaseRgb),
                          false});
    }
    const bool currentShown =
        at && std::any_of(shown.begin(), shown.end(),
                          [&](const ShownCurve& s) { return s.overlay == *at; });
    if (!difference && currentShown) {
        const Overlay& o = m_overlays.overlays().at(*at);
        if (m_filter) {
            curves.push_back({ui::translated("Filters"), ui::translated("Filters, dB"),
                              ui::translated("Filters, deg"), *m_filter,
                              QColor::fromRgb(o.magnitudeRgb).darker(),
                              QColor::fromRgb(o.phaseRgb).darker(), true});
        }
        // The largest magnitude is often the closed loop's own peak: the resonance list below
        // is what finds a resonance.
        if (m_peak) {
            marks.push_back({ui::translated("Largest magnitude %1 Hz, %2 dB")
                                 .arg(m_peak->frequency, 0, 'f', 1)
                                 .arg(m_peak->magnitudeDb, 0, 'f', 1),
                             QColor::fromRgb(kPeakColour), m_peak->frequency, m_peak->magnitudeDb,
                             false});
        }
        if (m_cutoff) {
            marks.push_back({ui::translated("-3 dB at %1 Hz").arg(m_cutoff->frequency, 0, 'f', 1),
                             QColor::fromRgb(kCutoffColour), m_cutoff->frequency,
                             m_cutoff->magnitudeDb, false});
        }
    }
    addOpenLoop(curves, marks);
    const auto [first, last] = curvesSpan(curves, m_logarithmic);
    Bode->draw(std::move(curves), marks, m_logarithmic, first, last);
}

void TAFC_Form::addOpenLoop(std::vector<BodeCurve>& curves, std::vector<BodeMark>& marks) {
    const std::optional<size_t> at = current();
    m_margins.reset();
    MarginsLabel->clear();
    if (!OpenLoop->isChecked() || !at)
        return;
    const std::vector<ChartPoint>& l = m_overlays.overlays().at(*at).openLoop;
    const LoopMargins m = loopMargins(l);
    m_margins = m;
    const QString named = marginsText(m);
    MarginsLabel->setText(ui::translated("Open loop: %1").arg(named));
    const QColor colour = QColor::fromRgb(kOpenLoopColour);
    curves.push_back({ui::translated("Open loop"), ui::translated("Open loop, dB"),
                      ui::translated("Open loop, deg"), l, colour, colour, false});
    if (m.crossoverHz && m.phaseMarginDeg) {
        marks.push_back({named, QColor::fromRgb(kCrossoverColour), *m.crossoverHz, 0.0, false});
        marks.push_back(
            {ui::translated("phase margin %1 deg").arg(numberWithDecimal(*m.phaseMarginDeg)),
             QColor::fromRgb(kCrossoverColour), *m.crossoverHz, *m.phaseMarginDeg - kHalfTurnDeg,
             true});
    }
    if (m.phaseCrossoverHz && m.gainMarginDb) {
        marks.push_back(
            {ui::translated("gain margin %1 dB").arg(numberWithDecimal(*m.gainMarginDb)),
             QColor::fromRgb(kPhaseCrossoverColour), *m.phaseCrossoverHz, -kHalfTurnDeg, true});
    }
}

void TAFC_Form::NotchClick() {
    const int row = ResonanceList->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= m_resonances.size() || !m_parts.notch)
        return;
    m_parts.notch(m_resonances[static_cast<size_t>(row)].frequency);
}

void TAFC_Form::AutoTuningClick() {
    if (!m_parts.autoTuning)
        return;
    // This window holds the program modal: the tuner's window, which measures for a while and
    // lets the program be used meanwhile, takes its place.
    close();
    m_parts.autoTuning();
}

bool TAFC_Form::addFile(const QString& path) {
    ResponseFile file = readResponseFile(path.toStdString());
    if (!file.ok()) {
        say(file.error);
        return false;
    }
    addOverlay(fileOverlay(QFileInfo(path).fileName().toStdString(), std::move(file.points)));
    return true;
}

bool TAFC_Form::saveCurrent(const QString& path) {
    const std::optional<size_t> at = current();
    if (!at)
        return false;
    const scope::FileResult written =
        writeResponseFile(path.toStdString(), m_overlays.overlays().at(*at).points);
    if (!written)
        say(written.error);
    return written.ok;
}

void TAFC_Form::AddFileClick() {
    const QString path = QFileDialog::getOpenFileName(
        this, "Add file", QString::fromStdString(m_parts.folder()), kResponseFileFilter);
    if (!path.isEmpty())
        addFile(path);
}

void TAFC_Form::SaveResponseClick() {
    if (!current())
        return;
    const QString path = QFileDialog::getSaveFileName(
        this, "Save", QString::fromStdString(m_parts.folder()), kResponseFileFilter);
    if (!path.isEmpty())
        saveCurrent(path);
}

void TAFC_Form::MakeReferenceClick() {
    if (const std::optional<size_t> at = current()) {
        m_overlays.setReference(*at);
        listOverlays();
        redraw();
    }
}

void TAFC_Form::RemoveOverlayClick() {
    if (const std::optional<size_t> at = current()) {
        m_overlays.remove(*at);
        listOverlays();
        currentChanged();
    }
}

void TAFC_Form::say(const std::string& text) const {
    m_parts.messages.showText(m_parts.ui, text, m_parts.model.language());
}

void TAFC_Form::PrintMagnitudeClick() {
    const std::string& language = m_parts.model.language();
    const QString question =
        QString::fromStdString(m_parts.messages.text(kMsgPrintWholeWindow, language));
    const QString caption =
        QString::fromStdString(m_parts.messages.text(params::kMsgCaption, language));
    const bool whole = m_parts.ui.askYesNo(caption.toStdString(), question.toStdString());
    if (whole) {
        raise();
        activateWindow();
    }
    m_parts.print(whole ? grab() : Chart1->grab(), whole ? "bode" : "bode-magnitude");
}

void TAFC_Form::PrintPhaseClick() {
    m_parts.print(Chart2->grab(), "bode-phase");
}

TPar_AFC_Form::TPar_AFC_Form(const AfcParts& parts, QWidget* parent)
    : QDialog(parent), AFC_Form(new TAFC_Form(parts, this)), m_parts(parts) {
    setObjectName("Par_AFC_Form");
    setWindowTitle(kParAfcCaption);
    setWindowModality(Qt::ApplicationModal);
    auto* root = new QVBoxLayout(this);

    auto* axis = new QGroupBox("Frequency axis", this);
    auto* axisColumn = new QVBoxLayout(axis);
    RadioButton1 = new QRadioButton("Linear frequency axis", axis);
    RadioButton1->setObjectName("RadioButton1");
    RadioButton2 = new QRadioButton("Logarithmic frequency axis", axis);
    RadioButton2->setObjectName("RadioButton2");
    RadioButton2->setChecked(true);
    axisColumn->addWidget(RadioButton1);
    axisColumn->addWidget(RadioButton2);
    root->addWidget(axis);

    auto* channels = new QHBoxLayout;
    const auto channelGroup = [&](const char* title, int firstNumber, int preset,
                                  std::array<QRadioButton*, scope::kChannelCount>& buttons) {
        auto* group = new QGroupBox(title, this);
        auto* column = new QVBoxLayout(group);
        auto* exclusive = new QButtonGroup(group);
        for (int c = 1; c <= scope::kChannelCount; ++c) {
            auto* b = new QRadioButton(QString("Channel %1").arg(c), group);
            b->setObjectName(QString("RadioButton%1").arg(firstNumber + c - 1));
            exclusive->addButton(b);
            column->addWidget(b);
            buttons.at(static_cast<size_t>(c - 1)) = b;
        }
        buttons.at(static_cast<size_t>(preset - 1))->setChecked(true);
        channels->addWidget(group);
    };
    channelGroup("Input's signal", 3, 1, Input);
    channelGroup("Output's sighal", 7, 2, Output);
    root->addLayout(channels);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Maximum frequency of chart", this), 0, 0);
    Edit1 = new QLineEdit(QString::number(kDefaultMaxFrequency), this);
    Edit1->setObjectName("Edit1");
    grid->addWidget(Edit1, 0, 1);
    ColorBox1 = colourBox("ColorBox1", kDefaultMagnitudeColour, this);
    ColorBox2 = colourBox("ColorBox2", kDefaultPhaseColour, this);
    Shape1 = new QFrame(this);
    Shape2 = new QFrame(this);
    for (QFrame* shape : {Shape1, Shape2})
        shape->setFixedSize(24, 16);
    grid->addWidget(new QLabel("AFR colour", this), 1, 0);
    grid->addWidget(ColorBox1, 1, 1);
    grid->addWidget(Shape1, 1, 2);
    grid->addWidget(new QLabel("PFR colour", this), 2, 0);
    grid->addWidget(ColorBox2, 2, 1);
    grid->addWidget(Shape2, 2, 2);
    root->addLayout(grid);
    fillShape(Shape1, ColorBox1);
    fillShape(Shape2, ColorBox2);
    connect(ColorBox1, &QComboBox::activated, this, [this] { fillShape(Shape1, ColorBox1); });
    connect(ColorBox2, &QComboBox::activated, this, [this] { fillShape(Shape2, ColorBox2); });

    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    root->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TPar_AFC_Form::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TPar_AFC_Form::Button2Click);
}

void TPar_AFC_Form::showFor(int channels) {
    for (int c = 1; c <= scope::kChannelCount; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        const bool offered = c <= channels;
        const QString caption = QString::fromStdString(m_parts.oscillogram.channel(c).name);
        for (QRadioButton* b : {Input.at(i), Output.at(i)}) {
            b->setText(QString("%1: %2").arg(c).arg(caption));
            b->setVisible(offered);
        }
    }
    // A choice past the offered channels falls back to the first two.
    if (checkedChannel(Input) > channels)
        Input.at(0)->setChecked(true);
    if (checkedChannel(Output) > channels)
        Output.at(1)->setChecked(true);
    show();
    raise();
    activateWindow();
}

int TPar_AFC_Form::checkedChannel(const std::array<QRadioButton*, scope::kChannelCount>& buttons) {
    for (int c = 1; c <= scope::kChannelCount; ++c) {
        if (buttons.at(static_cast<size_t>(c - 1))->isChecked())
            return c;
    }
    return 1;
}

void TPar_AFC_Form::Button1Click() {
    const std::optional<double> fmax = parseMaxFrequency(Edit1->text().toStdString());
    // Both failures stop here through the general error report.
    if (!fmax)
        throw std::invalid_argument("'" + Edit1->text().toStdString() + "' is not a valid number.");
    computeFrequencyResponse(m_parts.oscillogram.buffer, checkedChannel(Input),
                             checkedChannel(Output), m_parts.oscillogram.header.tick, m_response);
    const scope::FileResult written = writeSpectrumFiles(m_parts.folder(), m_response);
    if (!written)
        throw std::runtime_error(written.error);
    const int input = checkedChannel(Input);
    const int output = checkedChannel(Output);
    AFC_Form->showResponse(
        m_response, *fmax,
        {RadioButton2->isChecked(), QColor::fromRgb(ColorBox1->currentData().value<QRgb>()),
         QColor::fromRgb(ColorBox2->currentData().value<QRgb>())},
        QString("%1 to %2")
            .arg(QString::fromStdString(m_parts.oscillogram.channel(input).name),
                 QString::fromStdString(m_parts.oscillogram.channel(output).name)));
    AFC_Form->show();
    AFC_Form->raise();
    AFC_Form->activateWindow();
}

void TPar_AFC_Form::Button2Click() {
    reject();
}

void TPar_AFC_Form::done(int result) {
    AFC_Form->close();
    if (restoreAfterAnalysis(m_parts.oscillogram, m_parts.model))
        emit restored();
    QDialog::done(result);
}

}  // namespace zrd::tuning
