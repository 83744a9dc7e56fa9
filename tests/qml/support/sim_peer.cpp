#include "sim_peer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

SimPeer::SimPeer(QObject *parent)
    : QObject(parent)
{
    connect(&process, &QProcess::readyReadStandardOutput, this, &SimPeer::readOutput);
}

SimPeer::~SimPeer()
{
    stop();
}

QString SimPeer::start(const QStringList &arguments)
{
    stop();
    QFile::remove(dir.filePath("commands.jsonl"));
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(ORRINDEL_SIM_PATH),
                  QStringList{"--quiet", "--log", dir.filePath("commands.jsonl")} + arguments);
    if (!process.waitForStarted(5000))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (portPath.isEmpty() && clock.elapsed() < 5000) {
        process.waitForReadyRead(100);
        readOutput();
    }
    return portPath;
}

void SimPeer::readOutput()
{
    while (process.canReadLine()) {
        const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
        // The first line is the path; after a hang-up a new one may follow.
        QString path;
        if (line.startsWith('/'))
            path = line;
        else if (line.startsWith(QLatin1String("reopened ")))
            path = line.mid(9);
        if (!path.isEmpty() && path != portPath) {
            portPath = path;
            emit portChanged();
        }
    }
}

void SimPeer::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
    portPath.clear();
    emit portChanged();
}

void SimPeer::console(const QString &command)
{
    process.write(command.toLocal8Bit() + '\n');
    process.waitForBytesWritten(1000);
}

QVariantList SimPeer::commands() const
{
    QVariantList list;
    QFile log(dir.filePath("commands.jsonl"));
    if (!log.open(QIODevice::ReadOnly))
        return list;
    while (!log.atEnd()) {
        const QJsonDocument line = QJsonDocument::fromJson(log.readLine());
        if (line.isObject())
            list.append(line.object().toVariantMap());
    }
    return list;
}

QStringList SimPeer::commandNames() const
{
    QStringList names;
    for (const QVariant &command : commands())
        names.append(command.toMap().value("name").toString());
    return names;
}

void SimPeer::setExtraPorts(const QStringList &ports)
{
    if (ports.isEmpty())
        qunsetenv("ORRINDEL_EXTRA_PORTS");
    else
        qputenv("ORRINDEL_EXTRA_PORTS", ports.join(QDir::listSeparator()).toLocal8Bit());
}
