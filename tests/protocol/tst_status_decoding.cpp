#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/message.h"
#include "protocol/status_record.h"
#include "protocol_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

#include <climits>
#include <vector>

using namespace testsupport;

namespace {

// A payload with N = 8 and K = 6, written out byte by byte (82 bytes).
const char *const kFullPayloadHex =
    "02 01"                         // 0  alarmState 0x0102
    "37 50"                         // 2  intDac 55, intPwmDuty 80
    "E8 03 AA FA"                   // 4  intPwmFreq 1000, intLaserOnMs 0xFAAA
    "2D 00 E7 FF"                   // 8  ambientHumi 45, ambientTemp -25
    "50 C3 D2 04 00 00 FF FF"       // 12 pumpCurrent 50000, 1234, 0, 65535
    "2C 01"                         // 20 redCurrent 300
    "EB 00 FF FF"                   // 22 inletWaterTemp 235, outletWaterTemp -1
    "34 12 FF FF"                   // 26 opticalVals 0x1234, 0xFFFF
    "B8 0B"                         // 30 maxPower 3000
    "08 00 4C 53 31 32 33 34 35 41" // 32 N = 8, "LS12345A"
    "06 00 DE AD BE EF AA 55"       // 42 K = 6, six bytes
    "01 77"                         // 50 mode 1, a byte nobody reads
    "01 00 01 01 00 01 02"          // 52 framGood .. bleState
    "64 32"                         // 59 redPowerLevel 100, qcwDuty 50
    "9A 87 01 00"                   // 61 qcwFreq 100250
    "01"                            // 65 qcwEnable
    "50 00 5A CD AB"                // 66 pdAlarmThes 80, humiHigh 90, pumpCurrentAlarmThes 0xABCD
    "0A 28 0C 2D"                   // 71 water limits 10, 40, 12, 45
    "1A 0C 07 06 10 2A"             // 75 rtcTime
    "63";                           // 81 db25Power 99

// What the user interface must see for it: scaled values are the products
// raw x 0.1 and raw x 0.001.
QJsonObject fullPayloadJson()
{
    return QJsonDocument::fromJson(R"({
        "alarmState": 258, "intDac": 55, "intPwmDuty": 80, "intPwmFreq": 1000,
        "intLaserOnMs": 64170, "ambientHumi": 45, "ambientTemp": -2.5,
        "pumpCurrent": [50, 1.234, 0, 65.535], "redCurrent": 300, "inletWaterTemp": 23.5,
        "outletWaterTemp": -0.1, "opticalVals": [4660, 65535], "maxPower": 3000,
        "chipShortId": "LS12345A", "mode": 1, "framGood": 1, "rtcGood": 0, "laserOutputting": 1,
        "qbhLink": 1, "waterLink": 0, "emergencyStop": 1, "bleState": 2, "redPowerLevel": 100,
        "qcwDuty": 50, "qcwFreq": 250, "qcwEnable": 1, "pdAlarmThes": 80, "humiHigh": 90,
        "pumpCurrentAlarmThes": 43981, "inletWaterTempLow": 10, "inletWaterTempHigh": 40,
        "outletWaterTempLow": 12, "outletWaterTempHigh": 45, "rtcTime": [26, 12, 7, 6, 16, 42],
        "db25Power": 99})")
        .object();
}

// The full payload with another device number and skipped block.
QByteArray payloadWith(const QByteArray &chipId, const QByteArray &skipped)
{
    const QByteArray base = hexBytes(kFullPayloadHex);
    QByteArray p = base.left(32);
    appendLe16(p, quint16(chipId.size()));
    p += chipId;
    appendLe16(p, quint16(skipped.size()));
    return p + skipped + base.mid(50);
}

// Parses a copy without the terminating zero a QByteArray keeps, so that a
// sanitizer build sees any read past the end.
std::optional<DevInfoRecord> parseExact(const QByteArray &payload)
{
    const std::vector<char> exact(payload.begin(), payload.end());
    return parseDevInfo(QByteArray::fromRawData(exact.data(), int(exact.size())));
}

