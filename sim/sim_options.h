#pragma once

#include "device_settings.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace sim {

struct SimOptions {
    DeviceIdentity identity;
    int periodMs = 500;
    quint32 seed = 1;
    QString linkPath; // symlink to the pseudo-terminal's slave
    QString portName; // real serial port instead of a pseudo-terminal
    QString logPath;  // JSON lines, one per decoded command
    bool quiet = false;
    bool console = true;
    // Console lines run at start (from the fault and input options).
    QStringList startup;
    // Console lines run once, the given number of ms after start.
    QVector<QPair<int, QString>> scheduled;
};

enum class ParseResult { Run, Help, Error };

// Reads the command line (arguments[0] is the program). On Help, text holds
// the full help; on Error, the message.
ParseResult parseOptions(const QStringList &arguments, SimOptions &options, QString &text);

} // namespace sim
