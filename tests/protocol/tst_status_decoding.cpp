#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/frame.h"
#include "protocol/message.h"
#include "protocol/status_record.h"
#include "protocol_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
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

QJsonObject fullPayloadJson()
{
    return QJsonObject{
        {"alarmState", 0x0102},
        {"intDac", 55},
        {"intPwmDuty", 80},
        {"intPwmFreq", 1000},
        {"intLaserOnMs", 0xFAAA},
        {"ambientHumi", 45},
        {"ambientTemp", -25 * 0.1},
        {"pumpCurrent", QJsonArray{50000 * 0.001, 1234 * 0.001, 0.0, 65535 * 0.001}},
        {"redCurrent", 300},
        {"inletWaterTemp", 235 * 0.1},
        {"outletWaterTemp", -1 * 0.1},
        {"opticalVals", QJsonArray{0x1234, 0xFFFF}},
        {"maxPower", 3000},
        {"chipShortId", "LS12345A"},
        {"mode", 1},
        {"framGood", 1},
        {"rtcGood", 0},
        {"laserOutputting", 1},
        {"qbhLink", 1},
        {"waterLink", 0},
        {"emergencyStop", 1},
        {"bleState", 2},
        {"redPowerLevel", 100},
        {"qcwDuty", 50},
        {"qcwFreq", 250},
        {"qcwEnable", 1},
        {"pdAlarmThes", 80},
        {"humiHigh", 90},
        {"pumpCurrentAlarmThes", 0xABCD},
        {"inletWaterTempLow", 10},
        {"inletWaterTempHigh", 40},
        {"outletWaterTempLow", 12},
        {"outletWaterTempHigh", 45},
        {"rtcTime", QJsonArray{26, 12, 7, 6, 16, 42}},
        {"db25Power", 99},
    };
}

QByteArray fullPayload()
{
    return hexBytes(kFullPayloadHex);
}

// The payload of fullPayload() with a different device number and skipped block.
QByteArray payloadWith(const QByteArray &chipId, const QByteArray &skipped)
{
    const QByteArray base = fullPayload();
    QByteArray p = base.left(32);
    appendLe16(p, quint16(chipId.size()));
    p += chipId;
    appendLe16(p, quint16(skipped.size()));
    p += skipped;
    p += base.mid(50);
    return p;
}

// Parses a copy that holds exactly the payload, without the terminating zero
// a QByteArray keeps, so that a sanitizer build sees a read past the end.
std::optional<DevInfoRecord> parseExact(const QByteArray &payload)
{
    const std::vector<char> exact(payload.begin(), payload.end());
    return parseDevInfo(QByteArray::fromRawData(exact.data(), int(exact.size())));
}

QJsonObject decode(const QByteArray &payload)
{
    const std::optional<DevInfoRecord> record = parseExact(payload);
    if (!record)
        return {{"rejected", true}};
    return DataProcess::getInstance()->devInfoToJson(*record);
}

QString firstDifference(const QJsonObject &got, const QJsonObject &want)
{
    for (const QString &key : want.keys()) {
        if (got.value(key) != want.value(key))
            return QString("%1: got %2 want %3")
                .arg(key, QJsonDocument(QJsonArray{got.value(key)}).toJson(QJsonDocument::Compact),
                     QJsonDocument(QJsonArray{want.value(key)}).toJson(QJsonDocument::Compact));
    }
    if (got.keys() != want.keys())
        return QString("keys differ: %1").arg(got.keys().join(","));
    return {};
}

} // namespace

class TestStatusDecoding : public QObject {
    Q_OBJECT

private slots:
    void fullPayloadDecodes();
    void keysAndJsonTypes();
    void scaledValues();
    void signedAndUnsignedWidths();
    void qcwFreqRule_data();
    void qcwFreqRule();
    void chipShortId_data();
    void chipShortId();
    void longDeviceNumberKeepsRestOfRecord();
    void shortPayloadsRejected();
    void countsPointingPastThePayload();
    void trailingBytesIgnored();
    void messageText_data();
    void messageText();
    void messageFrameThroughDeframer();
};