QJsonObject decode(const QByteArray &payload)
{
    const std::optional<DevInfoRecord> record = parseExact(payload);
    return record ? DataProcess::getInstance()->devInfoToJson(*record)
                  : QJsonObject{{"rejected", true}};
}

// The status payload layout, written down independently of the decoder:
// the fields before the device number, then those after the skipped block.
// key:width, then s signed, q the qcwFreq rule, xN an array of N, *S scaled
// by S; the key - marks a byte nobody reads.
const char *const kHeadLayout =
    "alarmState:2 intDac:1 intPwmDuty:1 intPwmFreq:2 intLaserOnMs:2 ambientHumi:2s "
    "ambientTemp:2s*0.1 pumpCurrent:2x4*0.001 redCurrent:2 inletWaterTemp:2s*0.1 "
    "outletWaterTemp:2s*0.1 opticalVals:2x2 maxPower:2";
const char *const kTailLayout =
    "mode:1 -:1 framGood:1 rtcGood:1 laserOutputting:1 qbhLink:1 waterLink:1 emergencyStop:1 "
    "bleState:1 redPowerLevel:1 qcwDuty:1 qcwFreq:4q qcwEnable:1 pdAlarmThes:2 humiHigh:1 "
    "pumpCurrentAlarmThes:2 inletWaterTempLow:1 inletWaterTempHigh:1 outletWaterTempLow:1 "
    "outletWaterTempHigh:1 rtcTime:1x6 db25Power:1";

struct Field {
    QString key;
    int width;
    QString kind;
    int count;
    double scale;
};

QVector<Field> fields(const char *layout)
{
    static const QRegularExpression re(R"((\S+):(\d)([sq]?)(?:x(\d))?(?:\*([\d.]+))?)");
    QVector<Field> out;
    for (auto it = re.globalMatch(layout); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out.append({m.captured(1), m.captured(2).toInt(), m.captured(3),
                    m.captured(4).isEmpty() ? 1 : m.captured(4).toInt(),
                    m.captured(5).isEmpty() ? 1.0 : m.captured(5).toDouble()});
    }
    return out;
}

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
        for (const Field &f : fields(kHeadLayout))
            encode(f, p, expected);
        const QByteArray id = chipId();
        appendLe16(p, quint16(id.size()));
        p += id;
        // The first nine bytes, up to a zero byte.
        expected.insert("chipShortId", QString::fromUtf8(id.left(9).constData()));
        const QByteArray skipped = randomBytes(rng, int(rng.bounded(40)));
        appendLe16(p, quint16(skipped.size()));
        p += skipped;
        for (const Field &f : fields(kTailLayout))
            encode(f, p, expected);
        return p + randomBytes(rng, rng.bounded(4) ? 0 : int(rng.bounded(1, 20)));
    }

private:
    // Edge values (0, all ones, the sign bit alone and below it) more often
    // than chance would pick them.
    qint64 raw(const Field &f)
    {
        const quint32 mask = 0xFFFFFFFFu >> (32 - 8 * f.width);
        const quint32 top = (mask >> 1) + 1;
        const quint32 picks[] = {0, mask, top, top - 1, rng.generate() & mask};
        const qint64 v = picks[qMin(4, int(rng.bounded(6)))];
        return !f.kind.isEmpty() && v >= top ? v - mask - 1 : v;
    }

    void encode(const Field &f, QByteArray &out, QJsonObject &expected)
    {
        QJsonArray values;
        for (int i = 0; i < f.count; ++i) {
            const qint64 v = raw(f);
            for (int b = 0; b < f.width; ++b)
                out.append(static_cast<char>(quint32(v) >> (8 * b)));
            // qcwFreq: the remainder modulo 100000 (truncated), or 1 below 1.
            const qint64 r = v % 100000;
            values.append(f.kind == "q"  ? double(r >= 1 ? r : 1)
                          : f.scale == 1 ? double(v)
                                         : double(v) * f.scale);
        }
        if (f.key != "-")
            expected.insert(f.key, f.count == 1 ? values.at(0) : QJsonValue(values));
    }

    // Up to 29 bytes, zero bytes and pieces of a two-byte character among them.
    QByteArray chipId()
    {
        QByteArray id(int(rng.bounded(rng.bounded(5) ? 10 : 30)), '\0');
        for (char &c : id)
            c = "\0\xC3\xA9"
                "AZ09"[rng.bounded(7)];
        return id;
    }

    QRandomGenerator &rng;
};

