#pragma once

#include "command_parser.h"

#include <QJsonObject>
#include <QString>

namespace sim {

enum CommandId : quint8 {
    kSetCtrlMod = 0x02,
    kSetIntCtrlParam = 0x03,
    kSetLaserState = 0x04,
    kSetAdvancedParam = 0x07,
    kSetCalib = 0x09,
    kQueryVersion = 0x0A,
    kQueryCalibTable = 0x0B,
    kQueryUseTime = 0x0C,
    kResetParam = 0x0E,
};

// A command with its arguments read from the payload (16-bit values are
// big-endian in command payloads). Argument names are those of the program's
// command builders; bools are JSON bools (any nonzero byte is true), setCalib
// carries "table" as an array of byte values.
struct DecodedCommand {
    quint8 code = 0;
    QString name;    // "unknown" for a code no controller knows
    bool ok = false; // false: unknown code or payload of the wrong length
    QString error;   // why ok is false
    QByteArray payload;
    QJsonObject args;
};

DecodedCommand decodeCommand(const RawCommand &raw);

// The name of a command code, or "unknown".
QString commandName(quint8 code);

} // namespace sim
