#include "feed_payloads.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace feed_payloads {

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// JSON numbers are doubles: exact up to 2^53, far beyond any seq or time.
QJsonValue number(qint64 value)
{
    return QJsonValue(double(value));
}

QJsonObject event(const EventStamp &stamp, const QString &kind)
{
    return {{"seq", number(qint64(stamp.seq))},
            {"ts", number(stamp.ts)},
            {"session", number(stamp.session)},
            {"kind", kind}};
}

} // namespace

QByteArray state(const LinkState &link, qint64 ts)
{
    return compact({{"online", true},
                    {"connected", link.connected},
                    {"port", textOrNull(link.port)},
                    {"device_online", link.deviceOnline},
                    {"session", number(link.session)},
                    {"ts", number(ts)}});
}

QByteArray offline(qint64 session)
{
    return compact({{"online", false}, {"session", number(session)}});
}

QByteArray offline(qint64 session, qint64 ts)
{
    return compact({{"online", false}, {"session", number(session)}, {"ts", number(ts)}});
}

QByteArray info(const Info &info, qint64 ts)
{
    return compact({{"program_version", info.programVersion},
                    {"device_version", textOrNull(info.deviceVersion)},
                    {"device_id", textOrNull(info.deviceId)},
                    {"max_power_w",
                     info.maxPowerW ? QJsonValue(*info.maxPowerW) : QJsonValue(QJsonValue::Null)},
                    {"ts", number(ts)}});
}

QByteArray status(quint64 seq, qint64 ts, const QJsonObject &record)
{
    return compact({{"seq", number(qint64(seq))}, {"ts", number(ts)}, {"record", record}});
}

QByteArray alarm(int word, const QVector<Alarm> &alarms, qint64 ts)
{
    QJsonArray list;
    for (const Alarm &a : alarms)
        list.append(QJsonObject{{"bit", a.bit}, {"text", a.text}, {"text_cn", a.textCn}});
    return compact({{"word", word}, {"alarms", list}, {"ts", number(ts)}});
}

QByteArray alarmEvent(const EventStamp &stamp, int from, int to, const QString &text,
                      const QString &textCn)
{
    QJsonObject o = event(stamp, QStringLiteral("alarm"));
    o.insert("from", from);
    o.insert("to", to);
    o.insert("text", text);
    o.insert("text_cn", textCn);
    return compact(o);
}

QByteArray messageEvent(const EventStamp &stamp, const QString &raw, const QString &text)
{
    QJsonObject o = event(stamp, QStringLiteral("message"));
    o.insert("raw", raw);
    o.insert("text", text);
    return compact(o);
}

QByteArray linkEvent(const EventStamp &stamp, const QString &eventName, const QString &port)
{
    QJsonObject o = event(stamp, QStringLiteral("link"));
    o.insert("event", eventName);
    o.insert("port", textOrNull(port));
    return compact(o);
}

QByteArray droppedEvent(int count, qint64 ts, qint64 session)
{
    return compact(
        {{"kind", "dropped"}, {"count", count}, {"ts", number(ts)}, {"session", number(session)}});
}

} // namespace feed_payloads
