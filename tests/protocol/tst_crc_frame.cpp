#include "protocol/frame.h"
#include "protocol/range_crc.h"
#include "protocol_test_support.h"

#include <QtTest>

using namespace testsupport;

class TestCrcFrame : public QObject {
    Q_OBJECT

private slots:
    void crcCheckValue();
    void crcMatchesBitwiseOnAllShortLengths();
    void crcIgnoresAlignmentAndSurroundingBytes();
    void crcOfLongInputs();
    void rangeCrcMatchesBitwise();
    void rangeCrcInAnyOrder();
    void packFrameLayout_data();
    void packFrameLayout();
    void packFrameKnownFrames();
    void packFrameSendsCrcLowByteFirst();
    void packFramePayloadSizeLimit();
};

void TestCrcFrame::crcCheckValue()
{
    QCOMPARE(crc16(QByteArray("123456789")), quint16(0x4B37));
    QCOMPARE(crc16(QByteArray()), quint16(0xFFFF));
    QCOMPARE(crc16(nullptr, 0), quint16(0xFFFF));
    // The empty status frame header AA 00 00 01 carries E0 3C.
    QCOMPARE(crc16(hexBytes("AA000001")), quint16(0x3CE0));
}

void TestCrcFrame::crcMatchesBitwiseOnAllShortLengths()
{
    QRandomGenerator rng(testSeed(0xC0FFEE));
    for (int length = 0; length <= 300; ++length) {
        for (int round = 0; round < 8; ++round) {
            QByteArray bytes = randomBytes(rng, length);
            // Runs of equal bytes exercise other table entries than noise.
            if (round == 6)
                bytes.fill('\xFF');
            if (round == 7)
                bytes.fill('\0');
            QCOMPARE(crc16(bytes), bitwiseCrc16(bytes));
        }
    }
}

void TestCrcFrame::crcIgnoresAlignmentAndSurroundingBytes()
{
    QRandomGenerator rng(testSeed(0xA11C));
    const QByteArray big = randomBytes(rng, 512);
    for (int offset = 0; offset < 16; ++offset) {
        for (int length = 0; length <= 64; ++length) {
            const QByteArray slice = big.mid(offset, length);
            QCOMPARE(crc16(big.constData() + offset, std::size_t(length)), bitwiseCrc16(slice));
        }
    }
}

void TestCrcFrame::crcOfLongInputs()
{
    QRandomGenerator rng(testSeed(0x10A6));
    for (int length : {1023, 4096, 65535, 65541}) {
        const QByteArray bytes = randomBytes(rng, length);
        QCOMPARE(crc16(bytes), bitwiseCrc16(bytes));
    }
}

void TestCrcFrame::rangeCrcMatchesBitwise()
{
    QRandomGenerator rng(testSeed(0x4A26E));
    const QByteArray buffer = randomBytes(rng, 140000);
    RangeCrc ranges(buffer);
    // Lengths around the switch between direct and prefix arithmetic, powers
    // of two, and the longest range a frame needs (65535 + 4).
    const int lengths[] = {0,    1,    7,    8,    511,  512,   513,   1023,
                           1024, 1025, 4097, 4101, 8192, 65536, 65539, 65540};
    for (int length : lengths) {
        for (int round = 0; round < 4; ++round) {
            const int begin = int(rng.bounded(buffer.size() - length + 1));
            QCOMPARE(ranges.crc(begin, begin + length), bitwiseCrc16(buffer.mid(begin, length)));
        }
    }
    // The whole buffer and its very end.
    QCOMPARE(ranges.crc(0, buffer.size()), bitwiseCrc16(buffer));
    QCOMPARE(ranges.crc(buffer.size() - 600, buffer.size()), bitwiseCrc16(buffer.right(600)));
}

void TestCrcFrame::rangeCrcInAnyOrder()
{
    // Ranges asked for out of order: late ranges first, then early ones,
    // overlapping ones, and ranges ending exactly where an earlier one ended.
    QRandomGenerator rng(testSeed(0x0DE2));
    for (int round = 0; round < 20; ++round) {
        const QByteArray buffer = randomBytes(rng, int(rng.bounded(600, 20000)));
        RangeCrc ranges(buffer);
        for (int query = 0; query < 30; ++query) {
            const int a = int(rng.bounded(buffer.size() + 1));
            const int b = int(rng.bounded(buffer.size() + 1));
            const int begin = qMin(a, b);
            const int end = qMax(a, b);
            QCOMPARE(ranges.crc(begin, end), bitwiseCrc16(buffer.mid(begin, end - begin)));
        }
    }
}

