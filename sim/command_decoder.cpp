#include "command_decoder.h"

#include <QJsonArray>

namespace sim {
namespace {

struct Field {
    const char *name;
    enum Kind { U8, U16, Bool } kind;
};

int be16(const QByteArray &b, int at)
{
    return (static_cast<quint8>(b[at]) << 8) | static_cast<quint8>(b[at + 1]);
}

// Reads fixed-layout payloads; returns false when the length does not match.
bool readFields(const QByteArray &payload, std::initializer_list<Field> fields, QJsonObject &args,
                QString &error)
{
    int size = 0;
    for (const Field &f : fields)
        size += f.kind == Field::U16 ? 2 : 1;
    if (payload.size() != size) {
        error = QStringLiteral("payload of %1 bytes, expected %2").arg(payload.size()).arg(size);
        return false;
    }
    int at = 0;
    for (const Field &f : fields) {
        const QString key = QString::fromLatin1(f.name);
        switch (f.kind) {
        case Field::U8:
            args.insert(key, static_cast<quint8>(payload[at]));
            at += 1;
            break;
        case Field::Bool:
            args.insert(key, payload[at] != 0);
            at += 1;
            break;
        case Field::U16:
            args.insert(key, be16(payload, at));
            at += 2;
            break;
        }
    }
    return true;
}

} // namespace

QString commandName(quint8 code)
{
    switch (code) {
    case kSetCtrlMod:
        return QStringLiteral("setCtrlMod");
    case kSetIntCtrlParam:
        return QStringLiteral("setIntCtrlParam");
    case kSetLaserState:
        return QStringLiteral("setLaserState");
    case kSetAdvancedParam:
        return QStringLiteral("setAdvancedParam");
    case kSetCalib:
        return QStringLiteral("setCalib");
    case kQueryVersion:
        return QStringLiteral("queryVersion");
    case kQueryCalibTable:
        return QStringLiteral("queryCalibTable");
    case kQueryUseTime:
        return QStringLiteral("queryUseTime");
    case kResetParam:
        return QStringLiteral("resetParam");
    default:
        return QStringLiteral("unknown");
    }
}

DecodedCommand decodeCommand(const RawCommand &raw)
{
    DecodedCommand c;
    c.code = raw.code;
    c.name = commandName(raw.code);
    c.payload = raw.payload;
    const QByteArray &p = raw.payload;
    switch (raw.code) {
    case kSetCtrlMod:
        c.ok = readFields(p, {{"intCtrl", Field::Bool}}, c.args, c.error);
        break;
    case kSetLaserState:
        c.ok = readFields(p, {{"state", Field::Bool}}, c.args, c.error);
        break;
    case kSetIntCtrlParam:
        c.ok = readFields(p,
                          {{"power", Field::U8},
                           {"duty", Field::U8},
                           {"freq", Field::U16},
                           {"openMs", Field::U16}},
                          c.args, c.error);
        break;
    case kSetAdvancedParam:
        c.ok = readFields(p,
                          {{"qcwDuty", Field::U8},
                           {"qcwFreq", Field::U16},
                           {"qcwEnable", Field::Bool},
                           {"redLevel", Field::U8},
                           {"pdThes", Field::U16},
                           {"humiThes", Field::U8},
                           {"pumpThes", Field::U16},
                           {"inTempLow", Field::U8},
                           {"inTempHigh", Field::U8},
                           {"outTempLow", Field::U8},
                           {"outTempHigh", Field::U8}},
                          c.args, c.error);
        break;
    case kSetCalib: {
        QJsonArray table;
        for (char b : p)
            table.append(static_cast<quint8>(b));
        c.args.insert(QStringLiteral("table"), table);
        c.ok = true;
        break;
    }
    case kQueryVersion:
    case kQueryCalibTable:
    case kQueryUseTime:
    case kResetParam:
        c.ok = readFields(p, {}, c.args, c.error);
        break;
    default:
        c.error =
            QStringLiteral("unknown command code 0x%1").arg(raw.code, 2, 16, QLatin1Char('0'));
        break;
    }
    return c;
}

} // namespace sim
