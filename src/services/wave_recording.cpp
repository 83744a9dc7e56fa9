#include "wave_recording.h"

#include "common/thread_order.h"

#include "file.h"
#include "session_journal.h"
#include "wave_text.h"

#include <QSaveFile>
#include <QTextCodec>
#include <QThread>
#include <QVarLengthArray>

#include <atomic>
#include <limits>
#include <optional>

namespace {

// Lines made, encoded and written at a time: some 10 ms of work, so that a
// stop is seen soon and little of the text is in memory at once.
constexpr qsizetype kLinesPerPiece = 8192;
// exportProgress follows the worker this often: enough for a progress figure,
// and no flood of notices to the interface.
constexpr int kProgressIntervalMs = 100;

} // namespace

// One export: what it writes, fixed when it is asked for, and how it went.
// Its text is made when it starts, on the interface thread, while no other
// export runs (see TimeTextFormatter). The worker thread touches nothing else;
// `ok` is read once it has finished.
struct WaveRecording::ExportJob {
    ExportJob(QString path, WaveSnapshot entries, QString header, QStringList names,
              WaveStore::TimeColumn timeColumn)
        : path(std::move(path))
        , entries(std::move(entries))
        , header(std::move(header))
        , names(std::move(names))
        , timeColumn(timeColumn)
    {
    }

    void prepare()
    {
        text.emplace(std::move(entries), std::move(header), std::move(names), timeColumn);
        codec = QTextCodec::codecForLocale();
    }
    bool write();

    const QString path;
    WaveSnapshot entries;
    QString header;
    QStringList names;
    const WaveStore::TimeColumn timeColumn;
    std::optional<WaveExportText> text;
    QTextCodec *codec = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<qsizetype> linesWritten{0};
    bool ok = false;
};

bool WaveRecording::ExportJob::write()
{
    WaveExportText &text = *this->text;
    QSaveFile file(path);
    if (!File::openForReplacement(file))
        return false;
    // One encoder for all pieces: the bytes of toLocal8Bit() on the whole
    // text (no byte-order mark), in an encoding with shift states too.
    const std::unique_ptr<QTextEncoder> encoder(codec->makeEncoder(QTextCodec::IgnoreHeader));
    QString piece = text.headerLine();
    for (qsizetype from = 0;; from += kLinesPerPiece) {
        const qsizetype to = qMin(text.lines(), from + kLinesPerPiece);
        text.appendLines(from, to, piece);
        const QByteArray bytes = encoder->fromUnicode(piece);
        // Not committed, what was written aside goes with `file`.
        if (file.write(bytes) != bytes.size() || stop.load(std::memory_order_relaxed))
            return false;
        linesWritten.store(to, std::memory_order_relaxed);
        if (to == text.lines())
            break;
        piece.truncate(0); // keeps the allocation for the next piece
    }
    return File::commitReplacement(file);
}

WaveRecording::WaveRecording(QObject *parent)
    : QObject(parent)
    , hookup(this, [this] { emit loadingChanged(); })
{
    progressTimer.setInterval(kProgressIntervalMs);
    connect(&progressTimer, &QTimer::timeout, this, [this] {
        const ExportJob &job = *exports.front();
        if (job.text->lines() > 0)
            setProgress(double(job.linesWritten.load(std::memory_order_relaxed)) /
                        double(job.text->lines()));
    });
}

WaveRecording::~WaveRecording()
{
    // The worker reads only its job (and blocks the store may have let go,
    // which the job keeps); it stops at the next piece without committing.
    if (exportThread) {
        exports.front()->stop = true;
        exportThread->wait();
        threadEndAwaited(exports.front().get());
        delete exportThread;
    }
}

void WaveRecording::setCapacity(int capacity)
{
    capacity = qMax(0, capacity);
    if (capacity == this->capacity())
        return;
    const qsizetype before = store.size();
    store.setCapacity(capacity);
    sinceLoad = qMin(sinceLoad, store.size());
    if (hookup.session())
        SessionJournal::getInstance()->trimWave(hookup.session(), hookup.key(), capacity);
    emit capacityChanged();
    setCount(before);
}

void WaveRecording::setCurveCount(int count)
{
    count = qMax(0, count);
    if (count == curveCount())
        return;
    const qsizetype before = store.size();
    store.setValuesPerEntry(count);
    if (hookup.session()) {
        // The history has the old width: it goes as the entries did.
        hookup.cancelLoad();
        sinceLoad = 0;
        SessionJournal::getInstance()->resetWave(hookup.session(), hookup.key());
    }
    emit curveCountChanged();
    setCount(before);
}

bool WaveRecording::append(double timeMs, const QVariantList &values)
{
    const int n = qMin(int(values.size()), curveCount());
    scratch.resize(n);
    for (int i = 0; i < n; ++i) {
        const QVariant &v = values.at(i);
        // Only numbers count: strings, booleans, null and undefined are NaN.
        switch (v.userType()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            scratch[i] = v.toDouble();
            break;
        default:
            scratch[i] = std::numeric_limits<double>::quiet_NaN();
        }
    }
    const qsizetype before = store.size();
    if (!store.append(timeMs, scratch.constData(), n))
        return false;
    if (hookup.session()) {
        journalEntry(store.size() - 1);
        if (hookup.isLoading())
            sinceLoad = qMin(sinceLoad + 1, store.size());
    }
    setCount(before);
    return true;
}

