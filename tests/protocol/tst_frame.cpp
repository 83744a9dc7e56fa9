#include "protocol/data_process.h"
#include "protocol/frame.h"
#include "protocol/range_crc.h"
#include "protocol_test_support.h"

#include <QMetaMethod>
#include <QVariantMap>
#include <QtTest>

using namespace testsupport;

namespace {
QStringList capturedLines;
} // namespace

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void crc16MatchesBitwise();
    void rangeCrcMatchesBitwise();
    void packFrameLayout_data();
    void packFrameLayout();
    void knownFrames();
    void commandPayloads_data();
    void commandPayloads();
    void advancedParamDebugLines();
    void invokablesForQml();

private:
    DataProcess dp;
};

void TestFrame::crc16MatchesBitwise()
{
    QCOMPARE(crc16(QByteArray("123456789")), quint16(0x4B37));
    QCOMPARE(crc16(nullptr, 0), quint16(0xFFFF));
    QRandomGenerator rng(testSeed(0xC0FFEE));
    const QByteArray big = randomBytes(rng, 70000);
    // Every short length at several alignments, runs of equal bytes, long inputs.
    for (int length = 0; length <= 300; ++length) {
        for (int offset = 0; offset < 8; ++offset)
            QCOMPARE(crc16(big.constData() + offset, std::size_t(length)),
                     bitwiseCrc16(big.mid(offset, length)));
        for (char fill : {'\0', '\xFF'})
            QCOMPARE(crc16(QByteArray(length, fill)), bitwiseCrc16(QByteArray(length, fill)));
    }
    for (int length : {4096, 65541})
        QCOMPARE(crc16(big.left(length)), bitwiseCrc16(big.left(length)));
}

void TestFrame::rangeCrcMatchesBitwise()
{
    QRandomGenerator rng(testSeed(0x4A26E));
    const QByteArray buffer = randomBytes(rng, 140000);
    RangeCrc ranges(buffer);
    // Lengths around the switch to prefix arithmetic and up to the longest
    // range a frame needs (65535 + 4), asked for in random order.
    for (int length : {0, 1, 511, 512, 513, 1024, 4101, 20000, 65536, 65539, 65540}) {
        for (int round = 0; round < 4; ++round) {
            const int begin = int(rng.bounded(buffer.size() - length + 1));
            QCOMPARE(ranges.crc(begin, begin + length), bitwiseCrc16(buffer.mid(begin, length)));
        }
    }
    QCOMPARE(ranges.crc(0, buffer.size()), bitwiseCrc16(buffer));
}

void TestFrame::packFrameLayout_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("payloadSize");
    for (int size : {0, 1, 8, 255, 256, 65530, 65531, 70000})
        QTest::addRow("%d bytes", size) << 0x0A << size;
    QTest::addRow("code 0xFF") << 0xFF << 3;
}

void TestFrame::packFrameLayout()
{
    QFETCH(int, command);
    QFETCH(int, payloadSize);
    QRandomGenerator rng(testSeed(quint32(payloadSize)));
    const QByteArray payload = randomBytes(rng, payloadSize);
    const QByteArray f = packFrame(quint8(command), payload);
    const int n = payloadSize;
    if (n > 65530) { // n + 5 would overflow the frame length field
        QVERIFY(f.isEmpty());
        return;
    }
    QCOMPARE(f.size(), n + 10);
    QCOMPARE(byteAt(f, 0), quint8(0xAA));
    QCOMPARE(byteAt(f, 1) | (byteAt(f, 2) << 8), n + 5);
    QCOMPARE(byteAt(f, 3), quint8(command));
    QCOMPARE(byteAt(f, 4), quint8(0x00));
    QCOMPARE(byteAt(f, 5) | (byteAt(f, 6) << 8), n);
    QCOMPARE(f.mid(7, n), payload);
    QCOMPARE(quint16(byteAt(f, 7 + n) | (byteAt(f, 8 + n) << 8)), bitwiseCrc16(f.left(7 + n)));
    QCOMPARE(byteAt(f, 9 + n), quint8(0x55));
}

void TestFrame::knownFrames()
{
    QCOMPARE(dp.queryVersion(), hexBytes("AA 05 00 0A 00 00 00 12 87 55"));
    QCOMPARE(dp.setLaserState(true), hexBytes("AA 06 00 04 00 01 00 01 CD CC 55"));
    QCOMPARE(dp.setCtrlMod(false), hexBytes("AA 06 00 02 00 01 00 00 84 0C 55"));
    QCOMPARE(dp.setIntCtrlParam(50, 20, 1000, 1000),
             hexBytes("AA 0B 00 03 00 06 00 32 14 03 E8 03 E8 BA 61 55"));
}

