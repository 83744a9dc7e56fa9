#include "wave_recording.h"

#include "session_journal.h"
#include "wave_text.h"

#include <QVarLengthArray>

#include <limits>

WaveRecording::WaveRecording(QObject *parent)
    : QObject(parent)
    , hookup(this, [this] { emit loadingChanged(); })
{
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