void WaveRecording::clear()
{
    const qsizetype before = store.size();
    store.clear();
    if (hookup.session()) {
        // A history still on its way is older than the reset.
        hookup.cancelLoad();
        sinceLoad = 0;
        SessionJournal::getInstance()->resetWave(hookup.session(), hookup.key());
    }
    setCount(before);
}

QVariantMap WaveRecording::entry(int i) const
{
    if (i < 0 || i >= store.size())
        return {};
    QVariantList vals;
    vals.reserve(curveCount());
    for (int c = 0; c < curveCount(); ++c)
        vals.append(store.valueAt(i, c));
    return {{QStringLiteral("time"), wave_text::timeText(qint64(store.timeAt(i)))},
            {QStringLiteral("vals"), vals}};
}

double WaveRecording::timeMs(int i) const
{
    if (i < 0 || i >= store.size())
        return std::numeric_limits<double>::quiet_NaN();
    return store.timeAt(i);
}

QString WaveRecording::exportText(const QString &header, const QStringList &curveNames,
                                  bool withDate) const
{
    return store.exportText(header, curveNames,
                            withDate ? WaveStore::TimeColumn::IsoDateTime
                                     : WaveStore::TimeColumn::TimeOfDay);
}

void WaveRecording::exportTo(const QString &path, const QString &header,
                             const QStringList &curveNames, bool withDate)
{
    // The snapshot costs a pointer per 4096 entries: the text is the entries
    // of the moment of asking, whatever is pushed or cleared meanwhile.
    exports.push_back(std::make_unique<ExportJob>(path, store.snapshot(), header, curveNames,
                                                  withDate ? WaveStore::TimeColumn::IsoDateTime
                                                           : WaveStore::TimeColumn::TimeOfDay));
    if (exports.size() > 1)
        return; // after the one being written
    startExport();
    emit exportingChanged();
}

void WaveRecording::startExport()
{
    ExportJob *job = exports.front().get();
    job->prepare();
    exportThread = QThread::create([job] {
        job->ok = job->write();
        threadEndReached(job);
    });
    connect(exportThread, &QThread::finished, this, &WaveRecording::finishExport,
            Qt::QueuedConnection);
    setProgress(0);
    progressTimer.start();
    exportThread->start(QThread::LowPriority);
}

void WaveRecording::finishExport()
{
    // finished() comes just before the thread ends.
    exportThread->wait();
    threadEndAwaited(exports.front().get());
    delete exportThread;
    exportThread = nullptr;
    progressTimer.stop();
    const std::unique_ptr<ExportJob> job = std::move(exports.front());
    exports.pop_front();
    if (job->ok)
        setProgress(1);
    if (exports.empty())
        emit exportingChanged();
    else
        startExport();
    emit exportFinished(job->ok, job->path);
}

void WaveRecording::setProgress(double value)
{
    if (value == progress)
        return;
    progress = value;
    emit exportProgressChanged();
}

QVariantList WaveRecording::values(int i) const
{
    QVariantList vals;
    if (i < 0 || i >= store.size())
        return vals;
    vals.reserve(curveCount());
    for (int c = 0; c < curveCount(); ++c)
        vals.append(store.valueAt(i, c));
    return vals;
}

void WaveRecording::setJournalKey(const QString &journalKey)
{
    if (!hookup.setKey(journalKey))
        return;
    sinceLoad = 0;
    emit journalKeyChanged();
    if (hookup.isComplete())
        attachJournal();
}

void WaveRecording::classBegin()
{
    hookup.classBegin();
}

void WaveRecording::componentComplete()
{
    hookup.componentComplete();
    attachJournal();
}

void WaveRecording::attachJournal()
{
    hookup.attach<std::unique_ptr<WaveStore>>(
        [this](SessionJournal &journal, quint64 session, const SessionJournal::WaveCallback &done) {
            return journal.loadWave(session, hookup.key(), curveCount(), capacity(), this, done);
        },
        [this](std::unique_ptr<WaveStore> history) { takeHistory(std::move(history)); },
        [this] {
            // Entries pushed before the key was set follow the history, in
            // the journal as here.
            for (qsizetype i = 0; i < store.size(); ++i)
                journalEntry(i);
            sinceLoad = store.size();
        });
}

void WaveRecording::takeHistory(std::unique_ptr<WaveStore> history)
{
    const qsizetype before = store.size();
    if (history && !history->isEmpty() && history->valuesPerEntry() == curveCount()) {
        history->setCapacity(store.capacity());
        QVector<double> values(curveCount());
        for (qsizetype i = store.size() - sinceLoad; i < store.size(); ++i) {
            for (int c = 0; c < curveCount(); ++c)
                values[c] = store.valueAt(i, c);
            history->append(store.timeAt(i), values.constData(), curveCount());
        }
        store = std::move(*history);
    }
    sinceLoad = 0;
    setCount(before);
    emit historyLoaded();
}

void WaveRecording::journalEntry(qsizetype i)
{
    const int width = curveCount();
    QVarLengthArray<double, 8> values(width);
    for (int c = 0; c < width; ++c)
        values[c] = store.valueAt(i, c);
    SessionJournal::getInstance()->appendSample(hookup.session(), hookup.key(),
                                                qint64(store.timeAt(i)), values.constData(), width,
                                                store.capacity());
}

void WaveRecording::setCount(qsizetype before)
{
    if (store.size() != before)
        emit countChanged();
}
