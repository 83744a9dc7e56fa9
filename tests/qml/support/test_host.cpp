#include "test_host.h"

#include <QQmlEngine>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextStream>

namespace {
const char kParentVariable[] = "ORRINDEL_QMLTEST_PARENT";
const char kSettingsFile[] = "config.ini";
} // namespace

QString TestHost::setting(const QString &key) const
{
    QSettings settings(QString::fromLatin1(kSettingsFile), QSettings::IniFormat);
    return settings.value(key).toString();
}

void TestHost::setSetting(const QString &key, const QString &value)
{
    QSettings settings(QString::fromLatin1(kSettingsFile), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

QString TestHost::env(const QString &name) const
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

void TestHost::setEnv(const QString &name, const QString &value)
{
    if (value.isEmpty())
        qunsetenv(name.toLocal8Bit().constData());
    else
        qputenv(name.toLocal8Bit().constData(), value.toLocal8Bit());
}

QStringList TestHost::readLines(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

bool TestHost::appendLine(const QString &path, const QString &line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    file.write(line.toUtf8() + '\n');
    return file.flush();
}

void TestHost::removeFile(const QString &path)
{
    QFile::remove(path);
}

QString TestHost::tempPath(const QString &name) const
{
    return QDir::temp().filePath(name);
}

qint64 TestHost::processId() const
{
    return QCoreApplication::applicationPid();
}

bool TestHost::isRestartedCopy() const
{
    return qEnvironmentVariableIsSet(kParentVariable) &&
           qEnvironmentVariable(kParentVariable) !=
               QString::number(QCoreApplication::applicationPid());
}

void TestHost::retranslate()
{
    if (QQmlEngine *engine = qmlEngine(this))
        engine->retranslate();
}
