#include "file.h"

#include "common/single_instance.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

File *File::getInstance()
{
    return SingleInstance<File>::get();
}

bool File::saveWave(QString path, QString waveStr)
{
    QSaveFile file(path);
    if (!openForReplacement(file))
        return false;
    const QByteArray waveStrBytes = waveStr.toLocal8Bit();
    const qint64 wlen = file.write(waveStrBytes);
    qDebug().noquote() << "waveStrBytes.length=" << waveStrBytes.length();
    qDebug().noquote() << "wlen=" << wlen;
    // Not committed, the partial file goes with `file`.
    if (wlen != waveStrBytes.length())
        return false;
    return commitReplacement(file);
}

bool File::openForReplacement(QSaveFile &file)
{
    // QFile itself would print a warning for an empty name; this fails silently.
    if (file.fileName().isEmpty())
        return false;
    // Written aside and put in place only when whole: a full disk shows only
    // when the buffered bytes go out, and must neither pass for a success nor
    // leave an earlier export cut short. A folder that only lets the file
    // itself be written gets it written in place.
    file.setDirectWriteFallback(true);
    // Not in text mode: line ends are written as the text holds them.
    return file.open(QIODevice::WriteOnly);
}

bool File::commitReplacement(QSaveFile &file)
{
    // commit() misses a failure that shows only when the buffered bytes go
    // out (a full disk), so they go out first.
    if (!file.flush())
        return false;
    return file.commit();
}

QString File::urlToLocalPath(QString url)
{
    if (!url.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return url;
    QString path = QUrl(url).toLocalFile();
    // QUrl keeps the slash before a drive letter except on Windows; the name
    // means the same drive on every platform.
    static const QRegularExpression drive(QStringLiteral("^/[A-Za-z]:(/|$)"));
    if (drive.match(path).hasMatch())
        path.remove(0, 1);
    return path;
}
