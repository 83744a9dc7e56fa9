#include "file.h"

#include "common/single_instance.h"

#include <QDebug>
#include <QFile>

File *File::getInstance()
{
    return SingleInstance<File>::get();
}

bool File::saveWave(QString path, QString waveStr)
{
    // QFile itself would print a warning for an empty name; this fails silently.
    if (path.isEmpty())
        return false;
    QFile file(path);
    // Not in text mode: line ends are written as the text holds them.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray waveStrBytes = waveStr.toLocal8Bit();
    const qint64 wlen = file.write(waveStrBytes);
    qDebug().noquote() << "waveStrBytes.length=" << waveStrBytes.length();
    qDebug().noquote() << "wlen=" << wlen;
    file.close();
    return wlen == waveStrBytes.length();
}
