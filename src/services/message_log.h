#pragma once

#include "journal_hookup.h"
#include "session_journal_lines.h"

#include <QAbstractListModel>
#include <QQmlParserStatus>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

// The lines of a message list, as a list model with the roles `line` and
// `timeMs` (when the line was appended, ms since the epoch).
// With a journal key the lines survive a restart: when the object is
// complete it loads the lines the session journal kept for the key and puts
// them, followed by resumeLine, before the lines appended meanwhile (then
// loaded()); every append and clear is journalled.
//
// QML: import OrrindelJournal 1.0, MessageLog:
//   count       int, read-only
//   journalKey  string, default "": the list's key in the session journal
//   resumeLine  string: the line that follows the earlier lines after a
//               restart (none when there are no earlier lines)
//   loading     bool, read-only: waiting for the journal's lines
//   append(line), clear()
//   get(i)      {line}, as a ListModel answers; an empty object outside the list
//   lineAt(i)   the line; "" outside the list
//   timeMsAt(i) the line's time (for a line from the journal, the time it
//               was journalled); NaN outside the list
class MessageLog : public QAbstractListModel, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString journalKey READ journalKey WRITE setJournalKey NOTIFY journalKeyChanged)
    Q_PROPERTY(QString resumeLine READ resumeLine WRITE setResumeLine NOTIFY resumeLineChanged)
    Q_PROPERTY(bool loading READ isLoading NOTIFY loadingChanged)
public:
    enum Role { LineRole = Qt::UserRole + 1, TimeRole };

    explicit MessageLog(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(lines.size()); }
    QString journalKey() const { return hookup.key(); }
    void setJournalKey(const QString &journalKey);
    QString resumeLine() const { return resume; }
    void setResumeLine(const QString &line);
    bool isLoading() const { return hookup.isLoading(); }

    Q_INVOKABLE void append(const QString &line);
    Q_INVOKABLE void clear();
    Q_INVOKABLE QVariantMap get(int i) const;
    Q_INVOKABLE QString lineAt(int i) const;
    Q_INVOKABLE double timeMsAt(int i) const;

    void classBegin() override;
    void componentComplete() override;

signals:
    void countChanged();
    void journalKeyChanged();
    void resumeLineChanged();
    void loadingChanged();
    // The journal's lines are in (possibly none).
    void loaded();

private:
    void attachJournal();
    void takeLines(const JournalLines &earlier);

    QStringList lines;
    QVector<qint64> times; // one per line
    QString resume;
    JournalHookup hookup;
};
