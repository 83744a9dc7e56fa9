#include "qml_public.h"

#include "build_stamp.h"
#include "common/single_instance.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

bool extractResourceFile(const QString &resource, const QString &target)
{
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = source.readAll();

    QFile existing(target);
    if (existing.size() == content.size() && existing.open(QIODevice::ReadOnly) &&
        existing.readAll() == content)
        return true;
    existing.close();

    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    // Written aside and renamed over the old copy: a viewer never sees half a file.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

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

QString QmlPublic::manualResource()
{
    return QStringLiteral(":/manual.html");
}

QString QmlPublic::manualCopyPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("orrindel-manual.html"));
}

bool QmlPublic::openManual()
{
    const QString path = manualCopyPath();
    if (!extractResourceFile(manualResource(), path)) {
        qDebug().noquote() << "Manual : cannot write" << QDir::toNativeSeparators(path);
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
