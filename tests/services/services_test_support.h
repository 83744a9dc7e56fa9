#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

// Runs a test case in a fresh, empty working directory: the services read and
// write "./config.ini" relative to it. A new directory per case also keeps
// QSettings' per-file cache from serving another case's content.
class ScopedWorkDir {
public:
    ScopedWorkDir()
        : previous(QDir::currentPath())
    {
        QDir::setCurrent(dir.path());
    }
    ~ScopedWorkDir() { QDir::setCurrent(previous); }
    ScopedWorkDir(const ScopedWorkDir &) = delete;
    ScopedWorkDir &operator=(const ScopedWorkDir &) = delete;

    bool isValid() const { return dir.isValid(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

    QByteArray read(const QString &name) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }
    bool exists(const QString &name) const { return QFile::exists(filePath(name)); }

private:
    QTemporaryDir dir;
    QString previous;
};

// Collects Qt debug output while alive.
class MessageCapture {
public:
    MessageCapture() { previous = qInstallMessageHandler(&MessageCapture::handler); }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    static QStringList &lines()
    {
        static QStringList collected;
        return collected;
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        lines().append(text);
    }
    QtMessageHandler previous = nullptr;
};
