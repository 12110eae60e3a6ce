#include "tuning/ui/bode_chart.h"

#include "core/ui/fresh_chart.h"
#include "core/ui/run_time_text.h"
#include "tuning/bode_overlays.h"

#include <QBrush>
#include <QChart>
#include <QChartView>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGridLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMouseEvent>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace zrd::tuning {
namespace {

constexpr size_t kMagnitudeChart = 0;
constexpr size_t kPhaseChart = 1;
constexpr int kBodeViewWidth = 640;
constexpr int kBodeViewHeight = 260;
constexpr double kBodeCurveWidth = 2.0;
constexpr double kBodeDashedWidth = 1.5;
constexpr double kBodeMarkSize = 9.0;
constexpr double kBodeDotSize = 4.0;
// A press and release closer than this are a click, not a range.
constexpr double kMinimumDragPixels = 4.0;
// The value axis keeps this share of the curves' span (at least one unit) free at either end.
constexpr double kValueMarginShare = 0.05;
constexpr double kLeastValueMargin = 1.0;
constexpr int kReadoutDecimals = 2;
// Drawn above the curves.
constexpr qreal kCursorZ = 10.0;
constexpr QRgb kCursorColour = 0xFF606060;
constexpr QRgb kBandColour = 0x400078D7;
constexpr const char* kReadoutHint =
    "Move the mouse over a chart to read the curves; drag across a range to zoom into it, "
    "double-click for the whole range.";

QAbstractSeries* firstSeries(const QChart* chart) {
    const QList<QAbstractSeries*> all = chart->series();
    return all.isEmpty() ? nullptr : all.first();
}

QLineSeries* bodeSeries(const QString& name, const QColor& colour, bool dashed) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(dashed ? kBodeDashedWidth : kBodeCurveWidth);
    if (dashed)
        pen.setStyle(Qt::DashLine);
    series->setPen(pen);
    return series;
}

QScatterSeries* bodeDots(const QString& name, const QColor& colour) {
    auto* series = new QScatterSeries;
    series->setName(name);
    series->setColor(colour);
    series->setBorderColor(colour);
    series->setMarkerSize(kBodeDotSize);
    return series;
}

QString readingText(double v) {
    return QString::number(v, 'f', kReadoutDecimals);
}

}  // namespace

BodeChart::BodeChart(QWidget* parent, const QString& magnitudeTitle, const QString& phaseTitle)
    : QWidget(parent) {
    setObjectName("BodeChart");
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(0, 0, 0, 0);
    const std::array<QString, 2> titles = {magnitudeTitle, phaseTitle};
    for (size_t c = 0; c < m_views.size(); ++c) {
        auto* chart = new QChart;
        chart->setTitle(titles.at(c));
        auto* view = new QChartView(chart, this);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(kBodeViewWidth, kBodeViewHeight);
        view->viewport()->setMouseTracking(true);
        view->viewport()->installEventFilter(this);
        m_views.at(c) = view;
        m_grid->addWidget(view, static_cast<int>(c), 0);
        m_grid->setRowStretch(static_cast<int>(c), 1);
    }
    Readout = new QLabel(ui::translated(kReadoutHint), this);
    Readout->setObjectName("Readout");
    Readout->setWordWrap(true);
    Readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_grid->addWidget(Readout, 2, 0, 1, 2);
    // The owner draws its curves anew after a switch; the readout is the chart's own.
    ui::onLanguageChange(this, "readout", [this] { showReadout(); });
}

void BodeChart::setBeside(QWidget* magnitudeSide, QWidget* phaseSide) {
    m_grid->addWidget(magnitudeSide, 0, 1, Qt::AlignTop);
    m_grid->addWidget(phaseSide, 1, 1, Qt::AlignTop);
}

void BodeChart::draw(std::vector<BodeCurve> curves, const std::vector<BodeMark>& marks,
                     bool logarithmic, double firstHz, double lastHz) {
    m_curves = std::move(curves);
    m_marks = marks;
    m_logarithmic = logarithmic;
    m_full = {logarithmic ? firstHz : 0.0, std::max(lastHz, firstHz)};
    m_shown = m_full;
    m_dragFromHz.reset();
    fill(kMagnitudeChart, marks);
    fill(kPhaseChart, marks);
    applyRange();
    showReadout();
}

