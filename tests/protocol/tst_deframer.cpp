#include "protocol/deframer.h"
#include "protocol/frame.h"
#include "protocol_test_support.h"

#include <QtTest>

#include <functional>

using namespace testsupport;

namespace {

// The receive rules followed literally, one byte at a time, as slowly and
// plainly as possible. The production code is compared against this.
//   keepIncomplete: a header whose frame reaches past the end ends the pass
//   and stays in the buffer with everything after it.
UnpackResult referenceUnpack(QByteArray &buf, bool keepIncomplete = false)
{
    for (;;) {
        // 1. Fewer than 7 bytes: stop, they stay.
        if (buf.size() < 7)
            return {};
        // 2. Drop bytes until the first is 0xAA.
        while (!buf.isEmpty() && byteAt(buf, 0) != 0xAA)
            buf.remove(0, 1);
        if (buf.size() < 7)
            return {};
        // 3. The payload length.
        const int length = byteAt(buf, 1) | (byteAt(buf, 2) << 8);
        // 4. Incomplete or no trailer: drop the header byte.
        if (buf.size() < length + 7) {
            if (keepIncomplete)
                return {};
            buf.remove(0, 1);
            continue;
        }
        if (byteAt(buf, length + 6) != 0x55) {
            buf.remove(0, 1);
            continue;
        }
        // 5. CRC over bytes 0 .. L+3, low byte first.
        const quint16 crc = bitwiseCrc16(buf.left(length + 4));
        if (byteAt(buf, length + 4) != (crc & 0xFF) || byteAt(buf, length + 5) != (crc >> 8)) {
            buf.remove(0, 1);
            continue;
        }
        // 6. Types above 4 are not frames.
        if (byteAt(buf, 3) > 4) {
            buf.remove(0, 1);
            continue;
        }
        // 7. A valid frame.
        UnpackResult r;
        r.found = true;
        r.type = byteAt(buf, 3);
        r.payload = buf.mid(4, length);
        buf.remove(0, length + 7);
        return r;
    }
}

QVector<Frame> referencePass(QByteArray &buf, bool keepIncomplete = false)
{
    QVector<Frame> frames;
    for (;;) {
        UnpackResult r = referenceUnpack(buf, keepIncomplete);
        if (!r.found)
            return frames;
        frames.append(Frame{r.type, r.payload});
    }
}

QVector<Frame> repeatedUnpack(QByteArray &buf)
{
    QVector<Frame> frames;
    for (;;) {
        UnpackResult r = unpackFrame(buf);
        if (!r.found) {
            if (buf.size() >= 7)
                return {Frame{0xEE, "unpackFrame reported nothing with 7 or more bytes left"}};
            return frames;
        }
        frames.append(Frame{r.type, r.payload});
    }
}

QString describe(const QVector<Frame> &frames)
{
    QStringList parts;
    for (const Frame &f : frames)
        parts.append(QString("%1:%2").arg(f.type).arg(QString::fromLatin1(f.payload.toHex())));
    return "[" + parts.join(", ") + "]";
}

bool sameFrames(const QVector<Frame> &a, const QVector<Frame> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].payload != b[i].payload)
            return false;
    }
    return true;
}

// Runs both production entry points and the reference on copies of input.
// Returns an empty string when all agree, else what differs.
QString compareWithReference(const QByteArray &input, int *framesFound = nullptr)
{
    QByteArray refBuf = input;
    const QVector<Frame> expected = referencePass(refBuf);

    QByteArray unpackBuf = input;
    const QVector<Frame> viaUnpack = repeatedUnpack(unpackBuf);
    QByteArray takeBuf = input;
    const QVector<Frame> viaTake = takeFrames(takeBuf, TailPolicy::DropIncomplete);

    QByteArray keepRef = input;
    const QVector<Frame> keepExpected = referencePass(keepRef, true);
    QByteArray keepBuf = input;
    const QVector<Frame> viaKeep = takeFrames(keepBuf, TailPolicy::KeepIncomplete);

    if (framesFound)
        *framesFound += expected.size();
    const QString in = QString::fromLatin1(input.toHex());
    if (!sameFrames(viaUnpack, expected) || unpackBuf != refBuf)
        return QString("unpackFrame: input %1\n got %2 left %3\n want %4 left %5")
            .arg(in, describe(viaUnpack), QString::fromLatin1(unpackBuf.toHex()),
                 describe(expected), QString::fromLatin1(refBuf.toHex()));
    if (!sameFrames(viaTake, expected) || takeBuf != refBuf)
        return QString("takeFrames(Drop): input %1\n got %2 left %3\n want %4 left %5")
            .arg(in, describe(viaTake), QString::fromLatin1(takeBuf.toHex()), describe(expected),
                 QString::fromLatin1(refBuf.toHex()));
    if (!sameFrames(viaKeep, keepExpected) || keepBuf != keepRef)
        return QString("takeFrames(Keep): input %1\n got %2 left %3\n want %4 left %5")
            .arg(in, describe(viaKeep), QString::fromLatin1(keepBuf.toHex()),
                 describe(keepExpected), QString::fromLatin1(keepRef.toHex()));
    return {};
}

