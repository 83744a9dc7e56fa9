#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/message.h"
#include "protocol/status_record.h"
#include "protocol_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <cstdlib>

using namespace testsupport;

namespace {

// The status payload layout, written down independently of the decoder:
// fields before the device number, then fields after the skipped block.
enum class Kind { Unsigned, Signed, Unread, QcwFreq };

struct FieldLayout {
    const char *key;
    int width;
    Kind kind;
    int count; // more than one: a JSON array
    double scale;
};

const FieldLayout kHead[] = {
    {"alarmState", 2, Kind::Unsigned, 1, 1},      {"intDac", 1, Kind::Unsigned, 1, 1},
    {"intPwmDuty", 1, Kind::Unsigned, 1, 1},      {"intPwmFreq", 2, Kind::Unsigned, 1, 1},
    {"intLaserOnMs", 2, Kind::Unsigned, 1, 1},    {"ambientHumi", 2, Kind::Signed, 1, 1},
    {"ambientTemp", 2, Kind::Signed, 1, 0.1},     {"pumpCurrent", 2, Kind::Unsigned, 4, 0.001},
    {"redCurrent", 2, Kind::Unsigned, 1, 1},      {"inletWaterTemp", 2, Kind::Signed, 1, 0.1},
    {"outletWaterTemp", 2, Kind::Signed, 1, 0.1}, {"opticalVals", 2, Kind::Unsigned, 2, 1},
    {"maxPower", 2, Kind::Unsigned, 1, 1},
};

const FieldLayout kTail[] = {
    {"mode", 1, Kind::Unsigned, 1, 1},
    {nullptr, 1, Kind::Unread, 1, 1},
    {"framGood", 1, Kind::Unsigned, 1, 1},
    {"rtcGood", 1, Kind::Unsigned, 1, 1},
    {"laserOutputting", 1, Kind::Unsigned, 1, 1},
    {"qbhLink", 1, Kind::Unsigned, 1, 1},
    {"waterLink", 1, Kind::Unsigned, 1, 1},
    {"emergencyStop", 1, Kind::Unsigned, 1, 1},
    {"bleState", 1, Kind::Unsigned, 1, 1},
    {"redPowerLevel", 1, Kind::Unsigned, 1, 1},
    {"qcwDuty", 1, Kind::Unsigned, 1, 1},
    {"qcwFreq", 4, Kind::QcwFreq, 1, 1},
    {"qcwEnable", 1, Kind::Unsigned, 1, 1},
    {"pdAlarmThes", 2, Kind::Unsigned, 1, 1},
    {"humiHigh", 1, Kind::Unsigned, 1, 1},
    {"pumpCurrentAlarmThes", 2, Kind::Unsigned, 1, 1},
    {"inletWaterTempLow", 1, Kind::Unsigned, 1, 1},
    {"inletWaterTempHigh", 1, Kind::Unsigned, 1, 1},
    {"outletWaterTempLow", 1, Kind::Unsigned, 1, 1},
    {"outletWaterTempHigh", 1, Kind::Unsigned, 1, 1},
    {"rtcTime", 1, Kind::Unsigned, 6, 1},
    {"db25Power", 1, Kind::Unsigned, 1, 1},
};

class StatusEncoder {
public:
    explicit StatusEncoder(QRandomGenerator &rng)
        : rng(rng)
    {
    }

    // A random status payload and the object it must decode to.
    QByteArray make(QJsonObject &expected)
    {
        QByteArray p;
        for (const FieldLayout &f : kHead)
            encodeField(f, p, expected);

        const QByteArray id = chipId();
        appendLe16(p, quint16(id.size()));
        p += id;
        QByteArray kept = id.left(9);
        if (kept.contains('\0'))
            kept.truncate(kept.indexOf('\0'));
        expected.insert("chipShortId", QString::fromUtf8(kept));

        const QByteArray skipped = randomBytes(rng, int(rng.bounded(40)));
        appendLe16(p, quint16(skipped.size()));
        p += skipped;

        for (const FieldLayout &f : kTail)
            encodeField(f, p, expected);
        p += randomBytes(rng, rng.bounded(4) == 0 ? int(rng.bounded(1, 20)) : 0);
        return p;
    }

private:
    // Edge values more often than plain chance would pick them.
    quint32 rawValue(int width)
    {
        const quint32 mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
        const quint32 top = (mask >> 1) + 1;
        switch (rng.bounded(6)) {
        case 0:
            return 0;
        case 1:
            return mask;
        case 2:
            return top; // most negative when signed
        case 3:
            return top - 1;
        default:
            return rng.generate() & mask;
        }
    }

    qint64 qcwRaw()
    {
        static const qint64 picks[] = {0,      1,      -5,      1000,       60000,          99999,
                                       100000, 100250, -100250, 2147483647, -2147483647 - 1};
        if (rng.bounded(2))
            return picks[rng.bounded(int(sizeof picks / sizeof picks[0]))];
        return qint32(rng.generate());
    }

    static double qcwDelivered(qint64 v)
    {
        qint64 r = std::llabs(v) % 100000;
        if (v < 0)
            r = -r;
        return r >= 1 ? double(r) : 1.0;
    }

