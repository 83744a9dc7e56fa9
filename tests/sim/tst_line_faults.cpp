// Line faults: corrupt frames a receiver must reject, chunking, filler.

#include "frame_encoding.h"
#include "line_faults.h"
#include "line_writer.h"
#include "reply_frame.h"
#include "sim_test_support.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace sim;

// The simulator's frames are checked with the shared CRC, not the program's.
using testsupport::frameCrcMatches;

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
        QVERIFY(!frameCrcMatches(crc));
        QCOMPARE(static_cast<quint8>(crc.back()), quint8(0x55));
        const QByteArray trailer = linefault::garbageBurst(rng, 2);
        QCOMPARE(trailer, linefault::badTrailerFrame());
        QVERIFY(frameCrcMatches(trailer));
        QVERIFY(static_cast<quint8>(trailer.back()) != 0x55);
        QVERIFY(static_cast<quint8>(linefault::garbageBurst(rng, 3)[3]) > 4);
        QCOMPARE(linefault::garbageBurst(rng, 5), linefault::badCrcFrame());
        for (int type : {5, 255}) {
            const QByteArray t = linefault::badTypeFrame(static_cast<quint8>(type));
            QVERIFY(frameCrcMatches(t));
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

    void fillerGoesBetweenChunkedFramesNeverInsideOne()
    {
        // Pieces 30 ms apart and a filler byte due every 25 ms: without care
        // most filler bytes would fall inside a frame. Frames carry zero
        // bytes of their own (length high byte, payload), so the stream is
        // read against the frames sent, not searched for zeros.
        FakeTransport t;
        LineWriter w(&t);
        w.setChunking(4, 30);
        w.setNoPause(true);
        QVector<QByteArray> frames;
        for (int i = 0; i < 4; ++i)
            frames << packReplyFrame(kMessageFrame, QByteArray("msg ") + QByteArray::number(i));
        frames << packReplyFrame(kStatusFrame, QByteArray(3, '\0'));
        for (const QByteArray &f : frames)
            w.send(f);
        auto sent = [&] {
            QByteArray all;
            for (const QByteArray &b : t.writes)
                all += b;
            return all;
        };
        // Done once the stream, without the filler after it, ends like the
        // last frame and the filler has run on a little.
        auto lastFrameOut = [&] {
            QByteArray all = sent();
            const int length = all.size();
            while (all.endsWith('\0'))
                all.chop(1);
            return all.endsWith(frames.last().right(3)) && length > all.size() + 1;
        };
        // Not a verdict: a filler byte inside the last frame shows below.
        (void)QTest::qWaitFor(lastFrameOut, 10000);
        w.setNoPause(false);
        const QByteArray stream = sent();
        int at = 0;
        int fillers = 0;
        for (const QByteArray &f : frames) {
            while (at < stream.size() && stream[at] == '\0') {
                ++at;
                ++fillers;
            }
            QCOMPARE(stream.mid(at, f.size()).toHex(), f.toHex());
            at += f.size();
        }
        while (at < stream.size() && stream[at] == '\0')
            ++at;
        QCOMPARE(at, stream.size()); // nothing but filler after the last frame
        QVERIFY(fillers > 0);        // and the filler was there between frames

        // A filler byte that fell due inside a frame comes right after it.
        t.writes.clear();
        w.setNoPause(true);
        QTRY_VERIFY_WITH_TIMEOUT(!t.writes.isEmpty(), 2000);
        t.writes.clear();
        w.send(frames[0]);
        QTRY_VERIFY_WITH_TIMEOUT(sent().size() > frames[0].size(), 2000);
        QCOMPARE(sent().left(frames[0].size() + 1).toHex(),
                 (frames[0] + QByteArray(1, '\0')).toHex());
    }

    void clearedFrameLetsTheFillerResume()
    {
        // A frame dropped half-way (the client left) must not block the filler.
        FakeTransport t;
        LineWriter w(&t);
        w.setChunking(2, 200);
        w.send(packReplyFrame(kMessageFrame, "half"));
        QCOMPARE(t.writes.size(), 1);
        w.clear();
        w.setNoPause(true);
        QTRY_VERIFY_WITH_TIMEOUT(t.writes.size() >= 3, 2000);
        for (int i = 1; i < t.writes.size(); ++i)
            QCOMPARE(t.writes[i], QByteArray(1, '\0'));
    }
};

QTEST_GUILESS_MAIN(TestLineFaults)
#include "tst_line_faults.moc"