// Pieces from which test buffers are assembled.
class PieceMaker {
public:
    explicit PieceMaker(quint32 seed)
        : rng(seed)
    {
    }

    QByteArray payload(int maxLength)
    {
        QByteArray p = randomBytes(rng, int(rng.bounded(maxLength + 1)));
        // Headers and trailers inside payloads make nested candidates.
        for (int i = 0; i < p.size(); ++i) {
            if (rng.bounded(8) == 0)
                p[i] = rng.bounded(2) ? '\xAA' : '\x55';
        }
        return p;
    }
    QByteArray validFrame() { return incomingFrame(quint8(rng.bounded(5)), payload(40)); }
    QByteArray anyTypeFrame() { return incomingFrame(quint8(rng.bounded(256)), payload(20)); }
    QByteArray badCrcFrame()
    {
        QByteArray f = validFrame();
        xorByte(f, f.size() - 3 + int(rng.bounded(2)), int(1 + rng.bounded(255)));
        return f;
    }
    QByteArray badTrailerFrame()
    {
        QByteArray f = validFrame();
        f[f.size() - 1] = char(rng.bounded(2) ? 0x54 : 0xAA);
        return f;
    }
    QByteArray truncatedFrame()
    {
        const QByteArray f = validFrame();
        return f.left(int(rng.bounded(f.size())));
    }
    QByteArray corruptedPayloadFrame()
    {
        QByteArray f = validFrame();
        if (f.size() > 7)
            xorByte(f, 4 + int(rng.bounded(f.size() - 7)), int(1 + rng.bounded(255)));
        return f;
    }
    // An outer header that covers a valid frame, with a correct trailer but
    // a wrong CRC: only the inner frame may come out.
    QByteArray nestedInCorrupted()
    {
        QByteArray inner = randomBytes(rng, int(rng.bounded(4))) + validFrame() +
                           randomBytes(rng, int(rng.bounded(4)));
        QByteArray outer = incomingFrame(quint8(rng.bounded(5)), inner);
        xorByte(outer, outer.size() - 2, 0x40);
        return outer;
    }
    // A valid frame whose payload is itself a valid frame: only the outer one.
    QByteArray nestedInValid() { return incomingFrame(quint8(rng.bounded(5)), validFrame()); }
    // A header whose length reaches far past the end of any test buffer.
    QByteArray farHeader()
    {
        QByteArray h("\xAA", 1);
        appendLe16(h, quint16(1000 + rng.bounded(64536)));
        h.append(char(rng.bounded(5)));
        return h;
    }
    // Long enough for the CRC of a candidate to take the long-range path.
    QByteArray longFrame()
    {
        return incomingFrame(quint8(rng.bounded(5)), payload(int(rng.bounded(500, 3000))));
    }
    QByteArray longBadCrcFrame()
    {
        QByteArray f = longFrame();
        xorByte(f, f.size() - 3 + int(rng.bounded(2)), int(1 + rng.bounded(255)));
        return f;
    }
    QByteArray longNestedInCorrupted()
    {
        QByteArray inner = randomBytes(rng, int(rng.bounded(600))) + longFrame() + validFrame();
        QByteArray outer = incomingFrame(quint8(rng.bounded(5)), inner);
        xorByte(outer, 4 + int(rng.bounded(inner.size())), 0x01);
        return outer;
    }
    QByteArray longPiece()
    {
        switch (rng.bounded(5)) {
        case 0:
            return longFrame();
        case 1:
            return longBadCrcFrame();
        case 2:
            return longNestedInCorrupted();
        case 3:
            return validFrame();
        default:
            return garbageWithHeaders();
        }
    }
    QByteArray aaRun() { return QByteArray(int(1 + rng.bounded(20)), '\xAA'); }
    QByteArray garbage() { return randomBytes(rng, int(rng.bounded(12))); }
    QByteArray garbageWithHeaders()
    {
        QByteArray g = randomBytes(rng, int(rng.bounded(24)));
        for (int i = 0; i < g.size(); ++i) {
            if (rng.bounded(3) == 0)
                g[i] = '\xAA';
        }
        return g;
    }