struct Expected {
    quint8 type;
    QByteArray payload;
    QJsonObject status;
};

QString json(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

class TestStatusDecoding : public QObject {
    Q_OBJECT

private slots:
    void fullPayload();
    void qcwFreqRule_data();
    void qcwFreqRule();
    void chipShortId_data();
    void chipShortId();
    void payloadsTooShortForTheirCounts();
    void messageText_data();
    void messageText();
    void randomStreams_data();
    void randomStreams();
};

void TestStatusDecoding::fullPayload()
{
    const QByteArray payload = hexBytes(kFullPayloadHex);
    QCOMPARE(payload.size(), 82);
    // QJsonObject equality covers the 35 keys, their JSON types and values.
    const QJsonObject o = decode(payload);
    QCOMPARE(fullPayloadJson().size(), 35);
    QCOMPARE(o, fullPayloadJson());
    QCOMPARE(decode(payload + "\x01\x02 trailing bytes"), o);
}

void TestStatusDecoding::qcwFreqRule_data()
{
    QTest::addColumn<qint32>("raw");
    QTest::addColumn<qint32>("delivered");
    QTest::newRow("1000") << 1000 << 1000;
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("-5") << -5 << 1;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("99999") << 99999 << 99999;
    QTest::newRow("100000") << 100000 << 1;
    QTest::newRow("100250") << 100250 << 250;
    QTest::newRow("-100250") << -100250 << 1;
    QTest::newRow("int max") << INT_MAX << 83647;
    QTest::newRow("int min") << INT_MIN << 1;
}

void TestStatusDecoding::qcwFreqRule()
{
    QFETCH(qint32, raw);
    QFETCH(qint32, delivered);
    QByteArray p = hexBytes(kFullPayloadHex);
    for (int i = 0; i < 4; ++i)
        p[61 + i] = static_cast<char>(quint32(raw) >> (8 * i));
    QCOMPARE(decode(p).value("qcwFreq"), QJsonValue(delivered));
}

void TestStatusDecoding::chipShortId_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("cut at zero") << QByteArray("AB\0CDEFG", 8) << QString("AB");
    QTest::newRow("leading zero") << QByteArray("\0ABC", 4) << QString();
    QTest::newRow("nine") << QByteArray("123456789") << QString("123456789");
    QTest::newRow("ten keeps nine") << QByteArray("123456789X") << QString("123456789");
    QTest::newRow("300 keep nine")
        << QByteArray("ABCDEFGHI") + QByteArray(291, 'Z') << QString("ABCDEFGHI");
    QTest::newRow("utf8") << QByteArray("\xC3\xA9t\xC3\xA9")
                          << QString::fromUtf8("\xC3\xA9t\xC3\xA9");
}

void TestStatusDecoding::chipShortId()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    // The rest of the record stays valid whatever the device number holds.
    QJsonObject want = fullPayloadJson();
    want.insert("chipShortId", expected);
    QCOMPARE(decode(payloadWith(bytes, hexBytes("01 02 03"))), want);
}

void TestStatusDecoding::payloadsTooShortForTheirCounts()
{
    const QByteArray full = hexBytes(kFullPayloadHex);
    QVERIFY(!parseExact(QByteArray()).has_value());
    QVERIFY(!parseExact(QByteArray(49, '\0')).has_value());
    for (int size = 49; size < full.size(); ++size)
        QVERIFY2(!parseExact(full.left(size)).has_value(), qPrintable(QString::number(size)));

    // Exactly 68 + N + K bytes decode; one byte less does not.
    for (int n = 0; n < 40; ++n) {
        for (int k = 0; k < 40; k += 13) {
            const QByteArray p = payloadWith(QByteArray(n, 'i'), QByteArray(k, 's'));
            QCOMPARE(p.size(), 68 + n + k);
            QVERIFY(parseExact(p).has_value());
            QVERIFY(!parseExact(p.left(p.size() - 1)).has_value());
        }
    }

    // Huge counts in a payload that looks long enough at first sight.
    for (int countAt : {32, 42}) {
        QByteArray huge = full;
        huge.replace(countAt, 2, hexBytes("FF FF"));
        QVERIFY(!parseExact(huge).has_value());
    }
    // The device number ends where the payload ends: K cannot be read.
    QByteArray noK = full.left(32);
    appendLe16(noK, 20);
    noK += QByteArray(20, 'x');
    QVERIFY(!parseExact(noK).has_value());
    QVERIFY(!parseExact(noK + '\0').has_value());
}