void TestStatusDecoding::fullPayloadDecodes()
{
    const QByteArray payload = fullPayload();
    QCOMPARE(payload.size(), 82);
    const QJsonObject got = decode(payload);
    const QString diff = firstDifference(got, fullPayloadJson());
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(got, fullPayloadJson());

    // The record itself keeps raw values; scaling belongs to the JSON step.
    const DevInfoRecord r = *parseDevInfo(payload);
    QCOMPARE(r.ambientTemp, qint16(-25));
    QCOMPARE(r.pumpCurrent[0], quint16(50000));
    QCOMPARE(r.qcwFreq, qint32(100250));
    QCOMPARE(QByteArray(r.chipShortId), QByteArray("LS12345A"));
}

void TestStatusDecoding::keysAndJsonTypes()
{
    const QJsonObject o = decode(fullPayload());
    QCOMPARE(o.size(), 35);
    const QMap<QString, int> arrays{{"pumpCurrent", 4}, {"opticalVals", 2}, {"rtcTime", 6}};
    const QStringList expectedKeys = fullPayloadJson().keys();
    QCOMPARE(o.keys(), expectedKeys);
    for (const QString &key : expectedKeys) {
        const QJsonValue v = o.value(key);
        if (key == "chipShortId") {
            QVERIFY2(v.isString(), qPrintable(key));
        } else if (arrays.contains(key)) {
            QVERIFY2(v.isArray(), qPrintable(key));
            QCOMPARE(v.toArray().size(), arrays.value(key));
            for (const QJsonValue &item : v.toArray())
                QVERIFY2(item.isDouble(), qPrintable(key));
        } else {
            QVERIFY2(v.isDouble(), qPrintable(key));
        }
    }
}

void TestStatusDecoding::scaledValues()
{
    const QJsonObject o = decode(fullPayload());
    QCOMPARE(o.value("ambientTemp").toDouble(), -2.5);
    QCOMPARE(o.value("pumpCurrent").toArray().at(0).toDouble(), 50.0);
    QCOMPARE(o.value("inletWaterTemp").toDouble(), 23.5);
    // Integers stay integers.
    QCOMPARE(o.value("intLaserOnMs").toInt(), 64170);
    QCOMPARE(o.value("alarmState").toDouble(), 258.0);
}

void TestStatusDecoding::signedAndUnsignedWidths()
{
    // Every 16-bit field 0xFFFF, every 8-bit field 0xFF, qcwFreq -1.
    QByteArray p = fullPayload();
    for (int i = 0; i < 32; ++i)
        p[i] = '\xFF';
    for (int i = 50; i < 82; ++i)
        p[i] = '\xFF';
    const QJsonObject o = decode(p);
    for (const char *u16 : {"alarmState", "intPwmFreq", "intLaserOnMs", "redCurrent", "maxPower",
                            "pdAlarmThes", "pumpCurrentAlarmThes"})
        QCOMPARE(o.value(u16).toDouble(), 65535.0);
    for (const char *s16 : {"ambientHumi"})
        QCOMPARE(o.value(s16).toDouble(), -1.0);
    for (const char *scaled : {"ambientTemp", "inletWaterTemp", "outletWaterTemp"})
        QCOMPARE(o.value(scaled).toDouble(), -1 * 0.1);
    for (const char *u8 :
         {"intDac", "intPwmDuty", "mode", "framGood", "rtcGood", "laserOutputting", "qbhLink",
          "waterLink", "emergencyStop", "bleState", "redPowerLevel", "qcwDuty", "qcwEnable",
          "humiHigh", "inletWaterTempLow", "inletWaterTempHigh", "outletWaterTempLow",
          "outletWaterTempHigh", "db25Power"})
        QCOMPARE(o.value(u8).toDouble(), 255.0);
    QCOMPARE(o.value("pumpCurrent").toArray(),
             (QJsonArray{65535 * 0.001, 65535 * 0.001, 65535 * 0.001, 65535 * 0.001}));
    QCOMPARE(o.value("opticalVals").toArray(), (QJsonArray{65535, 65535}));
    QCOMPARE(o.value("rtcTime").toArray(), (QJsonArray{255, 255, 255, 255, 255, 255}));
    QCOMPARE(o.value("qcwFreq").toDouble(), 1.0);

    // The signed fields' largest positive and smallest values.
    p = fullPayload();
    p.replace(8, 4, hexBytes("FF 7F 00 80"));
    p.replace(22, 4, hexBytes("00 80 FF 7F"));
    const QJsonObject edges = decode(p);
    QCOMPARE(edges.value("ambientHumi").toDouble(), 32767.0);
    QCOMPARE(edges.value("ambientTemp").toDouble(), -32768 * 0.1);
    QCOMPARE(edges.value("inletWaterTemp").toDouble(), -32768 * 0.1);
    QCOMPARE(edges.value("outletWaterTemp").toDouble(), 32767 * 0.1);
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
    QTest::newRow("100001") << 100001 << 1;
    QTest::newRow("100250") << 100250 << 250;
    QTest::newRow("-100250") << -100250 << 1;
    QTest::newRow("60000") << 60000 << 60000;
    QTest::newRow("int max") << INT_MAX << 83647;
    QTest::newRow("int min") << INT_MIN << 1;
}

