// Cutting command frames from the line and reading their arguments.

#include "command_decoder.h"
#include "command_parser.h"
#include "frame_encoding.h"
#include "sim_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace sim;

namespace {

// Frames as the program builds them, written out by hand.
const QByteArray kQueryVersionFrame = QByteArray::fromHex("AA05000A000000128755");
const QByteArray kLaserOnFrame = QByteArray::fromHex("AA06000400010001CDCC55");
const QByteArray kCtrlModExternalFrame = QByteArray::fromHex("AA06000200010000840C55");
const QByteArray kIntCtrlFrame = QByteArray::fromHex("AA0B0003000600321403E803E8BA6155");

// After a change to a frame's header its CRC is made right again, so that
// only the changed field can be what rejects it.
using testsupport::withValidCrc;

QList<int> codes(const QVector<RawCommand> &cmds)
{
    QList<int> out;
    for (const RawCommand &c : cmds)
        out << c.code;
    return out;
}

// Arguments as compact JSON, keys sorted.
QByteArray json(const QJsonObject &args)
{
    return QJsonDocument(args).toJson(QJsonDocument::Compact);
}

} // namespace

class TestCommandParser : public QObject {
    Q_OBJECT
private slots:
    void framesSplitAnywhereStillArrive()
    {
        const QByteArray stream = kQueryVersionFrame + kIntCtrlFrame + kLaserOnFrame;
        for (int piece = 1; piece <= stream.size(); ++piece) {
            CommandParser parser;
            QVector<RawCommand> got;
            qint64 t = 0;
            for (int at = 0; at < stream.size(); at += piece, t += 20)
                got += parser.feed(stream.mid(at, piece), t);
            QCOMPARE(codes(got), (QList<int>{0x0A, 0x03, 0x04}));
            QCOMPARE(got[1].payload, QByteArray::fromHex("321403E803E8"));
            QVERIFY(got[0].payload.isEmpty());
            QCOMPARE(parser.pendingBytes(), 0);
            QCOMPARE(parser.discardedBytes(), qint64(0));
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
        badLength = withValidCrc(badLength);
        QByteArray badReserved = kQueryVersionFrame;
        badReserved[4] = 0x01;
        badReserved = withValidCrc(badReserved);
        QVERIFY(badReserved != kQueryVersionFrame && badLength != kQueryVersionFrame);
        // A consistent header whose claimed frame swallows the start of the next one.
        const QByteArray strayHeader = QByteArray::fromHex("AA0B0004000600");
        const QByteArray stream = QByteArray::fromHex("0001AA") + badCrc + kQueryVersionFrame +
                                  badTrailer + badLength + badReserved + strayHeader +
                                  kCtrlModExternalFrame;
        CommandParser parser;
        QCOMPARE(codes(parser.feed(stream, 0)), (QList<int>{0x0A, 0x02}));
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
        QCOMPARE(codes(cmds), QList<int>{0x04});
    }

    void oversizedClaimIsNotWaitedFor()
    {
        // A header claiming a huge payload would stall a waiting parser.
        CommandParser parser;
        QCOMPARE(codes(parser.feed(QByteArray::fromHex("AA0A0407000504") + kLaserOnFrame, 0)),
                 QList<int>{0x04});
    }

    void argumentsAreBigEndianAndBoolsAnyNonZeroByte()
    {
        const DecodedCommand ic =
            decodeCommand({kSetIntCtrlParam, intCtrlPayload(50, 20, 1000, 0xFAAA)});
        QVERIFY(ic.ok);
        QCOMPARE(ic.name, QString("setIntCtrlParam"));
        QCOMPARE(json(ic.args), R"({"duty":20,"freq":1000,"openMs":64170,"power":50})");
        const DecodedCommand ad =
            decodeCommand({kSetAdvancedParam, advancedPayload(200, 60000, true, 100, 0x0102, 80,
                                                              0x0304, 10, 50, 11, 49)});
        QVERIFY(ad.ok);
        QCOMPARE(json(ad.args), R"({"humiThes":80,"inTempHigh":50,"inTempLow":10,"outTempHigh":49,)"
                                R"("outTempLow":11,"pdThes":258,"pumpThes":772,"qcwDuty":200,)"
                                R"("qcwEnable":true,"qcwFreq":60000,"redLevel":100})");
        QCOMPARE(json(decodeCommand({kSetLaserState, bytes({0})}).args), R"({"state":false})");
        QCOMPARE(json(decodeCommand({kSetLaserState, bytes({2})}).args), R"({"state":true})");
        QCOMPARE(json(decodeCommand({kSetCtrlMod, bytes({0xFF})}).args), R"({"intCtrl":true})");
        const DecodedCommand calib = decodeCommand({kSetCalib, bytes({1, 2, 44, 0, 255})});
        QVERIFY(calib.ok);
        QCOMPARE(calib.args.value("table").toArray(), (QJsonArray{1, 2, 44, 0, 255}));
        QVERIFY(decodeCommand({kSetCalib, {}}).ok); // an empty table is still a command
    }

    void wrongLengthsAndUnknownCodesAreFlagged()
    {
        const QVector<QPair<RawCommand, QString>> cases{
            {{kSetCtrlMod, {}}, "setCtrlMod"},
            {{kSetLaserState, bytes({1, 1})}, "setLaserState"},
            {{kSetIntCtrlParam, QByteArray(5, 1)}, "setIntCtrlParam"},
            {{kSetAdvancedParam, QByteArray(15, 0)}, "setAdvancedParam"},
            {{kQueryVersion, bytes({0})}, "queryVersion"},
            {{0x05, {}}, "unknown"}};
        for (const auto &c : cases) {
            const DecodedCommand d = decodeCommand(c.first);
            QCOMPARE(d.name, c.second);
            QVERIFY2(!d.ok && !d.error.isEmpty() && d.args.isEmpty(), qPrintable(c.second));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandParser)
#include "tst_command_parser.moc"
