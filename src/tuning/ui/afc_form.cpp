#include "tuning/ui/afc_form.h"

#include "core/ui/fresh_chart.h"
#include "params/message_numbers.h"

#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
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
constexpr double kMarkerSize = 9.0;

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

QChartView* chartView(const char* name, const QString& title, QWidget* parent) {
    auto* chart = new QChart;
    chart->setTitle(title);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(640, 260);
    return view;
}

QLineSeries* curve(const QString& name, const QColor& colour, bool dashed) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(dashed ? 1.5 : 2.0);
    if (dashed)
        pen.setStyle(Qt::DashLine);
    series->setPen(pen);
    return series;
}

QScatterSeries* marker(const QString& name, QRgb colour, double x, double y) {
    auto* series = new QScatterSeries;
    series->setName(name);
    series->setColor(QColor::fromRgb(colour));
    series->setMarkerSize(kMarkerSize);
    series->append(x, y);
    return series;
}

// Puts the series on a fresh chart with the frequency axis of the style.
void fillChart(QChartView* view, const std::vector<QAbstractSeries*>& series, bool logarithmic,
               double firstFrequency, double lastFrequency, const QString& unit) {
    QChart* chart = ui::freshChart(view);
    QAbstractAxis* x = nullptr;
    if (logarithmic) {
        auto* logarithmicAxis = new QLogValueAxis;
        logarithmicAxis->setBase(10.0);
        logarithmicAxis->setLabelFormat("%g");
        logarithmicAxis->setMinorTickCount(8);
        logarithmicAxis->setRange(firstFrequency, lastFrequency);
        x = logarithmicAxis;
    } else {
        auto* linear = new QValueAxis;
        linear->setRange(0.0, lastFrequency);
        linear->setLabelFormat("%g");
        x = linear;
    }
    x->setTitleText("Hz");
    auto* y = new QValueAxis;
    y->setTitleText(unit);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : series) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // The value axis fits the curves, with a margin so that none touches the frame.
    double low = 0;
    double high = 0;
    bool any = false;
    for (QAbstractSeries* s : series) {
        for (const QPointF& p : static_cast<QXYSeries*>(s)->points()) {
            if (logarithmic && p.x() <= 0)
                continue;
            low = any ? std::min(low, p.y()) : p.y();
            high = any ? std::max(high, p.y()) : p.y();
            any = true;
        }
    }
    const double margin = std::max(1.0, (high - low) * 0.05);
    y->setRange(low - margin, high + margin);
    y->applyNiceNumbers();
}

}  // namespace

TAFC_Form::TAFC_Form(const AfcParts& parts, QWidget* parent) : QDialog(parent), m_parts(parts) {
    setObjectName("AFC_Form");
    setWindowTitle(kAfcCaption);
    setWindowModality(Qt::ApplicationModal);
    auto* root = new QVBoxLayout(this);
    Chart1 = chartView("Chart1", "AFR", this);
    Chart2 = chartView("Chart2", "PFR", this);
    PrintMagnitude = new QPushButton("Print", this);
    PrintMagnitude->setObjectName("PrintMagnitude");
    PrintPhase = new QPushButton("Print", this);
    PrintPhase->setObjectName("PrintPhase");
    const auto row = [&](QChartView* chart, QPushButton* print) {
        auto* line = new QHBoxLayout;
        line->addWidget(chart, 1);
        line->addWidget(print, 0, Qt::AlignTop);
        root->addLayout(line, 1);
    };
    row(Chart1, PrintMagnitude);
    row(Chart2, PrintPhase);
    ResonanceList = new QListWidget(this);
    ResonanceList->setObjectName("ResonanceList");
    ResonanceList->setMaximumHeight(ResonanceList->fontMetrics().height() * kResonanceRows);
    root->addWidget(ResonanceList);
    connect(PrintMagnitude, &QPushButton::clicked, this, &TAFC_Form::PrintMagnitudeClick);
    connect(PrintPhase, &QPushButton::clicked, this, &TAFC_Form::PrintPhaseClick);
    resize(900, 700);
}

void TAFC_Form::showResponse(const FrequencyResponse& response, double fmax, const Style& style) {
    const std::vector<ChartPoint> points = chartPoints(response, fmax);
    const double last = std::max(lastChartFrequency(response, fmax), response.df);
    // A logarithmic axis starts at the first bin: bin 0 has no place on it.
    const double first = response.df;
    const auto onAxis = [&](const ChartPoint& p) { return !style.logarithmic || p.frequency > 0; };

    QLineSeries* magnitude = curve("AFR, dB", style.magnitude, false);
    QLineSeries* phase = curve("PFR, deg", style.phase, false);
    std::vector<double> frequencies;
    for (const ChartPoint& p : points) {
        if (!onAxis(p))
            continue;
        magnitude->append(p.frequency, p.magnitudeDb);
        phase->append(p.frequency, p.phaseDeg);
        frequencies.push_back(p.frequency);
    }
    std::vector<QAbstractSeries*> magnitudeSeries{magnitude};
    std::vector<QAbstractSeries*> phaseSeries{phase};

    const std::optional<std::vector<ChartPoint>> filter = filterOverlay(m_parts.model, frequencies);
    m_filterShown = filter.has_value();
    if (filter) {
        QLineSeries* filterMagnitude = curve("Filters, dB", style.magnitude.darker(), true);
        QLineSeries* filterPhase = curve("Filters, deg", style.phase.darker(), true);
        for (const ChartPoint& p : *filter) {
            filterMagnitude->append(p.frequency, p.magnitudeDb);
            filterPhase->append(p.frequency, p.phaseDeg);
        }
        magnitudeSeries.push_back(filterMagnitude);
        phaseSeries.push_back(filterPhase);
    }

    m_peak = peakMarker(response, fmax);
    m_cutoff = cutoffMarker(response, fmax);
    if (m_peak) {
        // The largest magnitude is often the closed loop's own peak: the resonance list below
        // is what finds a resonance.
        magnitudeSeries.push_back(marker(QString("Largest magnitude %1 Hz, %2 dB")
                                             .arg(m_peak->frequency, 0, 'f', 1)
                                             .arg(m_peak->magnitudeDb, 0, 'f', 1),
                                         kPeakColour, m_peak->frequency, m_peak->magnitudeDb));
    }
    if (m_cutoff) {
        magnitudeSeries.push_back(
            marker(QString("-3 dB at %1 Hz").arg(m_cutoff->frequency, 0, 'f', 1), kCutoffColour,
                   m_cutoff->frequency, m_cutoff->magnitudeDb));
    }
    listResonances(findResonances(response, fmax));
    fillChart(Chart1, magnitudeSeries, style.logarithmic, first, last, "dB");
    fillChart(Chart2, phaseSeries, style.logarithmic, first, last, "deg");
}

void TAFC_Form::listResonances(std::vector<Resonance> found) {
    m_resonances = std::move(found);
    ResonanceList->clear();
    for (const Resonance& r : m_resonances) {
        QString line = QString("%1 %2 Hz, %3 dB")
                           .arg(r.anti ? "Anti-resonance" : "Resonance")
                           .arg(r.frequency, 0, 'f', 1)
                           .arg(r.magnitudeDb, 0, 'f', 1);
        if (r.damping)
            line += QString(", damping %1").arg(*r.damping, 0, 'f', 3);
        ResonanceList->addItem(line);
    }
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
    AFC_Form->showResponse(
        m_response, *fmax,
        {RadioButton2->isChecked(), QColor::fromRgb(ColorBox1->currentData().value<QRgb>()),
         QColor::fromRgb(ColorBox2->currentData().value<QRgb>())});
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