void BodeChart::fill(size_t c, const std::vector<BodeMark>& marks) {
    // The old chart took its cursor and band with it.
    m_decorations.at(c) = {};
    QChart* chart = ui::freshChart(m_views.at(c));
    QAbstractAxis* x = nullptr;
    if (m_logarithmic) {
        auto* logarithmicAxis = new QLogValueAxis;
        logarithmicAxis->setBase(10.0);
        logarithmicAxis->setLabelFormat("%g");
        logarithmicAxis->setMinorTickCount(8);
        x = logarithmicAxis;
    } else {
        auto* linear = new QValueAxis;
        linear->setLabelFormat("%g");
        x = linear;
    }
    x->setTitleText(ui::translated("Hz"));
    auto* y = new QValueAxis;
    y->setTitleText(ui::translated(c == kMagnitudeChart ? "dB" : "deg"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const auto attach = [&](QAbstractSeries* s) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    };
    for (const BodeCurve& curve : m_curves) {
        const QString& legend = c == kMagnitudeChart ? curve.magnitudeLegend : curve.phaseLegend;
        const QColor& colour = c == kMagnitudeChart ? curve.magnitude : curve.phase;
        QXYSeries* series = curve.dots
                                ? bodeDots(legend, colour)
                                : static_cast<QXYSeries*>(bodeSeries(legend, colour, curve.dashed));
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(curve.points.size()));
        for (const ChartPoint& p : curve.points) {
            if (!m_logarithmic || p.frequency > 0)
                points.append({p.frequency, c == kMagnitudeChart ? p.magnitudeDb : p.phaseDeg});
        }
        series->replace(points);
        attach(series);
    }
    for (const BodeMark& m : marks) {
        if (m.onPhase != (c == kPhaseChart))
            continue;
        auto* series = new QScatterSeries;
        series->setName(m.name);
        series->setColor(m.colour);
        series->setMarkerSize(kBodeMarkSize);
        series->append(m.frequency, m.value);
        attach(series);
    }

    Decoration& d = m_decorations.at(c);
    // Children of the chart: they go with it when the next drawing replaces it.
    d.cursor = new QGraphicsLineItem(chart);
    d.cursor->setPen(QPen(QColor::fromRgba(kCursorColour), 1.0));
    d.cursor->setZValue(kCursorZ);
    d.cursor->hide();
    d.band = new QGraphicsRectItem(chart);
    d.band->setPen(Qt::NoPen);
    d.band->setBrush(QColor::fromRgba(kBandColour));
    d.band->setZValue(kCursorZ);
    d.band->hide();
    connect(chart, &QChart::plotAreaChanged, this, [this, c] { placeCursor(c); });
}

void BodeChart::applyRange() {
    for (size_t c = 0; c < m_views.size(); ++c) {
        const QList<QAbstractAxis*> x = m_views.at(c)->chart()->axes(Qt::Horizontal);
        if (!x.isEmpty())
            x.first()->setRange(m_shown.first, m_shown.second);
        fitValueAxis(c);
        placeCursor(c);
    }
}

void BodeChart::fitValueAxis(size_t c) {
    const QList<QAbstractAxis*> axes = m_views.at(c)->chart()->axes(Qt::Vertical);
    auto* y = axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.first());
    if (!y)
        return;
    std::optional<std::pair<double, double>> span;
    const auto take = [&](double f, double v) {
        if (f < m_shown.first || f > m_shown.second || (m_logarithmic && f <= 0))
            return;
        span =
            span ? std::pair{std::min(span->first, v), std::max(span->second, v)} : std::pair{v, v};
    };
    for (const BodeCurve& curve : m_curves) {
        for (const ChartPoint& p : curve.points)
            take(p.frequency, c == kMagnitudeChart ? p.magnitudeDb : p.phaseDeg);
    }
    for (const BodeMark& m : m_marks) {
        if (m.onPhase == (c == kPhaseChart))
            take(m.frequency, m.value);
    }
    if (!span)
        return;
    const double margin =
        std::max(kLeastValueMargin, (span->second - span->first) * kValueMarginShare);
    y->setRange(span->first - margin, span->second + margin);
    y->applyNiceNumbers();
}

double BodeChart::xOf(size_t c, double hz) const {
    QChart* chart = m_views.at(c)->chart();
    const QList<QAbstractAxis*> axes = chart->axes(Qt::Vertical);
    const auto* y = axes.isEmpty() ? nullptr : qobject_cast<const QValueAxis*>(axes.first());
    return chart->mapToPosition({hz, y ? y->min() : 0.0}, firstSeries(chart)).x();
}

void BodeChart::placeCursor(size_t c) {
    Decoration& d = m_decorations.at(c);
    if (!d.cursor)
        return;
    QChart* chart = m_views.at(c)->chart();
    if (!m_cursorHz || !firstSeries(chart) || *m_cursorHz < m_shown.first ||
        *m_cursorHz > m_shown.second) {
        d.cursor->hide();
        return;
    }
    const QRectF area = chart->plotArea();
    const double x = xOf(c, *m_cursorHz);
    d.cursor->setLine(x, area.top(), x, area.bottom());
    d.cursor->show();
}

void BodeChart::setCursorFrequency(double hz) {
    m_cursorHz = hz;
    for (size_t c = 0; c < m_views.size(); ++c)
        placeCursor(c);
    showReadout();
}

