#pragma once

#include "command_decoder.h"

#include <QDateTime>
#include <QFile>
#include <QJsonObject>
#include <QString>

namespace sim {

// One JSON object per decoded command: time (ISO 8601, UTC, milliseconds),
// code, name, payload (lower-case hex), args, ok and, when not ok, error.
QJsonObject commandLogEntry(const DecodedCommand &c, const QDateTime &time);

// One line for a person, e.g. "setIntCtrlParam power=50 duty=20 freq=1000
// openMs=1000 [32 14 03 e8 03 e8]".
QString describeCommand(const DecodedCommand &c);

// Appends the JSON lines to a file, flushed per line so a test can read them
// while the simulator runs.
class CommandLog {
public:
    bool open(const QString &path, QString &error);
    bool isOpen() const { return file_.isOpen(); }
    void write(const DecodedCommand &c, const QDateTime &time);

private:
    QFile file_;
};

} // namespace sim
