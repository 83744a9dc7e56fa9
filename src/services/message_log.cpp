#include "message_log.h"

#include "session_journal.h"

#include <QDateTime>
#include <QtNumeric>

MessageLog::MessageLog(QObject *parent)
    : QAbstractListModel(parent)
    , hookup(this, [this] { emit loadingChanged(); })
{
}

int MessageLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(lines.size());
}

QVariant MessageLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= lines.size())
        return {};
    if (role == LineRole)
        return lines.at(index.row());
    if (role == TimeRole)
        return double(times.at(index.row()));
    return {};
}

QHash<int, QByteArray> MessageLog::roleNames() const
{
    return {{LineRole, QByteArrayLiteral("line")}, {TimeRole, QByteArrayLiteral("timeMs")}};
}

void MessageLog::setJournalKey(const QString &journalKey)
{
    if (!hookup.setKey(journalKey))
        return;
    emit journalKeyChanged();
    if (hookup.isComplete())
        attachJournal();
}

void MessageLog::setResumeLine(const QString &line)
{
    if (line == resume)
        return;
    resume = line;
    emit resumeLineChanged();
}

void MessageLog::append(const QString &line)
{
    const int row = int(lines.size());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    beginInsertRows(QModelIndex(), row, row);
    lines.append(line);
    times.append(now);
    endInsertRows();
    if (hookup.session())
        SessionJournal::getInstance()->appendLine(hookup.session(), hookup.key(), now, line);
    emit countChanged();
}

void MessageLog::clear()
{
    // Earlier lines still on their way from the journal were cleared too.
    hookup.cancelLoad();
    if (hookup.session())
        SessionJournal::getInstance()->clearLines(hookup.session(), hookup.key());
    if (lines.isEmpty())
        return;
    beginResetModel();
    lines.clear();
    times.clear();
    endResetModel();
    emit countChanged();
}

QVariantMap MessageLog::get(int i) const
{
    if (i < 0 || i >= lines.size())
        return {};
    return {{QStringLiteral("line"), lines.at(i)}};
}

QString MessageLog::lineAt(int i) const
{
    return i >= 0 && i < lines.size() ? lines.at(i) : QString();
}

double MessageLog::timeMsAt(int i) const
{
    return i >= 0 && i < times.size() ? double(times.at(i)) : qQNaN();
}

void MessageLog::classBegin()
{
    hookup.classBegin();
}

void MessageLog::componentComplete()
{
    hookup.componentComplete();
    attachJournal();
}

void MessageLog::attachJournal()
{
    hookup.attach<const JournalLines &>(
        [this](SessionJournal &journal, quint64 session,
               const SessionJournal::LinesCallback &done) {
            return journal.loadLines(session, hookup.key(), QDateTime::currentMSecsSinceEpoch(),
                                     resume, this, done);
        },
        [this](const JournalLines &earlier) { takeLines(earlier); },
        [this] {
            // Lines appended before the key was set follow the earlier ones,
            // in the journal as here.
            for (int i = 0; i < lines.size(); ++i)
                SessionJournal::getInstance()->appendLine(hookup.session(), hookup.key(),
                                                          times.at(i), lines.at(i));
        });
}

void MessageLog::takeLines(const JournalLines &earlier)
{
    if (!earlier.texts.isEmpty() && earlier.texts.size() == earlier.timesMs.size()) {
        beginInsertRows(QModelIndex(), 0, int(earlier.texts.size()) - 1);
        lines = earlier.texts + lines;
        times = earlier.timesMs + times;
        endInsertRows();
        emit countChanged();
    }
    emit loaded();
}
