#pragma once

#include <QChart>
#include <QChartView>

namespace zrd::ui {

// Replaces the view's chart by an empty one with the same title and returns it. Axes swapped on
// a chart already shown kept the labels of the first drawing; a new chart has none to keep.
inline QChart* freshChart(QChartView* view) {
    auto* chart = new QChart;
    QChart* previous = view->chart();
    chart->setTitle(previous->title());
    view->setChart(chart);
    delete previous;
    return chart;
}

}  // namespace zrd::ui