    QByteArray anyPiece()
    {
        switch (rng.bounded(13)) {
        case 0:
        case 1:
            return validFrame();
        case 2:
            return anyTypeFrame();
        case 3:
            return badCrcFrame();
        case 4:
            return badTrailerFrame();
        case 5:
            return truncatedFrame();
        case 6:
            return corruptedPayloadFrame();
        case 7:
            return nestedInCorrupted();
        case 8:
            return nestedInValid();
        case 9:
            return farHeader();
        case 10:
            return aaRun();
        case 11:
            return garbage();
        default:
            return garbageWithHeaders();
        }
    }

    QByteArray mixedBuffer()
    {
        QByteArray buf;
        const int pieces = int(rng.bounded(12));
        for (int i = 0; i < pieces; ++i)
            buf += anyPiece();
        return buf;
    }

    QRandomGenerator rng;
};

} // namespace

class TestDeframer : public QObject {
    Q_OBJECT

private slots:
    void emptyStatusFrame();
    void twoFramesInOrder();
    void leadingBytesDiscarded();
    void shortBufferUntouched();
    void noHeaderEmptied();
    void longMessageAccepted();
    void typeAboveFourRejected();
    void typesZeroAndTwoConsumed();
    void strayBytesAfterFrameRemain();
    void largestFrame();
    void incompleteFrameIsDropped();
    void keepIncompleteStopsAtHeader();
    void keepIncompleteBehavesAsDropBeforeTheHeader();
    void keepIncompleteThenCompletes();
    void differentialRandomBuffers();
    void differentialSinglePieceKinds();
    void differentialAaRuns();
    void differentialAllTypes();
    void differentialMutatedStreams();
    void differentialLongFrames();
    void differentialCrcForcingPattern();
};

void TestDeframer::emptyStatusFrame()
{
    QByteArray buf = hexBytes("AA 00 00 01 E0 3C 55");
    const UnpackResult r = unpackFrame(buf);
    QVERIFY(r.found);
    QCOMPARE(r.type, quint8(1));
    QVERIFY(r.payload.isEmpty());
    QVERIFY(buf.isEmpty());

    buf = hexBytes("AA 00 00 01 E0 3C 55");
    const QVector<Frame> frames = takeFrames(buf);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].type, quint8(1));
    QVERIFY(frames[0].payload.isEmpty());
    QVERIFY(buf.isEmpty());
}

void TestDeframer::twoFramesInOrder()
{
    QByteArray buf = incomingFrame(3, "first") + incomingFrame(4, hexBytes("00 7F 80 FF"));
    const QVector<Frame> frames = takeFrames(buf);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].type, quint8(3));
    QCOMPARE(frames[0].payload, QByteArray("first"));
    QCOMPARE(frames[1].type, quint8(4));
    QCOMPARE(frames[1].payload, hexBytes("00 7F 80 FF"));
    QVERIFY(buf.isEmpty());
}

void TestDeframer::leadingBytesDiscarded()
{
    QByteArray buf = hexBytes("01 02 55 00") + incomingFrame(3, "hi");
    const UnpackResult r = unpackFrame(buf);
    QVERIFY(r.found);
    QCOMPARE(r.payload, QByteArray("hi"));
    QVERIFY(buf.isEmpty());
}

