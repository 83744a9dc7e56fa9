#pragma once

#include <QObject>
#include <QVariantList>
#include <QVariantMap>

// Looking back over a chart's recording, for QML: the view rules of
// look_back_rules.h on a recording (a WaveRecording), and the drawing of a
// range into a chart's curves (wave_decimation.h).
//
// A range is a map {from, to} in milliseconds since the epoch. The rules
// clamp it into the recording, [time of the oldest entry, time of the newest];
// an empty recording (or another object) gives the range as it came.
//
// QML: import OrrindelRecording 1.0, singleton ChartLookBack.
class ChartLookBack : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // {from, to} of the recording; from > to (NaN) when it has no entries.
    Q_INVOKABLE QVariantMap recorded(QObject *recording) const;
    // steps: wheel steps (angleDelta / 120), positive zooms in around anchorMs.
    Q_INVOKABLE QVariantMap wheel(double fromMs, double toMs, double anchorMs, double steps,
                                  QObject *recording) const;
    Q_INVOKABLE QVariantMap pan(double fromMs, double toMs, double deltaMs,
                                QObject *recording) const;
    // Also answers `recorded`: whether atMs is in the recording (see
    // look_back::recorded).
    Q_INVOKABLE QVariantMap centred(double atMs, double spanMs, QObject *recording) const;

    // Shows the recording's range in a chart: each curve (line series, in
    // the recording's curve order) gets the range drawn in `columns` pixel
    // columns, and the nearest entry left and right of it, so that its line
    // reaches the plot's edges; the time axis (a DateTimeAxis) takes the
    // range, and timeFormat as its labels' format, and the value axis (a ValueAxis) the fit of the
    // samples in it (look_back::fitValues; unchanged when there are none). The chart computes each
    // curve once, for its new points on the new axes: the points go in without their notice, which
    // the time axis' move makes needless. Answers {min, max} of the samples (min > max for none).
    Q_INVOKABLE QVariantMap draw(QObject *recording, const QVariantList &curves, QObject *timeAxis,
                                 QObject *valueAxis, double fromMs, double toMs, int columns,
                                 const QString &timeFormat) const;
    // The index of the entry nearest timeMs (the earlier on a tie); -1 when
    // the recording is empty.
    Q_INVOKABLE int nearestEntry(QObject *recording, double timeMs) const;
};
