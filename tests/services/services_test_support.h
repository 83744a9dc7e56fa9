#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A fresh working directory per case: the services use "./config.ini", and a
// new file keeps QSettings' per-file cache from serving another case's content.
struct ScopedWorkDir {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();

    ScopedWorkDir() { QDir::setCurrent(dir.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(previous); }

    QString path(const QString &name) const { return dir.filePath(name); }
    bool exists(const QString &name) const { return QFile::exists(path(name)); }
    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
};