void TestDeframer::shortBufferUntouched()
{
    for (const QByteArray &input : {QByteArray(), hexBytes("AA"), hexBytes("01 02 03"),
                                    hexBytes("AA 00 00 01 E0 3C"), hexBytes("00 00 00 00 00 00")}) {
        QByteArray a = input;
        QVERIFY(!unpackFrame(a).found);
        QCOMPARE(a, input);
        QByteArray b = input;
        QVERIFY(takeFrames(b).isEmpty());
        QCOMPARE(b, input);
        QByteArray c = input;
        QVERIFY(takeFrames(c, TailPolicy::KeepIncomplete).isEmpty());
        QCOMPARE(c, input);
    }
}

void TestDeframer::noHeaderEmptied()
{
    QByteArray seven = hexBytes("00 01 02 03 04 05 06");
    QVERIFY(!unpackFrame(seven).found);
    QVERIFY(seven.isEmpty());

    QByteArray many(1000, '\x55');
    QVERIFY(takeFrames(many).isEmpty());
    QVERIFY(many.isEmpty());

    // With a header among the last six bytes, those stay for the next pass.
    QByteArray tail = hexBytes("00 01 02 03 04 05 06 07 AA 01 02");
    QVERIFY(takeFrames(tail).isEmpty());
    QCOMPARE(tail, hexBytes("AA 01 02"));
}

void TestDeframer::longMessageAccepted()
{
    QByteArray text(200, 'x');
    text[0] = 'A';
    text[199] = 'Z';
    QByteArray buf = incomingFrame(3, text);
    QCOMPARE(buf.size(), 207);
    const QVector<Frame> frames = takeFrames(buf);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].type, quint8(3));
    QCOMPARE(frames[0].payload, text);
    QVERIFY(buf.isEmpty());
}

void TestDeframer::typeAboveFourRejected()
{
    // A correct type 5 frame carrying a valid frame right after its header:
    // the search resumes one byte after the rejected header.
    const QByteArray inner = incomingFrame(3, "in");
    QByteArray buf = incomingFrame(5, inner);
    const QByteArray original = buf;
    QVector<Frame> frames = takeFrames(buf);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].type, quint8(3));
    QCOMPARE(frames[0].payload, QByteArray("in"));
    // The outer CRC, its trailer: three bytes after the inner frame, too few.
    QCOMPARE(buf, original.right(3));

    // A type 5 frame F whose second byte starts a valid frame G: F's length
    // bytes are G's AA and length low byte, F's type is G's length high byte.
    QByteArray g = incomingFrame(3, QByteArray(0x0505, 'g'));
    QCOMPARE(byteAt(g, 2), quint8(5));
    QByteArray f = QByteArray(1, '\xAA') + g;
    f += QByteArray(0x05AA + 4 - f.size(), '\0');
    appendLe16(f, bitwiseCrc16(f));
    f.append('\x55');
    QCOMPARE(byteAt(f, 1) | (byteAt(f, 2) << 8), 0x05AA);
    QCOMPARE(byteAt(f, 3), quint8(5));
    buf = f;
    frames = takeFrames(buf);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].type, quint8(3));
    QCOMPARE(frames[0].payload, QByteArray(0x0505, 'g'));

    for (int type = 5; type < 256; ++type) {
        QByteArray alone = incomingFrame(quint8(type), "payload");
        QVERIFY(!unpackFrame(alone).found);
        QVERIFY(alone.size() <= 6);
    }
}

void TestDeframer::typesZeroAndTwoConsumed()
{
    for (quint8 type : {0, 2}) {
        QByteArray buf = incomingFrame(type, "ignored") + hexBytes("01 02");
        const QVector<Frame> frames = takeFrames(buf);
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].type, type);
        QCOMPARE(buf, hexBytes("01 02"));
    }
}

void TestDeframer::strayBytesAfterFrameRemain()
{
    const QByteArray stray = hexBytes("AA 12 34");
    QByteArray a = incomingFrame(1, QByteArray(60, 'p')) + stray;
    QVERIFY(unpackFrame(a).found);
    QCOMPARE(a, stray);
    QVERIFY(!unpackFrame(a).found);
    QCOMPARE(a, stray);

    QByteArray b = incomingFrame(1, QByteArray(60, 'p')) + stray;
    QCOMPARE(takeFrames(b).size(), 1);
    QCOMPARE(b, stray);
}

