#include "command_log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace sim {

QJsonObject commandLogEntry(const DecodedCommand &c, const QDateTime &time)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("code"), c.code);
    o.insert(QStringLiteral("name"), c.name);
    o.insert(QStringLiteral("payload"), QString::fromLatin1(c.payload.toHex()));
    o.insert(QStringLiteral("args"), c.args);
    o.insert(QStringLiteral("ok"), c.ok);
    if (!c.ok)
        o.insert(QStringLiteral("error"), c.error);
    return o;
}

QString describeCommand(const DecodedCommand &c)
{
    // QJsonObject sorts its keys; the wire order reads better where it matters.
    QStringList keys = c.args.keys();
    if (c.code == kSetIntCtrlParam)
        keys = QStringList{"power", "duty", "freq", "openMs"};
    else if (c.code == kSetAdvancedParam)
        keys = QStringList{"qcwDuty",    "qcwFreq",    "qcwEnable",  "redLevel",
                           "pdThes",     "humiThes",   "pumpThes",   "inTempLow",
                           "inTempHigh", "outTempLow", "outTempHigh"};
    QStringList parts{c.name};
    for (const QString &key : keys) {
        const QJsonValue v = c.args.value(key);
        if (v.isUndefined())
            continue;
        QString text;
        if (v.isBool())
            text = v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        else if (v.isArray())
            text = QStringLiteral("%1 entries").arg(v.toArray().size());
        else
            text = QString::number(v.toInt());
        parts << key + QLatin1Char('=') + text;
    }
    QString line = parts.join(QLatin1Char(' '));
    if (!c.payload.isEmpty())
        line += QStringLiteral(" [%1]").arg(QString::fromLatin1(c.payload.toHex(' ')));
    if (!c.ok)
        line += QStringLiteral(" (%1)").arg(c.error);
    return line;
}

bool CommandLog::open(const QString &path, QString &error)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = QStringLiteral("%1: %2").arg(path, file_.errorString());
        return false;
    }
    return true;
}

void CommandLog::write(const DecodedCommand &c, const QDateTime &time)
{
    if (!file_.isOpen())
        return;
    file_.write(QJsonDocument(commandLogEntry(c, time)).toJson(QJsonDocument::Compact));
    file_.write("\n");
    file_.flush();
}

} // namespace sim
