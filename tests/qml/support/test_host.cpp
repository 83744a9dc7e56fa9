#include "test_host.h"

#include <QQmlEngine>

#include <QImage>
#include <QQuickWindow>
#include <QRect>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextStream>

#include <algorithm>

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

int TestHost::differingPixels(const QString &actualPath, const QString &expectedPath,
                              const QVariantList &masks, const QString &diffPath,
                              int tolerance) const
{
    const QImage actual = QImage(actualPath).convertToFormat(QImage::Format_ARGB32);
    const QImage expected = QImage(expectedPath).convertToFormat(QImage::Format_ARGB32);
    if (actual.isNull() || expected.isNull() || actual.size() != expected.size())
        return -1;
    QVector<QRect> left;
    for (const QVariant &mask : masks) {
        const QVariantMap m = mask.toMap();
        left.append(QRect(m.value("x").toInt(), m.value("y").toInt(), m.value("width").toInt(),
                          m.value("height").toInt()));
    }
    QImage diff = actual;
    int count = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const bool masked = std::any_of(left.begin(), left.end(),
                                            [&](const QRect &r) { return r.contains(x, y); });
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            const int distance =
                std::max({std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                          std::abs(qBlue(a) - qBlue(e))});
            if (!masked && distance > tolerance) {
                ++count;
                diff.setPixel(x, y, qRgb(255, 0, 0));
            }
        }
    }
    if (count > 0 && !diffPath.isEmpty())
        diff.save(diffPath);
    return count;
}

QString TestHost::sourceDir() const
{
    return QStringLiteral(ORRINDEL_QML_TESTS_DIR);
}

bool TestHost::saveWindow(QObject *window, const QString &path) const
{
    auto *quickWindow = qobject_cast<QQuickWindow *>(window);
    return quickWindow && quickWindow->grabWindow().save(path);
}