void TestDeframer::largestFrame()
{
    QRandomGenerator rng(testSeed(0x1A26E));
    const QByteArray payload = randomBytes(rng, 65535);
    QByteArray buf = hexBytes("00 AA") + incomingFrame(4, payload) + hexBytes("01");
    const QVector<Frame> frames = takeFrames(buf);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].payload, payload);
    QCOMPARE(buf, hexBytes("01"));
}

void TestDeframer::incompleteFrameIsDropped()
{
    const QByteArray full = incomingFrame(3, "complete me");
    QByteArray buf = full.left(full.size() - 1);
    QVERIFY(takeFrames(buf).isEmpty());
    QVERIFY(buf.size() <= 6);
    // What is left cannot be the header any more: the rest arrives unframed.
    buf += full.right(1);
    QVERIFY(takeFrames(buf).isEmpty());
}

void TestDeframer::keepIncompleteStopsAtHeader()
{
    const QByteArray full = incomingFrame(3, "complete me");
    const QByteArray partial = full.left(full.size() - 2);
    QByteArray buf = hexBytes("00 01") + partial;
    QVERIFY(takeFrames(buf, TailPolicy::KeepIncomplete).isEmpty());
    QCOMPARE(buf, partial);

    // A header pointing far past the end keeps a complete frame behind it.
    QByteArray far = hexBytes("AA FF FF 01") + incomingFrame(3, "inner");
    const QByteArray farCopy = far;
    QVERIFY(takeFrames(far, TailPolicy::KeepIncomplete).isEmpty());
    QCOMPARE(far, farCopy);
    // The same bytes under DropIncomplete give the inner frame.
    QCOMPARE(takeFrames(far).size(), 1);
    QVERIFY(far.isEmpty());
}

void TestDeframer::keepIncompleteBehavesAsDropBeforeTheHeader()
{
    // Before the incomplete header: garbage, a bad-CRC frame, two valid frames.
    QByteArray bad = incomingFrame(1, "bad");
    xorByte(bad, bad.size() - 2, 1);
    const QByteArray tail = incomingFrame(4, "later").left(6) + hexBytes("00 00 00");
    QByteArray buf = hexBytes("13 AA 01 00 01 00 00 00 00 37") + bad + incomingFrame(3, "one") +
                     hexBytes("55 55") + incomingFrame(0, "two") + tail;
    const QVector<Frame> frames = takeFrames(buf, TailPolicy::KeepIncomplete);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].payload, QByteArray("one"));
    QCOMPARE(frames[1].payload, QByteArray("two"));
    QCOMPARE(buf, tail);
}

void TestDeframer::keepIncompleteThenCompletes()
{
    const QByteArray stream =
        incomingFrame(1, QByteArray(90, 's')) + incomingFrame(3, "msg") + incomingFrame(4, "t");
    // Delivered in chunks of every size, nothing is lost under KeepIncomplete.
    for (int chunk = 1; chunk <= stream.size(); ++chunk) {
        QByteArray buf;
        QVector<Frame> frames;
        for (int pos = 0; pos < stream.size(); pos += chunk) {
            buf += stream.mid(pos, chunk);
            frames += takeFrames(buf, TailPolicy::KeepIncomplete);
        }
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[1].payload, QByteArray("msg"));
        QVERIFY(buf.isEmpty());
    }
}