    void encodeField(const FieldLayout &f, QByteArray &out, QJsonObject &expected)
    {
        QJsonArray values;
        for (int i = 0; i < f.count; ++i) {
            qint64 raw = 0;
            if (f.kind == Kind::QcwFreq) {
                raw = qcwRaw();
            } else {
                raw = rawValue(f.width);
                if (f.kind == Kind::Signed && raw >= (qint64(1) << (8 * f.width - 1)))
                    raw -= qint64(1) << (8 * f.width);
            }
            const quint32 bits = quint32(raw);
            for (int b = 0; b < f.width; ++b)
                out.append(static_cast<char>(bits >> (8 * b)));
            double value = f.scale == 1 ? double(raw) : double(raw) * f.scale;
            if (f.kind == Kind::QcwFreq)
                value = qcwDelivered(raw);
            values.append(value);
        }
        if (f.kind == Kind::Unread)
            return;
        expected.insert(f.key, f.count == 1 ? values.at(0) : QJsonValue(values));
    }

    QByteArray chipId()
    {
        const int n = rng.bounded(5) == 0 ? int(rng.bounded(10, 30)) : int(rng.bounded(10));
        QByteArray id;
        while (id.size() < n) {
            const int pick = int(rng.bounded(20));
            if (pick == 0)
                id.append('\0');
            else if (pick == 1)
                id.append("\xC3\xA9"); // may be cut in half at nine bytes
            else
                id.append(char('0' + rng.bounded(75)));
        }
        return id.left(n);
    }

    QRandomGenerator &rng;
};

struct Expected {
    quint8 type;
    QByteArray payload;
    QJsonObject status; // for status frames
};

QJsonObject decodeStatus(const QByteArray &payload)
{
    const std::optional<DevInfoRecord> r = parseDevInfo(payload);
    return r ? DataProcess::getInstance()->devInfoToJson(*r) : QJsonObject{{"rejected", true}};
}

QString firstDifference(const QJsonObject &got, const QJsonObject &want)
{
    if (got.keys() != want.keys())
        return QString("keys: %1").arg(got.keys().join(","));
    for (const QString &key : want.keys()) {
        if (got.value(key) != want.value(key))
            return QString("%1: got %2 want %3")
                .arg(key, QJsonDocument(QJsonArray{got.value(key)}).toJson(QJsonDocument::Compact),
                     QJsonDocument(QJsonArray{want.value(key)}).toJson(QJsonDocument::Compact));
    }
    return {};
}

// Bytes between frames; with headers sometimes, as a noisy line would give.
QByteArray garbage(QRandomGenerator &rng)
{
    QByteArray g = randomBytes(rng, int(rng.bounded(3) == 0 ? rng.bounded(30) : 0));
    for (int i = 0; i < g.size(); ++i) {
        if (rng.bounded(6) == 0)
            g[i] = '\xAA';
    }
    return g;
}

} // namespace

class TestStreamRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void randomStreams_data();
    void randomStreams();
};

void TestStreamRoundTrip::randomStreams_data()
{
    QTest::addColumn<bool>("drainWhileReceiving");
    QTest::newRow("one pass after the burst") << false;
    QTest::newRow("KeepIncomplete after every chunk") << true;
}

void TestStreamRoundTrip::randomStreams()
{
    QFETCH(bool, drainWhileReceiving);
    QRandomGenerator rng(testSeed(drainWhileReceiving ? 0x57AE : 0x57AF));
    StatusEncoder encoder(rng);
    int statusFrames = 0;

    for (int round = 0; round < 300; ++round) {
        QVector<Expected> expected;
        QByteArray stream;
        const int count = int(rng.bounded(1, 12));
        for (int i = 0; i < count; ++i) {
            stream += garbage(rng);
            Expected e;
            switch (rng.bounded(6)) {
            case 0:
                e.type = 3;
                e.payload = "Set advanced param success";
                break;
            case 1:
                e.type = 4;
                e.payload = randomBytes(rng, int(rng.bounded(64)));
                break;
            case 2:
                e.type = quint8(rng.bounded(2) * 2); // 0 or 2
                e.payload = randomBytes(rng, int(rng.bounded(16)));
                break;
            default:
                e.type = 1;
                e.payload = encoder.make(e.status);
                ++statusFrames;
                break;
            }
            stream += incomingFrame(e.type, e.payload);
            expected.append(e);
        }
        stream += garbage(rng);

        // Deliver in random chunks, as the port would.
        QByteArray buffer;
        QVector<Frame> frames;
        for (int pos = 0; pos < stream.size();) {
            const int chunk = int(rng.bounded(1, 120));
            buffer += stream.mid(pos, chunk);
            pos += chunk;
            if (drainWhileReceiving)
                frames += takeFrames(buffer, TailPolicy::KeepIncomplete);
        }
        frames += takeFrames(buffer, TailPolicy::DropIncomplete);
        QVERIFY(buffer.size() <= 6);

        QCOMPARE(frames.size(), expected.size());
        for (int i = 0; i < frames.size(); ++i) {
            QCOMPARE(frames[i].type, expected[i].type);
            QCOMPARE(frames[i].payload, expected[i].payload);
            if (expected[i].type == 1) {
                const QString diff =
                    firstDifference(decodeStatus(frames[i].payload), expected[i].status);
                QVERIFY2(diff.isEmpty(),
                         qPrintable(QString("round %1 frame %2: %3").arg(round).arg(i).arg(diff)));
            } else if (expected[i].type == 3) {
                QCOMPARE(decodeMessage(frames[i].payload), QString(expected[i].payload));
            }
        }
    }
    QVERIFY(statusFrames > 500);
}

QTEST_GUILESS_MAIN(TestStreamRoundTrip)
#include "tst_stream_roundtrip.moc"
