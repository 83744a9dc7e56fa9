#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

// Starts the built orrindel-sim and returns the line path from the first line
// of its standard output, or an empty string.
inline QString startSimulator(QProcess &process, const QStringList &args, bool closedStdin = true)
{
    if (closedStdin)
        process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(ORRINDEL_SIM_PATH), args);
    if (!process.waitForStarted(5000))
        return {};
    QElapsedTimer t;
    t.start();
    while (!process.canReadLine() && t.elapsed() < 5000)
        process.waitForReadyRead(100);
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

// Waits for a further line on standard output that starts with prefix.
inline QString waitForOutputLine(QProcess &process, const QString &prefix, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        while (process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
            if (line.startsWith(prefix))
                return line;
        }
        process.waitForReadyRead(50);
    }
    return {};
}

inline void stopSimulator(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}
