#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

// Waits for a line on standard output that starts with prefix; empty if none comes.
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

// Starts the built orrindel-sim and returns the line path it prints first, or
// an empty string.
inline QString startSimulator(QProcess &process, const QStringList &args, bool closedStdin = true)
{
    if (closedStdin)
        process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(ORRINDEL_SIM_PATH), args);
    return process.waitForStarted(5000) ? waitForOutputLine(process, "/", 5000) : QString();
}

inline void stopSimulator(QProcess &process)
{
    process.terminate();
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}
