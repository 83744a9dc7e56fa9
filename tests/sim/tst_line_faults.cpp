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

bool crcMatches(const QByteArray &f)
{
    const int l = static_cast<quint8>(f[1]) | (static_cast<quint8>(f[2]) << 8);
    return crc16(f.left(l + 4)) ==
           (static_cast<quint8>(f[l + 4]) | (static_cast<quint8>(f[l + 5]) << 8));
}

} // namespace

class TestLineFaults : public QObject {
    Q_OBJECT
private slots:
    void replyFrameLayout()
    {
        QCOMPARE(packReplyFrame(kMessageFrame, "Reset param ok"),
                 QByteArray::fromHex("AA0E0003526573657420706172616D206F6B484155"));
        QCOMPARE(packReplyFrame(kStatusFrame, {}), QByteArray::fromHex("AA000001E03C55"));
    }

    void garbageRotatesThroughFramesWrongInOneWayOnly()
    {
        QRandomGenerator rng(3);
        const QByteArray noise = linefault::garbageBurst(rng, 0);
        QVERIFY(noise.size() >= 4 && noise.size() <= 20);
        QVERIFY(!noise.contains('\x55'));
        QVERIFY(!linefault::noise(rng, 4096).contains('\x55')); // never a trailer by chance
        const QByteArray crc = linefault::garbageBurst(rng, 1);
        QCOMPARE(crc, linefault::badCrcFrame());
        QVERIFY(!crcMatches(crc));
        QCOMPARE(static_cast<quint8>(crc.back()), quint8(0x55));
        const QByteArray trailer = linefault::garbageBurst(rng, 2);
        QCOMPARE(trailer, linefault::badTrailerFrame());
        QVERIFY(crcMatches(trailer));
        QVERIFY(static_cast<quint8>(trailer.back()) != 0x55);
        QVERIFY(static_cast<quint8>(linefault::garbageBurst(rng, 3)[3]) > 4);
        QCOMPARE(linefault::garbageBurst(rng, 5), linefault::badCrcFrame());
        for (int type : {5, 255}) {
            const QByteArray t = linefault::badTypeFrame(static_cast<quint8>(type));
            QVERIFY(crcMatches(t));
            QCOMPARE(static_cast<quint8>(t.back()), quint8(0x55));
            QCOMPARE(static_cast<quint8>(t[3]), quint8(type));
        }
    }

    void writerChunksWithGapsKeepsOrderAndClears()
    {
        FakeTransport t;
        LineWriter w(&t);
        w.setChunking(3, 5);
        w.send("abcdefgh");
        w.send("XY");
        QCOMPARE(t.writes.size(), 1); // the rest follows on the timer
        QTRY_COMPARE_WITH_TIMEOUT(t.writes, (QVector<QByteArray>{"abc", "def", "gh", "XY"}), 2000);
        t.writes.clear();
        w.send("abcdef");
        w.clear();
        QTest::qWait(50);
        QCOMPARE(t.writes, QVector<QByteArray>{"abc"});
    }

    void fillerNeverLeavesTheLineQuietFor75Ms()
    {
        FakeTransport t;
        LineWriter w(&t);
        w.setNoPause(true);
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
