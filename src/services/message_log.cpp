#include "message_log.h"

#include "session_journal.h"

#include <QDateTime>

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
    if (!index.isValid() || index.row() >= lines.size() || role != LineRole)
        return {};
    return lines.at(index.row());
}

QHash<int, QByteArray> MessageLog::roleNames() const
{
    return {{LineRole, QByteArrayLiteral("line")}};
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
    beginInsertRows(QModelIndex(), row, row);
    lines.append(line);
    endInsertRows();
    if (hookup.session())
        SessionJournal::getInstance()->appendLine(hookup.session(), hookup.key(),
                                                  QDateTime::currentMSecsSinceEpoch(), line);
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
    hookup.attach<const QStringList &>(
        [this](SessionJournal &journal, quint64 session,
               const SessionJournal::LinesCallback &done) {
            return journal.loadLines(session, hookup.key(), QDateTime::currentMSecsSinceEpoch(),
                                     resume, this, done);
        },
        [this](const QStringList &earlier) { takeLines(earlier); },
        [this] {
            // Lines appended before the key was set follow the earlier ones,
            // in the journal as here.
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            for (const QString &line : qAsConst(lines))
                SessionJournal::getInstance()->appendLine(hookup.session(), hookup.key(), now,
                                                          line);
        });
}

void MessageLog::takeLines(const QStringList &earlier)
{
    if (!earlier.isEmpty()) {
        beginInsertRows(QModelIndex(), 0, int(earlier.size()) - 1);
        lines = earlier + lines;
        endInsertRows();
        emit countChanged();
    }
    emit loaded();
}