void TestStatusDecoding::messageText_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QByteArray() << QString("");
    QTest::newRow("zero ends text")
        << QByteArray("Reset param ok\0junk", 19) << QString("Reset param ok");
    QTest::newRow("only zero") << QByteArray("\0abc", 4) << QString("");
    QTest::newRow("utf8") << QByteArray("\xE6\xA0\xA1\xE5\x87\x86 ok")
                          << QString::fromUtf8("\xE6\xA0\xA1\xE5\x87\x86 ok");
    QTest::newRow("invalid utf8") << QByteArray("ab\xFF"
                                                "cd")
                                  << (QString("ab") + QChar(0xFFFD) + QString("cd"));
    QTest::newRow("truncated sequence")
        << QByteArray("x\xE6\xA0") << (QString("x") + QChar(0xFFFD));
}

void TestStatusDecoding::messageText()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    const QString text = decodeMessage(payload);
    // How many replacement characters a bad sequence becomes is Qt's
    // business; the good text around it must survive.
    const QStringList good = expected.split(QChar(0xFFFD));
    QVERIFY2(good.size() == 1 ? text == expected
                              : text.contains(QChar(0xFFFD)) && text.startsWith(good.first()) &&
                                    text.endsWith(good.last()),
             qPrintable(text));
}

void TestStatusDecoding::randomStreams_data()
{
    QTest::addColumn<bool>("drainWhileReceiving");
    QTest::newRow("one pass after the burst") << false;
    QTest::newRow("KeepIncomplete after every chunk") << true;
}

// Random records -> payload -> frame -> chunks -> de-framer -> decoder.
void TestStatusDecoding::randomStreams()
{
    QFETCH(bool, drainWhileReceiving);
    QRandomGenerator rng(testSeed(drainWhileReceiving ? 0x57AE : 0x57AF));
    StatusEncoder encoder(rng);
    int statusFrames = 0;
    for (int round = 0; round < 300; ++round) {
        QVector<Expected> expected;
        QByteArray stream;
        // Noise between frames, headers included, as a busy line gives.
        const auto noise = [&rng] {
            QByteArray g = randomBytes(rng, rng.bounded(3) ? 0 : int(rng.bounded(30)));
            for (char &c : g)
                c = rng.bounded(6) ? c : '\xAA';
            return g;
        };
        for (int i = int(rng.bounded(1, 12)); i > 0; --i) {
            Expected e;
            const int kind = int(rng.bounded(6));
            e.type = quint8(kind == 0 ? 3 : kind == 1 ? 4 : kind == 2 ? rng.bounded(2) * 2 : 1);
            if (e.type == 1) {
                e.payload = encoder.make(e.status);
                ++statusFrames;
            } else {
                e.payload = e.type == 3 ? QByteArray("Set advanced param success")
                                        : randomBytes(rng, int(rng.bounded(64)));
            }
            stream += noise() + incomingFrame(e.type, e.payload);
            expected.append(e);
        }
        stream += noise();

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
                const QJsonObject got = decode(frames[i].payload);
                QVERIFY2(got == expected[i].status,
                         qPrintable(QString("round %1\n got  %2\n want %3")
                                        .arg(round)
                                        .arg(json(got), json(expected[i].status))));
            } else if (expected[i].type == 3) {
                QCOMPARE(decodeMessage(frames[i].payload), QString(expected[i].payload));
            }
        }
    }
    QVERIFY(statusFrames > 500);
}

QTEST_GUILESS_MAIN(TestStatusDecoding)
#include "tst_status_decoding.moc"