void TestStatusDecoding::qcwFreqRule()
{
    QFETCH(qint32, raw);
    QFETCH(qint32, delivered);
    QCOMPARE(normalizedQcwFreq(raw), delivered);

    QByteArray p = fullPayload();
    const quint32 u = quint32(raw);
    QByteArray le;
    for (int shift = 0; shift < 32; shift += 8)
        le.append(static_cast<char>(u >> shift));
    p.replace(61, 4, le);
    QCOMPARE(decode(p).value("qcwFreq").toDouble(), double(delivered));
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
    QTest::newRow("utf8") << QByteArray("\xC3\xA9t\xC3\xA9")
                          << QString::fromUtf8("\xC3\xA9t\xC3\xA9");
}

void TestStatusDecoding::chipShortId()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QJsonObject o = decode(payloadWith(bytes, hexBytes("01 02 03")));
    QCOMPARE(o.value("chipShortId").toString(), expected);
    QVERIFY(o.value("chipShortId").isString());
    QCOMPARE(o.value("db25Power").toInt(), 99);
}

void TestStatusDecoding::longDeviceNumberKeepsRestOfRecord()
{
    for (int n : {10, 17, 300}) {
        QByteArray id(n, 'Z');
        id.replace(0, 9, "ABCDEFGHI");
        QJsonObject want = fullPayloadJson();
        want.insert("chipShortId", "ABCDEFGHI");
        const QByteArray payload = payloadWith(id, hexBytes("AA BB CC DD EE FF"));
        QCOMPARE(payload.size(), 68 + n + 6);
        const QString diff = firstDifference(decode(payload), want);
        QVERIFY2(diff.isEmpty(), qPrintable(QString("N=%1: %2").arg(n).arg(diff)));
    }
}

void TestStatusDecoding::shortPayloadsRejected()
{
    QVERIFY(!parseExact(QByteArray()).has_value());
    QVERIFY(!parseExact(hexBytes("01")).has_value());
    // 49 bytes: too short whatever they hold.
    QVERIFY(!parseExact(fullPayload().left(49)).has_value());
    QVERIFY(!parseExact(QByteArray(49, '\0')).has_value());
    // Every length from 50 up to one short of 68 + N + K.
    const QByteArray full = fullPayload();
    for (int size = 50; size < full.size(); ++size)
        QVERIFY2(!parseExact(full.left(size)).has_value(), qPrintable(QString::number(size)));
    QVERIFY(parseExact(full).has_value());

    // With N = K = 0 the smallest record is 68 bytes.
    const QByteArray bare = payloadWith({}, {});
    QCOMPARE(bare.size(), 68);
    QVERIFY(parseExact(bare).has_value());
    QVERIFY(!parseExact(bare.left(67)).has_value());
}

