#pragma once

#include <QObject>

// Moves a chart axis to a new range in one step. QML can only set an axis'
// min and max one after the other, and every change makes the chart lay out
// its axis labels and recompute its curves: with the time axis moving on
// every push, that was the larger part of a push's cost.
//
// QML: import OrrindelRecording 1.0, singleton ChartAxes.
class ChartAxes : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Sets a date-time axis (a DateTimeAxis) to minMs .. maxMs, milliseconds
    // since the epoch. False, and nothing changed, for another kind of axis,
    // values that are not finite, or maxMs below minMs.
    Q_INVOKABLE bool setTimeRange(QObject *axis, double minMs, double maxMs);
};
