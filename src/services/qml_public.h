#pragma once

#include <QObject>
#include <QPointF>
#include <QString>
#include <QtCharts/QLineSeries>

// Chart point access for QML and the program's build stamp.
class QmlPublic : public QObject {
    Q_OBJECT
public:
    static QmlPublic *getInstance();

    QmlPublic() = default;

    // Point i of the series; (0, 0) for a null series or an index outside it.
    Q_INVOKABLE QPointF xySeriesAt(QtCharts::QLineSeries *series, int i);
    // Appends (x, y); a null series is ignored.
    Q_INVOKABLE void xySeriesAppend(QtCharts::QLineSeries *series, double x, double y);
    Q_INVOKABLE QString buildDateTime();
};
