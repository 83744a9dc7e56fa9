#pragma once

#include "feed_payloads.h"

#include <QString>
#include <QVariantList>
#include <QVector>

#include <functional>
#include <optional>

// The plant feed's alarm texts, in English and Chinese from the one table the
// window uses (Public.alarmTextTable: each alarm's code and Chinese text; the
// English comes from the translation catalogue), by the message list's rules.
namespace feed_alarm_texts {

struct Row {
    int code = 0;
    QString text; // Chinese, the catalogue's source text
};

// Chinese text to English.
using Translate = std::function<QString(const QString &)>;

// The table as QML hands it over: a list of {code, text}.
QVector<Row> fromList(const QVariantList &table);

// The alarms a word holds, in table order; bit is the index of the code's
// bit below bit 15 (bit 15 only marks an alarm that stops the laser).
QVector<feed_payloads::Alarm> alarmsOf(int word, const QVector<Row> &table,
                                       const Translate &english);

struct Texts {
    QString english;
    QString chinese;
};
// The text of a change to word, as the message list writes it: the alarms
// joined by ", ", "报警解除" for none, "未知错误" for bits the table lacks.
Texts changeText(int word, const QVector<Row> &table, const Translate &english);

// Whether a record's word is an alarm event: the first record's only when
// not 0 (previous: none yet), later ones when it differs.
bool changeDue(std::optional<int> previous, int word);

} // namespace feed_alarm_texts
