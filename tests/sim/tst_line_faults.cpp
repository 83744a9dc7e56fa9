// Line faults: corrupt frames a receiver must reject, chunking, filler.

#include "line_faults.h"
#include "line_writer.h"
#include "reply_frame.h"
#include "sim_test_support.h"

#include "protocol/frame.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace sim;

namespace {

int le16(const QByteArray &f, int at)
{
    return static_cast<quint8>(f[at]) | (static_cast<quint8>(f[at + 1]) << 8);
}

bool crcMatches(const QByteArray &f)
{
    const int l = le16(f, 1);
    return crc16(f.left(l + 4)) == le16(f, l + 4);
}

} // namespace

class TestLineFaults : public QObject {
    Q_OBJECT
private slots:
    void replyFrameLayout()
    {
        // A message "Reset param ok" as the controller sends it.
        QCOMPARE(packReplyFrame(kMessageFrame, "Reset param ok"),
                 QByteArray::fromHex("AA0E0003526573657420706172616D206F6B484155"));
        QCOMPARE(packReplyFrame(kStatusFrame, {}), QByteArray::fromHex("AA000001E03C55"));
    }

    void eachCorruptFrameIsWrongInOneWayOnly()
    {
        const QByteArray crc = linefault::badCrcFrame();
        QCOMPARE(static_cast<quint8>(crc[0]), quint8(0xAA));
        QCOMPARE(static_cast<quint8>(crc.back()), quint8(0x55));
        QCOMPARE(int(crc[3]), int(kMessageFrame));
        QVERIFY(!crcMatches(crc));

        const QByteArray trailer = linefault::badTrailerFrame();
        QVERIFY(crcMatches(trailer));
        QVERIFY(static_cast<quint8>(trailer.back()) != 0x55);

        for (int type : {5, 6, 200, 255}) {
            const QByteArray t = linefault::badTypeFrame(static_cast<quint8>(type));
            QVERIFY(crcMatches(t));
            QCOMPARE(static_cast<quint8>(t.back()), quint8(0x55));
            QCOMPARE(static_cast<quint8>(t[3]), quint8(type));
        }
    }

    void garbageRotatesThroughEveryKind()
    {
        QRandomGenerator rng(3);
        const QByteArray noise = linefault::garbageBurst(rng, 0);
        QVERIFY(noise.size() >= 4 && noise.size() <= 20);
        QVERIFY(!noise.contains('\x55'));
        QCOMPARE(linefault::garbageBurst(rng, 1), linefault::badCrcFrame());
        QCOMPARE(linefault::garbageBurst(rng, 2), linefault::badTrailerFrame());
        const QByteArray typed = linefault::garbageBurst(rng, 3);
        QVERIFY(static_cast<quint8>(typed[3]) > 4);
        QCOMPARE(linefault::garbageBurst(rng, 5), linefault::badCrcFrame());
    }

    void chunksCoverTheBytesInOrder()
    {
        const QByteArray data = QByteArray::fromHex("000102030405060708090A");
        QCOMPARE(
            linefault::splitChunks(data, 4),
            (QVector<QByteArray>{QByteArray::fromHex("00010203"), QByteArray::fromHex("04050607"),
                                 QByteArray::fromHex("08090A")}));
        QCOMPARE(linefault::splitChunks(data, 11).size(), 1);
        QCOMPARE(linefault::splitChunks(data, 100).size(), 1);
        QCOMPARE(linefault::splitChunks(data, 1).size(), 11);
        QVERIFY(linefault::splitChunks({}, 4).isEmpty());
    }

    void writerChunksWithGapsAndKeepsOrder()
    {
        FakeTransport t;
        LineWriter w(&t);
        w.setChunking(3, 5);
        w.send("abcdefgh");
        w.send("XY");
        QCOMPARE(t.writes.size(), 1); // the rest follows on the timer
        QTRY_COMPARE_WITH_TIMEOUT(t.writes.size(), 4, 2000);
        QCOMPARE(t.writes, (QVector<QByteArray>{"abc", "def", "gh", "XY"}));
    }

    void writerPutsGarbageBeforeEachFrame()
    {
        FakeTransport t;
        LineWriter w(&t, 9);
        w.setGarbage(true);
        const QByteArray frame = packReplyFrame(kMessageFrame, "hello");
        for (int i = 0; i < 4; ++i)
            w.send(frame);
        QCOMPARE(t.writes.size(), 4);
        for (const QByteArray &b : t.writes) {
            QVERIFY(b.size() > frame.size());
            QVERIFY(b.endsWith(frame));
        }
        QVERIFY(t.writes[1].startsWith(linefault::badCrcFrame()));
    }

    void clearDropsWhatIsQueued()
    {
        FakeTransport t;
        LineWriter w(&t);
        w.setChunking(2, 5);
        w.send("abcdef");
        w.clear();
        QTest::qWait(50);
        QCOMPARE(t.writes, QVector<QByteArray>{"ab"});
    }

    void fillerNeverLeavesTheLineQuietFor75Ms()
    {
        FakeTransport t;
        LineWriter w(&t);
        QVERIFY(LineWriter::kFillerIntervalMs < 75);
        w.setNoPause(true);
        QVERIFY(w.noPause());
        QTRY_VERIFY_WITH_TIMEOUT(t.writes.size() >= 3, 2000);
        for (const QByteArray &b : t.writes)
            QCOMPARE(b, QByteArray(1, '\0')); // can never start a frame
        w.setNoPause(false);
        const int n = t.writes.size();
        QTest::qWait(100);
        QCOMPARE(t.writes.size(), n);
    }
};

QTEST_GUILESS_MAIN(TestLineFaults)
#include "tst_line_faults.moc"