void TestFrame::commandPayloads_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("ctrl internal") << dp.setCtrlMod(true) << 0x02 << hexBytes("01");
    QTest::newRow("laser off") << dp.setLaserState(false) << 0x04 << hexBytes("00");
    QTest::newRow("queryVersion") << dp.queryVersion() << 0x0A << QByteArray();
    QTest::newRow("queryCalibTable") << dp.queryCalibTable() << 0x0B << QByteArray();
    QTest::newRow("queryUseTime") << dp.queryUseTime() << 0x0C << QByteArray();
    QTest::newRow("resetParam") << dp.resetParam() << 0x0E << QByteArray();
    // Percentages wrap modulo 101; 16-bit values go whole, high byte first.
    QTest::newRow("int continuous")
        << dp.setIntCtrlParam(100, 0, 10000, 0xFAAA) << 0x03 << hexBytes("64 00 27 10 FA AA");
    QTest::newRow("int wrapped") << dp.setIntCtrlParam(101, 255, 0xFFFF, 0x0102) << 0x03
                                 << hexBytes("00 35 FF FF 01 02");
    QTest::newRow("advanced layout")
        << dp.setAdvancedParam(42, 0x1234, true, 77, 0xABCD, 66, 0x0A0B, 10, 50, 11, 49) << 0x07
        << hexBytes("2A 12 34 01 4D AB CD 42 0A 0B 0A 32 0B 31");
    // qcwDuty unchanged; water limits modulo 51 (60 -> 9 at offset 11).
    QTest::newRow("advanced wrapped")
        << dp.setAdvancedParam(200, 1000, false, 101, 5, 101, 7, 50, 60, 52, 255) << 0x07
        << hexBytes("C8 03 E8 00 00 00 05 00 00 07 32 09 01 00");
    QTest::newRow("advanced wrapped 2")
        << dp.setAdvancedParam(255, 0, false, 100, 0, 255, 0, 51, 102, 153, 60) << 0x07
        << hexBytes("FF 00 00 00 64 00 00 35 00 00 00 00 00 09");
    QTest::newRow("calib empty") << dp.setCalib({}) << 0x09 << QByteArray();
    QTest::newRow("calib low byte") << dp.setCalib({1, 2, 300}) << 0x09 << hexBytes("01 02 2C");
    QTest::newRow("calib numeric types")
        << dp.setCalib({255, 256, -1, 3.9, 300.0, qint64(0x1FF), quint32(513), -2.5}) << 0x09
        << hexBytes("FF 00 FF 03 2C FF 01 FE");
    QTest::newRow("calib non-numbers are 0")
        << dp.setCalib({7, "abc", QVariant(), QVariantMap{{"a", 1}}, "12", QVariantList{5}, 9})
        << 0x09 << hexBytes("07 00 00 00 00 00 09");
}

void TestFrame::commandPayloads()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    QFETCH(QByteArray, payload);
    QCOMPARE(frame.mid(7, frame.size() - 10), payload);
    QCOMPARE(frame, packFrame(quint8(code), payload));
}

void TestFrame::advancedParamDebugLines()
{
    capturedLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { capturedLines << text; });
    dp.setAdvancedParam(10, 60000, true, 150, 1, 2, 3, 4, 5, 6, 7);
    // No other builder writes anything.
    dp.setIntCtrlParam(1, 2, 3, 4);
    dp.setCalib({1, 2});
    qInstallMessageHandler(previous);
    // The red level as sent (150 modulo 101), the frequency as given; the
    // spacing is qDebug's business.
    QCOMPARE(capturedLines.replaceInStrings(" ", ""), QStringList({"red:49", "qcwFreq:60000"}));
}

void TestFrame::invokablesForQml()
{
    // QML reaches the builders through the meta-object system only.
    const QMetaObject *mo = dp.metaObject();
    QStringList invokables;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        QCOMPARE(m.methodType(), QMetaMethod::Method);
        QCOMPARE(m.returnType(), int(QMetaType::QByteArray));
        invokables.append(QString::fromLatin1(m.methodSignature()));
    }
    QCOMPARE(invokables,
             QStringList({"setCtrlMod(bool)", "setLaserState(bool)",
                          "setIntCtrlParam(uchar,uchar,ushort,ushort)",
                          "setAdvancedParam(uchar,ushort,bool,uchar,ushort,uchar,ushort,"
                          "uchar,uchar,uchar,uchar)",
                          "queryVersion()", "setCalib(QVariantList)", "queryCalibTable()",
                          "queryUseTime()", "resetParam()"}));
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
