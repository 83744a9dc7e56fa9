#pragma once

#include <QObject>
#include <QPointF>
#include <QString>
#include <QtCharts/QLineSeries>

// Copies the resource file `resource` to the file `target`, creating the
// target's folder. A target that already holds the same bytes is left alone
// (a viewer may have it open); any other content is replaced. False when the
// resource is missing or the target cannot be written.
bool extractResourceFile(const QString &resource, const QString &target);

// Chart point access for QML, the program's build stamp, and the operator's
// manual.
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
    // Writes the manual compiled into the program to manualCopyPath() and asks
    // the desktop to open that file. True when the desktop could be asked;
    // whether a viewer then shows it is the desktop's affair.
    Q_INVOKABLE bool openManual();

    // The generated manual among the program's resources.
    static QString manualResource();
    // Where openManual puts the copy: the user's cache folder of this
    // program, or the temporary folder when the system names none.
    static QString manualCopyPath();
};
