#include "message_log.h"

#include "session_journal.h"

#include <QDateTime>
#include <QPointer>

MessageLog::MessageLog(QObject *parent)
    : QAbstractListModel(parent)
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
    if (journalKey == key)
        return;
    key = journalKey;
    journalSession = 0;
    setLoadRequest(0);
    emit journalKeyChanged();
    if (complete)
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
    if (journalSession)
        SessionJournal::getInstance()->appendLine(journalSession, key,
                                                  QDateTime::currentMSecsSinceEpoch(), line);
    emit countChanged();
}

void MessageLog::clear()
{
    // Earlier lines still on their way from the journal were cleared too.
    setLoadRequest(0);
    if (journalSession)
        SessionJournal::getInstance()->clearLines(journalSession, key);
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
    complete = false;
}

void MessageLog::componentComplete()
{
    complete = true;
    attachJournal();
}

void MessageLog::attachJournal()
{
    if (key.isEmpty())
        return;
    SessionJournal *journal = SessionJournal::forObject(this);
    const quint64 session = journal->session();
    const quint64 request = ++requests;
    QPointer<MessageLog> self(this);
    if (!journal->loadLines(session, key, QDateTime::currentMSecsSinceEpoch(), resume, this,
                            [self, request](const QStringList &earlier) {
                                if (self)
                                    self->takeLines(request, earlier);
                            }))
        return;
    journalSession = session;
    // Lines appended before the key was set follow the earlier ones, in the
    // journal as here.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const QString &line : qAsConst(lines))
        journal->appendLine(session, key, now, line);
    setLoadRequest(request);
}

void MessageLog::takeLines(quint64 request, const QStringList &earlier)
{
    if (request != loadRequest)
        return;
    setLoadRequest(0);
    if (!earlier.isEmpty()) {
        beginInsertRows(QModelIndex(), 0, int(earlier.size()) - 1);
        lines = earlier + lines;
        endInsertRows();
        emit countChanged();
    }
    emit loaded();
}

void MessageLog::setLoadRequest(quint64 request)
{
    if (request == loadRequest)
        return;
    loadRequest = request;
    emit loadingChanged();
}