void TestStatusDecoding::countsPointingPastThePayload()
{
    // Huge counts in a payload that looks long enough at first sight.
    QByteArray hugeN = payloadWith(QByteArray(8, 'n'), QByteArray(6, 'k'));
    hugeN.replace(32, 2, hexBytes("FF FF"));
    QVERIFY(!parseExact(hugeN).has_value());

    QByteArray hugeK = payloadWith(QByteArray(8, 'n'), QByteArray(6, 'k'));
    hugeK.replace(42, 2, hexBytes("FF FF"));
    QVERIFY(!parseExact(hugeK).has_value());

    // N ends exactly where the payload ends: K cannot be read.
    QByteArray noK = fullPayload().left(32);
    appendLe16(noK, 20);
    noK += QByteArray(20, 'x');
    QCOMPARE(noK.size(), 54);
    QVERIFY(!parseExact(noK).has_value());
    noK += hexBytes("00");
    QVERIFY(!parseExact(noK).has_value());

    // One byte more than the counts allow for, one byte less.
    for (int n = 0; n < 40; ++n) {
        for (int k = 0; k < 40; k += 13) {
            const QByteArray p = payloadWith(QByteArray(n, 'i'), QByteArray(k, 's'));
            QVERIFY(parseExact(p).has_value());
            QVERIFY(!parseExact(p.left(p.size() - 1)).has_value());
        }
    }
}

void TestStatusDecoding::trailingBytesIgnored()
{
    const QJsonObject want = decode(fullPayload());
    QRandomGenerator rng(testSeed(0x7A11));
    for (int extra : {1, 2, 31, 200}) {
        const QByteArray p = fullPayload() + randomBytes(rng, extra);
        QCOMPARE(decode(p), want);
    }
}

void TestStatusDecoding::messageText_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QByteArray() << QString("");
    QTest::newRow("plain") << QByteArray("Set qcw on") << QString("Set qcw on");
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
    QTest::newRow("200 bytes") << QByteArray(200, 'm') << QString(200, QChar('m'));
}

void TestStatusDecoding::messageText()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    const QString text = decodeMessage(payload);
    if (expected.contains(QChar(0xFFFD))) {
        // How many replacement characters a bad sequence becomes is Qt's
        // business; the good text around it must survive.
        QVERIFY2(text.contains(QChar(0xFFFD)), qPrintable(text));
        QVERIFY(text.startsWith(expected.section(QChar(0xFFFD), 0, 0)));
        QVERIFY(text.endsWith(expected.section(QChar(0xFFFD), -1)));
    } else {
        QCOMPARE(text, expected);
    }
}

void TestStatusDecoding::messageFrameThroughDeframer()
{
    QByteArray buf = hexBytes("AA 0E 00 03 52 65 73 65 74 20 70 61 72 61 6D 20 6F 6B 48 41 55");
    const QVector<Frame> frames = takeFrames(buf);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].type, quint8(FrameType::Message));
    QCOMPARE(decodeMessage(frames[0].payload), QString("Reset param ok"));
    QVERIFY(buf.isEmpty());

    // A status frame with the 82-byte payload, back to back with the message.
    buf = incomingFrame(1, fullPayload()) + incomingFrame(3, "Calibrate ok");
    const QVector<Frame> two = takeFrames(buf);
    QCOMPARE(two.size(), 2);
    QCOMPARE(two[0].type, quint8(FrameType::Status));
    QCOMPARE(decode(two[0].payload), fullPayloadJson());
    QCOMPARE(decodeMessage(two[1].payload), QString("Calibrate ok"));
}

QTEST_GUILESS_MAIN(TestStatusDecoding)
#include "tst_status_decoding.moc"