void TestCrcFrame::packFrameLayout_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("payloadSize");
    for (int size : {0, 1, 2, 7, 8, 9, 250, 255, 256, 257, 300, 4096, 65530}) {
        QTest::addRow("code 0x0A, %d bytes", size) << 0x0A << size;
    }
    QTest::addRow("code 0x00") << 0x00 << 3;
    QTest::addRow("code 0xFF") << 0xFF << 3;
    QTest::addRow("code 0xAA") << 0xAA << 0;
}

void TestCrcFrame::packFrameLayout()
{
    QFETCH(int, command);
    QFETCH(int, payloadSize);
    QRandomGenerator rng(testSeed(quint32(payloadSize * 7 + command)));
    const QByteArray payload = randomBytes(rng, payloadSize);

    const QByteArray f = packFrame(quint8(command), payload);
    const int n = payloadSize;
    QCOMPARE(f.size(), n + 10);
    QCOMPARE(byteAt(f, 0), quint8(0xAA));
    QCOMPARE(byteAt(f, 1) | (byteAt(f, 2) << 8), n + 5);
    QCOMPARE(byteAt(f, 3), quint8(command));
    QCOMPARE(byteAt(f, 4), quint8(0x00));
    QCOMPARE(byteAt(f, 5) | (byteAt(f, 6) << 8), n);
    QCOMPARE(f.mid(7, n), payload);
    QCOMPARE(quint16(byteAt(f, 7 + n) | (byteAt(f, 8 + n) << 8)), bitwiseCrc16(f.left(7 + n)));
    QCOMPARE(byteAt(f, 9 + n), quint8(0x55));

    // The typed overload builds the same bytes.
    if (command == 0x0A)
        QCOMPARE(packFrame(CommandCode::QueryVersion, payload), f);
}

void TestCrcFrame::packFrameKnownFrames()
{
    QCOMPARE(packFrame(CommandCode::QueryVersion, {}), hexBytes("AA05000A0000001287 55"));
    QCOMPARE(packFrame(CommandCode::SetLaserState, hexBytes("01")),
             hexBytes("AA0600040001 0001CDCC55"));
    QCOMPARE(packFrame(CommandCode::SetCtrlMod, hexBytes("00")),
             hexBytes("AA060002000100 00840C55"));
    QCOMPARE(packFrame(CommandCode::SetIntCtrlParam, hexBytes("321403E803E8")),
             hexBytes("AA0B0003000600 321403E803E8 BA6155"));
}

void TestCrcFrame::packFrameSendsCrcLowByteFirst()
{
    // queryVersion's CRC is 0x8712: 12 must come before 87.
    const QByteArray f = packFrame(CommandCode::QueryVersion, {});
    QCOMPARE(crc16(f.left(7)), quint16(0x8712));
    QCOMPARE(byteAt(f, 7), quint8(0x12));
    QCOMPARE(byteAt(f, 8), quint8(0x87));
}

void TestCrcFrame::packFramePayloadSizeLimit()
{
    const QByteArray largest = packFrame(0x09, QByteArray(65530, '\x5A'));
    QCOMPARE(largest.size(), 65540);
    QCOMPARE(byteAt(largest, 1) | (byteAt(largest, 2) << 8), 0xFFFF);
    QCOMPARE(byteAt(largest, 5) | (byteAt(largest, 6) << 8), 65530);
    QCOMPARE(byteAt(largest, 65539), quint8(0x55));

    // The frame length field would overflow: nothing is built.
    for (int size : {65531, 65535, 65536, 70000}) {
        const QByteArray f = packFrame(0x09, QByteArray(size, '\x5A'));
        QVERIFY2(f.isEmpty(), qPrintable(QString("payload of %1 bytes").arg(size)));
    }
}

QTEST_GUILESS_MAIN(TestCrcFrame)
#include "tst_crc_frame.moc"