void TestDeframer::differentialRandomBuffers()
{
    PieceMaker maker(testSeed(0xDEF1));
    int found = 0;
    for (int i = 0; i < 4000; ++i) {
        const QByteArray input = maker.mixedBuffer();
        const QString diff = compareWithReference(input, &found);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
    // The buffers must actually contain frames, or the comparison proves little.
    QVERIFY2(found > 4000, qPrintable(QString("only %1 frames").arg(found)));
}

void TestDeframer::differentialSinglePieceKinds()
{
    PieceMaker maker(testSeed(0x5EED));
    const QVector<std::function<QByteArray()>> kinds{
        [&] { return maker.badCrcFrame(); },        [&] { return maker.badTrailerFrame(); },
        [&] { return maker.truncatedFrame(); },     [&] { return maker.nestedInCorrupted(); },
        [&] { return maker.nestedInValid(); },      [&] { return maker.farHeader(); },
        [&] { return maker.garbageWithHeaders(); }, [&] { return maker.corruptedPayloadFrame(); }};
    for (const auto &make : kinds) {
        for (int i = 0; i < 500; ++i) {
            // The same kind repeated, with a valid frame before and after.
            QByteArray input = maker.validFrame();
            for (int k = 0; k < 3; ++k)
                input += make();
            input += maker.validFrame();
            const QString diff = compareWithReference(input);
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }
}

void TestDeframer::differentialAaRuns()
{
    for (int run = 0; run <= 40; ++run) {
        for (const QByteArray &after :
             {QByteArray(), incomingFrame(1, ""), incomingFrame(3, "x") + hexBytes("AA AA"),
              hexBytes("00 00 00 00 00 00 55")}) {
            const QByteArray input = QByteArray(run, '\xAA') + after;
            const QString diff = compareWithReference(input);
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }
    // A header whose length byte is AA: AA AA 00 ... L = 0x00AA.
    QRandomGenerator rng(testSeed(0xAAAA));
    for (int i = 0; i < 200; ++i) {
        QByteArray input = hexBytes("AA AA 00") + randomBytes(rng, int(rng.bounded(200)));
        input += incomingFrame(quint8(rng.bounded(5)), randomBytes(rng, int(rng.bounded(10))));
        const QString diff = compareWithReference(input);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
}

void TestDeframer::differentialAllTypes()
{
    int found = 0;
    for (int type = 0; type < 256; ++type) {
        const QByteArray input = hexBytes("00") + incomingFrame(quint8(type), "abc") +
                                 incomingFrame(quint8(type), QByteArray()) + hexBytes("01 02 03");
        const QString diff = compareWithReference(input, &found);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
    QCOMPARE(found, 10);
}

void TestDeframer::differentialMutatedStreams()
{
    // A clean stream with a few bytes changed, inserted or removed: the
    // typical damage on a noisy line.
    PieceMaker maker(testSeed(0x4D07));
    QRandomGenerator &rng = maker.rng;
    for (int i = 0; i < 2000; ++i) {
        QByteArray input;
        for (int k = 0; k < 6; ++k)
            input += maker.validFrame();
        const int edits = int(rng.bounded(1, 4));
        for (int e = 0; e < edits; ++e) {
            const int at = int(rng.bounded(input.size()));
            switch (rng.bounded(3)) {
            case 0:
                input[at] = char(rng.bounded(256));
                break;
            case 1:
                input.insert(at, char(rng.bounded(256)));
                break;
            default:
                input.remove(at, 1);
                break;
            }
        }
        const QString diff = compareWithReference(input);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
}

void TestDeframer::differentialLongFrames()
{
    PieceMaker maker(testSeed(0x106E));
    int found = 0;
    for (int i = 0; i < 150; ++i) {
        QByteArray input;
        const int pieces = int(maker.rng.bounded(1, 10));
        for (int k = 0; k < pieces; ++k)
            input += maker.longPiece();
        // Sometimes cut: the last long frame is then incomplete.
        if (maker.rng.bounded(3) == 0)
            input.chop(int(maker.rng.bounded(qMin(input.size(), 700))));
        const QString diff = compareWithReference(input, &found);
        QVERIFY2(diff.isEmpty(), qPrintable(diff.left(2000)));
    }
    QVERIFY2(found > 300, qPrintable(QString("only %1 frames").arg(found)));
}

void TestDeframer::differentialCrcForcingPattern()
{
    // Every fourth byte a header whose trailer position holds 0x55, so that
    // each candidate costs a CRC over about 4 KiB; valid frames in between.
    QByteArray period = hexBytes("AA 01 10 55");
    QByteArray input = period.repeated(2000) + incomingFrame(3, QByteArray(700, 'q')) +
                       period.repeated(1500) + incomingFrame(1, QByteArray()) +
                       period.repeated(100);
    int found = 0;
    const QString diff = compareWithReference(input, &found);
    QVERIFY2(diff.isEmpty(), qPrintable(diff.left(2000)));
    QCOMPARE(found, 2);
}

QTEST_GUILESS_MAIN(TestDeframer)
#include "tst_deframer.moc"
