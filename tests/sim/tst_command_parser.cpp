// Cutting command frames from the line and reading their arguments.

#include "command_decoder.h"
#include "command_parser.h"
#include "sim_test_support.h"

#include <QJsonArray>
#include <QtTest>

using namespace sim;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const QByteArray kQueryVersionFrame = hex("AA05000A0000001287 55");
const QByteArray kLaserOnFrame = hex("AA06000400010001CDCC55");
const QByteArray kCtrlModExternalFrame = hex("AA060002000100 00840C55");
const QByteArray kIntCtrlFrame = hex("AA0B00030006003214 03E803E8BA6155");

} // namespace

class TestCommandParser : public QObject {
    Q_OBJECT
private slots:
    void knownFramesDecode_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("queryVersion")
            << kQueryVersionFrame << 0x0A << "queryVersion" << QByteArray();
        QTest::newRow("setLaserState") << kLaserOnFrame << 0x04 << "setLaserState" << bytes({1});
        QTest::newRow("setCtrlMod") << kCtrlModExternalFrame << 0x02 << "setCtrlMod" << bytes({0});
        QTest::newRow("setIntCtrlParam")
            << kIntCtrlFrame << 0x03 << "setIntCtrlParam" << hex("321403E803E8");
    }

    void knownFramesDecode()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, code);
        QFETCH(QString, name);
        QFETCH(QByteArray, payload);
        CommandParser parser;
        const auto cmds = parser.feed(frame, 0);
        QCOMPARE(cmds.size(), 1);
        QCOMPARE(int(cmds[0].code), code);
        QCOMPARE(cmds[0].payload, payload);
        const DecodedCommand d = decodeCommand(cmds[0]);
        QVERIFY(d.ok);
        QCOMPARE(d.name, name);
        QCOMPARE(parser.pendingBytes(), 0);
        QCOMPARE(parser.discardedBytes(), qint64(0));
    }

    void framesSplitAnywhereStillArrive()
    {
        const QByteArray stream = kQueryVersionFrame + kIntCtrlFrame + kLaserOnFrame;
        for (int piece = 1; piece <= 7; ++piece) {
            CommandParser parser;
            QVector<RawCommand> got;
            qint64 t = 0;
            for (int at = 0; at < stream.size(); at += piece, t += 20)
                got += parser.feed(stream.mid(at, piece), t);
            QCOMPARE(got.size(), 3);
            QCOMPARE(int(got[0].code), 0x0A);
            QCOMPARE(int(got[1].code), 0x03);
            QCOMPARE(int(got[2].code), 0x04);
        }
    }

    void noiseAndCorruptFramesAreSkipped()
    {
        QByteArray badCrc = kLaserOnFrame;
        badCrc[8] = static_cast<char>(badCrc[8] ^ 1);
        QByteArray badTrailer = kLaserOnFrame;
        badTrailer[10] = 0x54;
        QByteArray badLength = kQueryVersionFrame;
        badLength[1] = 0x06; // frame length no longer payload length + 5
        QByteArray badReserved = kQueryVersionFrame;
        badReserved[4] = 0x01;
        const QByteArray stream = hex("0001AA") + badCrc + kQueryVersionFrame + badTrailer +
                                  badLength + badReserved + hex("AA") + kCtrlModExternalFrame;
        CommandParser parser;
        const auto cmds = parser.feed(stream, 0);
        QCOMPARE(cmds.size(), 2);
        QCOMPARE(int(cmds[0].code), 0x0A);
        QCOMPARE(int(cmds[1].code), 0x02);
        QCOMPARE(parser.pendingBytes(), 0);
        QCOMPARE(parser.discardedBytes(),
                 qint64(stream.size() - kQueryVersionFrame.size() - kCtrlModExternalFrame.size()));
    }

    void partialFrameWaitsButGoesStale()
    {
        CommandParser parser;
        QVERIFY(parser.feed(kIntCtrlFrame.left(9), 0).isEmpty());
        QCOMPARE(parser.pendingBytes(), 9);
        // Within the quiet gap the rest completes it.
        QCOMPARE(parser.feed(kIntCtrlFrame.mid(9), CommandParser::kStaleMs).size(), 1);

        // After a longer gap the start is given up; the tail alone is noise,
        // and a whole frame in the same delivery still gets through.
        QVERIFY(parser.feed(kIntCtrlFrame.left(9), 1000).isEmpty());
        const auto cmds =
            parser.feed(kIntCtrlFrame.mid(9) + kLaserOnFrame, 1000 + CommandParser::kStaleMs + 1);
        QCOMPARE(cmds.size(), 1);
        QCOMPARE(int(cmds[0].code), 0x04);
    }

    void oversizedClaimIsNotWaitedFor()
    {
        // A header claiming a huge payload would stall a waiting parser.
        const QByteArray stray = hex("AA0A04 0700 0504");
        CommandParser parser;
        const auto cmds = parser.feed(stray + kLaserOnFrame, 0);
        QCOMPARE(cmds.size(), 1);
        QCOMPARE(int(cmds[0].code), 0x04);
    }

    void argumentsAreBigEndian()
    {
        const DecodedCommand ic =
            decodeCommand({kSetIntCtrlParam, intCtrlPayload(50, 20, 1000, 0xFAAA)});
        QVERIFY(ic.ok);
        QCOMPARE(ic.args.value("power").toInt(), 50);
        QCOMPARE(ic.args.value("duty").toInt(), 20);
        QCOMPARE(ic.args.value("freq").toInt(), 1000);
        QCOMPARE(ic.args.value("openMs").toInt(), 64170);

        const DecodedCommand ad =
            decodeCommand({kSetAdvancedParam, advancedPayload(200, 60000, true, 100, 0x0102, 80,
                                                              0x0304, 10, 50, 11, 49)});
        QVERIFY(ad.ok);
        QCOMPARE(ad.args.size(), 11);
        QCOMPARE(ad.args.value("qcwDuty").toInt(), 200);
        QCOMPARE(ad.args.value("qcwFreq").toInt(), 60000);
        QCOMPARE(ad.args.value("qcwEnable").toBool(), true);
        QCOMPARE(ad.args.value("redLevel").toInt(), 100);
        QCOMPARE(ad.args.value("pdThes").toInt(), 0x0102);
        QCOMPARE(ad.args.value("humiThes").toInt(), 80);
        QCOMPARE(ad.args.value("pumpThes").toInt(), 0x0304);
        QCOMPARE(ad.args.value("inTempLow").toInt(), 10);
        QCOMPARE(ad.args.value("inTempHigh").toInt(), 50);
        QCOMPARE(ad.args.value("outTempLow").toInt(), 11);
        QCOMPARE(ad.args.value("outTempHigh").toInt(), 49);
    }

    void boolsAreAnyNonZeroByte()
    {
        QCOMPARE(decodeCommand({kSetLaserState, bytes({0})}).args.value("state").toBool(), false);
        QCOMPARE(decodeCommand({kSetLaserState, bytes({2})}).args.value("state").toBool(), true);
        QCOMPARE(decodeCommand({kSetCtrlMod, bytes({0xFF})}).args.value("intCtrl").toBool(), true);
    }

    void calibTableKeepsEveryByte()
    {
        const DecodedCommand c = decodeCommand({kSetCalib, bytes({1, 2, 44, 0, 255})});
        QVERIFY(c.ok);
        const QJsonArray t = c.args.value("table").toArray();
        QCOMPARE(t.size(), 5);
        QCOMPARE(t[2].toInt(), 44);
        QCOMPARE(t[4].toInt(), 255);
        QVERIFY(decodeCommand({kSetCalib, {}}).ok); // an empty table is still a command
    }

    void wrongLengthsAndUnknownCodesAreFlagged_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("name");
        QTest::newRow("setCtrlMod empty") << 0x02 << QByteArray() << "setCtrlMod";
        QTest::newRow("setLaserState 2 bytes") << 0x04 << bytes({1, 1}) << "setLaserState";
        QTest::newRow("setIntCtrlParam 5 bytes")
            << 0x03 << bytes({1, 2, 3, 4, 5}) << "setIntCtrlParam";
        QTest::newRow("setAdvancedParam 15 bytes")
            << 0x07 << QByteArray(15, '\0') << "setAdvancedParam";
        QTest::newRow("queryVersion with payload") << 0x0A << bytes({0}) << "queryVersion";
        QTest::newRow("code 0x05") << 0x05 << QByteArray() << "unknown";
        QTest::newRow("code 0x00") << 0x00 << bytes({1}) << "unknown";
    }

    void wrongLengthsAndUnknownCodesAreFlagged()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, payload);
        QFETCH(QString, name);
        const DecodedCommand c = decodeCommand({static_cast<quint8>(code), payload});
        QVERIFY(!c.ok);
        QCOMPARE(c.name, name);
        QVERIFY(!c.error.isEmpty());
        QVERIFY(c.args.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandParser)
#include "tst_command_parser.moc"
