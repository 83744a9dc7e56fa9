#include "feed_alarm_texts.h"

#include <QStringList>
#include <QVariantMap>

namespace feed_alarm_texts {

namespace {

constexpr int kEffectiveBits = 0x7FFF;

int lowestBit(int bits)
{
    for (int i = 0; i < 15; ++i) {
        if (bits & (1 << i))
            return i;
    }
    return -1;
}

} // namespace

QVector<Row> fromList(const QVariantList &table)
{
    QVector<Row> rows;
    rows.reserve(table.size());
    for (const QVariant &entry : table) {
        const QVariantMap row = entry.toMap();
        rows.append({row.value(QStringLiteral("code")).toInt(),
                     row.value(QStringLiteral("text")).toString()});
    }
    return rows;
}

QVector<feed_payloads::Alarm> alarmsOf(int word, const QVector<Row> &table,
                                       const Translate &english)
{
    QVector<feed_payloads::Alarm> alarms;
    for (const Row &row : table) {
        const int bits = word & row.code & kEffectiveBits;
        if (bits != 0)
            alarms.append({lowestBit(row.code & kEffectiveBits), english(row.text), row.text});
    }
    return alarms;
}

Texts changeText(int word, const QVector<Row> &table, const Translate &english)
{
    if (word == 0) {
        const QString cleared = QStringLiteral("报警解除");
        return {english(cleared), cleared};
    }
    const QVector<feed_payloads::Alarm> alarms = alarmsOf(word, table, english);
    if (alarms.isEmpty()) {
        const QString unknown = QStringLiteral("未知错误");
        return {english(unknown), unknown};
    }
    QStringList en, cn;
    for (const feed_payloads::Alarm &a : alarms) {
        en.append(a.text);
        cn.append(a.textCn);
    }
    return {en.join(QStringLiteral(", ")), cn.join(QStringLiteral(", "))};
}

bool changeDue(std::optional<int> previous, int word)
{
    return previous ? *previous != word : word != 0;
}

} // namespace feed_alarm_texts
