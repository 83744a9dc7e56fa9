#include "chart_axes.h"

#include <QDateTime>
#include <QtCharts/QDateTimeAxis>

#include <cmath>

bool ChartAxes::setTimeRange(QObject *axis, double minMs, double maxMs)
{
    auto *timeAxis = qobject_cast<QtCharts::QDateTimeAxis *>(axis);
    if (!timeAxis || !std::isfinite(minMs) || !std::isfinite(maxMs) || maxMs < minMs)
        return false;
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(minMs)),
                       QDateTime::fromMSecsSinceEpoch(qint64(maxMs)));
    return true;
}
