#include "tuning/ui/step_chart.h"

#include <QAbstractAxis>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <array>

#include "core/ui/fresh_chart.h"

namespace zrd::tuning {
namespace {

// Colours of the runs in turn; the reference is black.
constexpr std::array<QRgb, 8> kStepColours = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e,
                                              0x9467bd, 0x8c564b, 0xe377c2, 0x17becf};
constexpr QRgb kStepReferenceColour = 0x000000;
constexpr QRgb kStepCommandColour = 0x808080;
constexpr double kStepSpeedWidth = 1.5;
constexpr double kStepReferenceWidth = 3.0;
constexpr double kStepCurrentWidth = 1.0;
constexpr int kStepChartMinimumWidth = 520;
constexpr int kStepChartMinimumHeight = 320;
constexpr const char* kStepCommandSeries = "StepCommand";

QLineSeries* stepCurve(const QString& name, QColor colour, double width, Qt::PenStyle style,
                       const std::vector<double>& values, double tickMs) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(width);
    pen.setStyle(style);
    series->setPen(pen);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(values.size()));
    for (size_t n = 0; n < values.size(); ++n)
        points.append({static_cast<double>(n) * tickMs, values[n]});
    series->replace(points);
    return series;
}

void attach(QChart* chart, QLineSeries* series, QValueAxis* x, QValueAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

}  // namespace

StepChart::StepChart(QWidget* parent) : QChartView(new QChart, parent) {
    setObjectName("StepChart");
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(kStepChartMinimumWidth, kStepChartMinimumHeight);
    setTraces({});
}

void StepChart::keepShownTitles() {
    for (QAbstractAxis* axis : chart()->axes()) {
        QString& title = axis->alignment() == Qt::AlignBottom ? m_timeTitle
                         : axis->alignment() == Qt::AlignLeft ? m_speedTitle
                                                              : m_currentTitle;
        title = axis->titleText();
    }
    for (QAbstractSeries* series : chart()->series())
        if (series->objectName() == kStepCommandSeries)
            m_commandName = series->name();
}

void StepChart::setTraces(const std::vector<StepTrace>& traces) {
    keepShownTitles();
    QChart* chart = ui::freshChart(this);
    m_speed.clear();
    auto* time = new QValueAxis;
    time->setTitleText(m_timeTitle);
    time->setLabelFormat("%g");
    auto* speed = new QValueAxis;
    speed->setTitleText(m_speedTitle);
    speed->setLabelFormat("%g");
    auto* current = new QValueAxis;
    current->setTitleText(m_currentTitle);
    current->setLabelFormat("%g");
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(speed, Qt::AlignLeft);
    chart->addAxis(current, Qt::AlignRight);
    chart->legend()->setAlignment(Qt::AlignBottom);

    double lastMs = 0;
    for (const StepTrace& t : traces)
        lastMs = std::max(lastMs, static_cast<double>(t.actual.size()) * t.tickMs);
    time->setRange(0, lastMs > 0 ? lastMs : 1);
    const auto withReference =
        std::find_if(traces.begin(), traces.end(), [](const StepTrace& t) { return t.reference; });
    const StepTrace* commandOf = withReference != traces.end() ? &*withReference
                                 : traces.empty()              ? nullptr
                                                               : &traces.front();
    if (commandOf) {
        QLineSeries* command = stepCurve(m_commandName, kStepCommandColour, kStepSpeedWidth,
                                         Qt::DashLine, commandOf->command, commandOf->tickMs);
        command->setObjectName(kStepCommandSeries);
        attach(chart, command, time, speed);
    }
    bool anyCurrent = false;
    size_t colour = 0;
    for (const StepTrace& t : traces) {
        const QColor c = t.reference
                             ? QColor::fromRgb(kStepReferenceColour)
                             : QColor::fromRgb(kStepColours.at(colour++ % kStepColours.size()));
        QLineSeries* s = stepCurve(t.name, c, t.reference ? kStepReferenceWidth : kStepSpeedWidth,
                                   Qt::SolidLine, t.actual, t.tickMs);
        attach(chart, s, time, speed);
        m_speed.append(s);
        if (t.current.empty())
            continue;
        anyCurrent = true;
        QLineSeries* i =
            stepCurve(t.name + " current", c, kStepCurrentWidth, Qt::DotLine, t.current, t.tickMs);
        attach(chart, i, time, current);
        // The legend names the runs; their currents share the colour.
        for (QLegendMarker* m : chart->legend()->markers(i))
            m->setVisible(false);
    }
    current->setVisible(anyCurrent);
    // The value axes fit what they carry, with a margin so that the curves do not touch them.
    const auto fit = [](QValueAxis* axis, const QList<QAbstractSeries*>& all) {
        double low = 0;
        double high = 0;
        bool any = false;
        for (QAbstractSeries* a : all) {
            if (!a->attachedAxes().contains(axis))
                continue;
            for (const QPointF& p : static_cast<QLineSeries*>(a)->points()) {
                low = any ? std::min(low, p.y()) : p.y();
                high = any ? std::max(high, p.y()) : p.y();
                any = true;
            }
        }
        const double margin = high > low ? (high - low) * 0.05 : 1.0;
        axis->setRange(low - margin, high + margin);
        axis->applyNiceNumbers();
    };
    fit(speed, chart->series());
    fit(current, chart->series());
}

QLineSeries* StepChart::speedCurve(const QString& name) const {
    for (QLineSeries* s : m_speed)
        if (s->name() == name)
            return s;
    return nullptr;
}

}  // namespace zrd::tuning
