#pragma once

#include <QChartView>
#include <QList>
#include <QString>
#include <vector>

class QLineSeries;

namespace zrd::tuning {

// One step response to draw: the command, the actual speed and the current, one value per
// sample of `tickMs`.
struct StepTrace {
    QString name;
    double tickMs = 0;
    std::vector<double> command;  // rpm
    std::vector<double> actual;   // rpm
    std::vector<double> current;  // A; empty: not drawn
    bool reference = false;
};

// Step responses overlaid on one time axis in ms: the speed of each trace on the left axis in
// rpm, its current thin and dotted in its colour on the right axis in A, the command of the
// first trace (the reference's, if one is given) dashed grey. The reference is drawn black and
// thick; the legend names each trace.
class StepChart : public QChartView {
    Q_OBJECT
public:
    explicit StepChart(QWidget* parent = nullptr);

    // Replaces what is drawn.
    void setTraces(const std::vector<StepTrace>& traces);

    // The speed curves in the order of the traces.
    [[nodiscard]] const QList<QLineSeries*>& speedCurves() const { return m_speed; }
    [[nodiscard]] QLineSeries* speedCurve(const QString& name) const;

private:
    // The titles as the chart shows them now: a language switch translated them in place, and
    // a new drawing keeps them.
    void keepShownTitles();

    QList<QLineSeries*> m_speed;
    QString m_timeTitle = "Time, ms";
    QString m_speedTitle = "Speed, rpm";
    QString m_currentTitle = "Current, A";
    QString m_commandName = "command";
};

}  // namespace zrd::tuning
