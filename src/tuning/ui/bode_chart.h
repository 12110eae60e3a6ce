#pragma once
// The Bode chart: magnitude over phase on one frequency axis, with a cursor that both charts
// share and whose readout names every curve's value, a zoom by dragging a frequency range, and
// the whole range back by a double-click.

#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>
#include <utility>
#include <vector>

#include "tuning/frequency_response.h"

class QChart;
class QChartView;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGridLayout;
class QLabel;

namespace zrd::tuning {

struct BodeCurve {
    QString name;  // in the readout
    QString magnitudeLegend;
    QString phaseLegend;
    std::vector<ChartPoint> points;  // in rising frequency
    QColor magnitude;
    QColor phase;
    bool dashed = false;
    bool dots = false;  // the points alone, not joined: measured bins
};

// A point named in the legend, on the magnitude chart (value in dB) or the phase chart
// (degrees).
struct BodeMark {
    QString name;
    QColor colour;
    double frequency = 0;
    double value = 0;
    bool onPhase = false;
};

class BodeChart : public QWidget {
    Q_OBJECT
public:
    explicit BodeChart(QWidget* parent, const QString& magnitudeTitle = "AFR",
                       const QString& phaseTitle = "PFR");

    // Draws the curves and marks over firstHz..lastHz (a logarithmic axis leaves out points at
    // 0 Hz); the whole range is shown again, the cursor stays where it was.
    void draw(std::vector<BodeCurve> curves, const std::vector<BodeMark>& marks, bool logarithmic,
              double firstHz, double lastHz);
    // Widgets shown to the right of the magnitude and of the phase chart.
    void setBeside(QWidget* magnitudeSide, QWidget* phaseSide);

    [[nodiscard]] const std::vector<BodeCurve>& curves() const { return m_curves; }

    void setCursorFrequency(double hz);
    [[nodiscard]] std::optional<double> cursorFrequency() const { return m_cursorHz; }
    // The frequency under the cursor line as the chart draws it; nullopt while it is hidden.
    [[nodiscard]] std::optional<double> drawnCursorFrequency(const QChartView* view) const;
    struct Reading {
        QString name;
        ChartPoint value;
    };
    // Each curve's value at the cursor (curves that do not reach it are left out).
    [[nodiscard]] std::vector<Reading> readout() const;

    void zoomTo(double fromHz, double toHz);
    void resetZoom();
    [[nodiscard]] std::pair<double, double> frequencyRange() const { return m_shown; }

    // The frequency at a position of a view's viewport; nullopt off the plot area.
    [[nodiscard]] std::optional<double> frequencyAt(const QChartView* view, QPoint position) const;
    // Where on a view's viewport a frequency lies (at the plot area's vertical middle).
    [[nodiscard]] QPoint positionOf(const QChartView* view, double hz) const;

    QChartView* magnitudeView() const { return m_views[0]; }
    QChartView* phaseView() const { return m_views[1]; }
    QLabel* Readout;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Decoration {
        QGraphicsLineItem* cursor = nullptr;
        QGraphicsRectItem* band = nullptr;
    };
    void fill(size_t chart, const std::vector<BodeMark>& marks);
    void applyRange();
    void fitValueAxis(size_t chart);
    void placeCursor(size_t chart);
    void showBand(size_t chart, double fromHz, double toHz);
    void hideBands();
    void showReadout();
    [[nodiscard]] size_t chartOf(const QObject* viewport) const;
    [[nodiscard]] double xOf(size_t chart, double hz) const;

    std::array<QChartView*, 2> m_views{};
    std::array<Decoration, 2> m_decorations{};
    QGridLayout* m_grid;
    std::vector<BodeCurve> m_curves;
    std::vector<BodeMark> m_marks;
    bool m_logarithmic = true;
    std::pair<double, double> m_full{1.0, 10.0};
    std::pair<double, double> m_shown{1.0, 10.0};
    std::optional<double> m_cursorHz;
    std::optional<double> m_dragFromHz;
};

}  // namespace zrd::tuning
