#include "qml_public.h"

#include "build_stamp.h"
#include "common/single_instance.h"

QmlPublic *QmlPublic::getInstance()
{
    return SingleInstance<QmlPublic>::get();
}

QPointF QmlPublic::xySeriesAt(QtCharts::QLineSeries *series, int i)
{
    if (!series || i < 0 || i >= series->count())
        return QPointF(0, 0);
    return series->at(i);
}

void QmlPublic::xySeriesAppend(QtCharts::QLineSeries *series, double x, double y)
{
    if (!series)
        return;
    series->append(x, y);
}

QString QmlPublic::buildDateTime()
{
    // The stamp of the build that compiled this file.
    return buildStampFrom(QStringLiteral(__DATE__), QStringLiteral(__TIME__));
}
