#pragma once

#include <QObject>

// The online trace viewer on a filled buffer: the bit view, the drawn picture, "Print" and the
// measured values that the buffer keeps after closing.
class TraceViewerTest : public QObject {
    Q_OBJECT
private slots:
    void bitViewLeavesTheMeasuredValuesAfterClosing();
    void oneScaleJoinsTheRangesOfAUnit_data();
    void oneScaleJoinsTheRangesOfAUnit();
};
