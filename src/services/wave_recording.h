#pragma once

#include "journal_hookup.h"
#include "wave_store.h"

#include <QObject>
#include <QQmlParserStatus>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

#include <deque>
#include <memory>

class QThread;

// The recording as a QML type (import OrrindelRecording 1.0, WaveRecording);
// the rules of the entries and the export are in wave_store.h:
//   capacity    int, default 1209600; entries kept
//   curveCount  int, default 1; values per entry (a change empties it)
//   count       int, read-only; entries held
//   append(timeMs, values)  timeMs: milliseconds since the epoch; values: a
//               list of numbers, one per curve. Answers false for an invalid time
//   clear()
//   entry(i)    {time: text, vals: list of numbers}; index 0 is the oldest;
//               an empty object outside 0 .. count - 1
//   timeMs(i)   the entry's time; NaN outside the recording
//   exportText(header, curveNames)  the whole export text
//   exportTo(path, header, curveNames)  writes the export to a file on a
//               worker thread (see below); exporting and exportProgress
//               (0 to 1, of the file being written) follow it, and
//               exportFinished(ok, path) tells how it went
//   values(i)   the entry's values; an empty list outside the recording
//   journalKey  string, default "": the recording's key in the session
//               journal (SessionJournal). When set (once the object is
//               complete), the recording loads what the journal kept for the
//               key, puts it before the entries pushed meanwhile (then
//               historyLoaded()), and journals every push, clear and
//               capacity change. A change of curveCount empties the
//               recording and the journal's. Set curveCount first.
class WaveRecording : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int capacity READ capacity WRITE setCapacity NOTIFY capacityChanged)
    Q_PROPERTY(int curveCount READ curveCount WRITE setCurveCount NOTIFY curveCountChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString journalKey READ journalKey WRITE setJournalKey NOTIFY journalKeyChanged)
    Q_PROPERTY(bool loading READ isLoading NOTIFY loadingChanged)
    Q_PROPERTY(bool exporting READ isExporting NOTIFY exportingChanged)
    Q_PROPERTY(double exportProgress READ exportProgress NOTIFY exportProgressChanged)
public:
    explicit WaveRecording(QObject *parent = nullptr);
    // Stops an export being written (its file stays as it was) and drops
    // those waiting.
    ~WaveRecording() override;

    int capacity() const { return int(store.capacity()); }
    void setCapacity(int capacity);
    int curveCount() const { return store.valuesPerEntry(); }
    void setCurveCount(int count);
    int count() const { return int(store.size()); }

    Q_INVOKABLE bool append(double timeMs, const QVariantList &values);
    Q_INVOKABLE void clear();
    Q_INVOKABLE QVariantMap entry(int i) const;
    Q_INVOKABLE double timeMs(int i) const;
    // withDate: the first column holds the local date and time (ISO 8601).
    Q_INVOKABLE QString exportText(const QString &header, const QStringList &curveNames,
                                   bool withDate = false) const;
    Q_INVOKABLE QVariantList values(int i) const;

    // Writes exportText(header, curveNames, withDate) of the entries as they
    // are now to path, a local file name, in the local 8-bit encoding (as
    // File.saveWave). The text is made and written on a worker thread, and
    // the file replaced only when every byte went out. An export asked for
    // while another is written waits for it; each ends with exportFinished.
    Q_INVOKABLE void exportTo(const QString &path, const QString &header,
                              const QStringList &curveNames, bool withDate = false);
    bool isExporting() const { return !exports.empty(); }
    double exportProgress() const { return progress; }

    const WaveStore &entries() const { return store; }

    QString journalKey() const { return hookup.key(); }
    void setJournalKey(const QString &journalKey);
    // Waiting for the journal's history.
    bool isLoading() const { return hookup.isLoading(); }

    void classBegin() override;
    void componentComplete() override;

signals:
    void capacityChanged();
    void curveCountChanged();
    void countChanged();
    void journalKeyChanged();
    void loadingChanged();
    // The journal's history is in (possibly none).
    void historyLoaded();
    void exportingChanged();
    void exportProgressChanged();
    // ok: the file holds the whole export; otherwise it is as it was.
    void exportFinished(bool ok, const QString &path);

private:
    void setCount(qsizetype before);
    void attachJournal();
    void takeHistory(std::unique_ptr<WaveStore> history);
    void journalEntry(qsizetype i);

    struct ExportJob;
    void startExport();
    void finishExport();
    void setProgress(double value);

    WaveStore store;
    QVector<double> scratch; // one push's values

    JournalHookup hookup;
    qsizetype sinceLoad = 0; // entries pushed since the load was asked for

    // The front one is being written by exportThread; the others wait.
    std::deque<std::unique_ptr<ExportJob>> exports;
    QThread *exportThread = nullptr;
    QTimer progressTimer; // reads the worker's count while it writes
    double progress = 0;
};