std::optional<double> BodeChart::drawnCursorFrequency(const QChartView* view) const {
    const size_t c = chartOf(view->viewport());
    const Decoration& d = m_decorations.at(c);
    QChart* chart = view->chart();
    if (!d.cursor || !d.cursor->isVisible() || !firstSeries(chart))
        return std::nullopt;
    return chart
        ->mapToValue({d.cursor->line().x1(), chart->plotArea().center().y()}, firstSeries(chart))
        .x();
}

std::vector<BodeChart::Reading> BodeChart::readout() const {
    std::vector<Reading> readings;
    if (!m_cursorHz)
        return readings;
    for (const BodeCurve& curve : m_curves) {
        if (const std::optional<ChartPoint> p = curveAt(curve.points, *m_cursorHz))
            readings.push_back({curve.name, *p});
    }
    return readings;
}

void BodeChart::showReadout() {
    if (!m_cursorHz) {
        Readout->setText(ui::translated(kReadoutHint));
        return;
    }
    QString text = ui::translated("%1 Hz").arg(readingText(*m_cursorHz));
    for (const Reading& r : readout()) {
        text += " | " +
                ui::translated("%1: %2 dB, %3 deg")
                    .arg(r.name, readingText(r.value.magnitudeDb), readingText(r.value.phaseDeg));
    }
    Readout->setText(text);
}

void BodeChart::zoomTo(double fromHz, double toHz) {
    const double from = std::clamp(std::min(fromHz, toHz), m_full.first, m_full.second);
    const double to = std::clamp(std::max(fromHz, toHz), m_full.first, m_full.second);
    if (!(to > from))
        return;
    m_shown = {from, to};
    applyRange();
}

void BodeChart::resetZoom() {
    m_shown = m_full;
    applyRange();
}

std::optional<double> BodeChart::frequencyAt(const QChartView* view, QPoint position) const {
    QChart* chart = view->chart();
    QAbstractSeries* series = firstSeries(chart);
    if (!series)
        return std::nullopt;
    const QPointF inChart = chart->mapFromScene(view->mapToScene(position));
    const QRectF area = chart->plotArea();
    if (inChart.x() < area.left() || inChart.x() > area.right())
        return std::nullopt;
    return chart->mapToValue(inChart, series).x();
}

QPoint BodeChart::positionOf(const QChartView* view, double hz) const {
    const size_t c = chartOf(view->viewport());
    QChart* chart = view->chart();
    const QPointF inChart(xOf(c, hz), chart->plotArea().center().y());
    return view->mapFromScene(chart->mapToScene(inChart));
}

size_t BodeChart::chartOf(const QObject* viewport) const {
    return viewport == m_views[kPhaseChart]->viewport() ? kPhaseChart : kMagnitudeChart;
}

void BodeChart::showBand(size_t c, double fromHz, double toHz) {
    Decoration& d = m_decorations.at(c);
    if (!d.band)
        return;
    const QRectF area = m_views.at(c)->chart()->plotArea();
    const double left = xOf(c, std::min(fromHz, toHz));
    const double right = xOf(c, std::max(fromHz, toHz));
    d.band->setRect(left, area.top(), right - left, area.height());
    d.band->show();
}

void BodeChart::hideBands() {
    for (Decoration& d : m_decorations) {
        if (d.band)
            d.band->hide();
    }
}

bool BodeChart::eventFilter(QObject* watched, QEvent* event) {
    const bool ours = watched == m_views[kMagnitudeChart]->viewport() ||
                      watched == m_views[kPhaseChart]->viewport();
    if (!ours)
        return QWidget::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const size_t c = chartOf(watched);
    const std::optional<double> hz = frequencyAt(m_views.at(c), mouse->position().toPoint());
    switch (type) {
        case QEvent::MouseMove:
            if (hz) {
                setCursorFrequency(*hz);
                if (m_dragFromHz) {
                    showBand(kMagnitudeChart, *m_dragFromHz, *hz);
                    showBand(kPhaseChart, *m_dragFromHz, *hz);
                }
            }
            return false;
        case QEvent::MouseButtonPress:
            if (mouse->button() != Qt::LeftButton)
                return false;
            m_dragFromHz = hz;
            return true;
        case QEvent::MouseButtonRelease: {
            if (mouse->button() != Qt::LeftButton)
                return false;
            const std::optional<double> from = std::exchange(m_dragFromHz, std::nullopt);
            hideBands();
            if (from && hz && std::abs(xOf(c, *hz) - xOf(c, *from)) >= kMinimumDragPixels)
                zoomTo(*from, *hz);
            return true;
        }
        default:
            m_dragFromHz.reset();
            resetZoom();
            return true;
    }
}

}  // namespace zrd::tuning
