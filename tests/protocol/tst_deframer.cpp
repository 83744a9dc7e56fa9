#include "protocol/deframer.h"
#include "protocol_test_support.h"

#include <QtTest>

using namespace testsupport;

Q_DECLARE_METATYPE(QVector<Frame>)

namespace {

// The receive rules followed literally, removing one byte at a time. The
// production code is compared against this. keepIncomplete: a header whose
// frame reaches past the end ends the pass and stays with all after it.
UnpackResult referenceUnpack(QByteArray &buf, bool keepIncomplete)
{
    for (;;) {
        if (buf.size() < 7)
            return {};
        while (!buf.isEmpty() && byteAt(buf, 0) != 0xAA)
            buf.remove(0, 1);
        if (buf.size() < 7)
            return {};
        const int length = byteAt(buf, 1) | (byteAt(buf, 2) << 8);
        if (buf.size() < length + 7 && keepIncomplete)
            return {};
        if (buf.size() < length + 7 || byteAt(buf, length + 6) != 0x55) {
            buf.remove(0, 1);
            continue;
        }
        const quint16 crc = bitwiseCrc16(buf.left(length + 4));
        if (byteAt(buf, length + 4) != (crc & 0xFF) || byteAt(buf, length + 5) != (crc >> 8) ||
            byteAt(buf, 3) > 4) {
            buf.remove(0, 1);
            continue;
        }
        UnpackResult r{true, byteAt(buf, 3), buf.mid(4, length)};
        buf.remove(0, length + 7);
        return r;
    }
}

QVector<Frame> referencePass(QByteArray &buf, bool keepIncomplete)
{
    QVector<Frame> frames;
    for (UnpackResult r; (r = referenceUnpack(buf, keepIncomplete)).found;)
        frames.append(Frame{r.type, r.payload});
    return frames;
}

QVector<Frame> repeatedUnpack(QByteArray &buf)
{
    QVector<Frame> frames;
    for (UnpackResult r; (r = unpackFrame(buf)).found;)
        frames.append(Frame{r.type, r.payload});
    return frames;
}

// The frames a pass delivered and the bytes it left, as comparable text.
QString outcome(const QVector<Frame> &frames, const QByteArray &left)
{
    QStringList parts;
    for (const Frame &f : frames)
        parts.append(QString("%1:%2").arg(f.type).arg(QString::fromLatin1(f.payload.toHex())));
    return QString("[%1] left %2").arg(parts.join(", "), QString::fromLatin1(left.toHex()));
}

// Empty when unpackFrame and takeFrames under both policies deliver and
// leave what the reference does on input, else what differs.
QString compareWithReference(const QByteArray &input, int &found)
{
    QByteArray ref = input, refKeep = input, a = input, b = input, c = input;
    const QVector<Frame> drop = referencePass(ref, false), keep = referencePass(refKeep, true);
    found += drop.size();
    const QVector<Frame> x = repeatedUnpack(a), y = takeFrames(b),
                         z = takeFrames(c, TailPolicy::KeepIncomplete);
    const QStringList want{outcome(drop, ref), outcome(drop, ref), outcome(keep, refKeep)};
    const QStringList got{outcome(x, a), outcome(y, b), outcome(z, c)};
    if (got == want)
        return {};
    return QString("input %1\nunpackFrame, takeFrames Drop, Keep:\n got  %2\n want %3")
        .arg(QString::fromLatin1(input.toHex()), got.join("\n      "), want.join("\n      "))
        .left(4000);
}

// Random buffers of valid, damaged, nested and partial frames and garbage.
class Pieces {
public:
    explicit Pieces(quint32 seed)
        : rng(seed)
    {
    }

    int below(int n) { return int(rng.bounded(n)); }
    // One byte in eight a header or trailer byte: payloads hide candidates.
    QByteArray bytes(int maxLength)
    {
        QByteArray p = randomBytes(rng, below(maxLength + 1));
        for (char &c : p)
            c = below(8) ? c : below(2) ? '\xAA' : '\x55';
        return p;
    }
    QByteArray damaged(QByteArray f, int at)
    {
        xorByte(f, at, 1 + below(255));
        return f;
    }
    QByteArray piece(int longest)
    {
        QByteArray f = incomingFrame(quint8(below(5)), bytes(longest));
        QByteArray h(1, '\xAA');
        switch (below(13)) {
        case 0:
            return incomingFrame(quint8(below(256)), bytes(20));
        case 1:
            return damaged(f, f.size() - 3 + below(2)); // CRC
        case 2:
            f[f.size() - 1] = below(2) ? '\x54' : '\xAA';
            return f;
        case 3:
            return f.left(below(f.size()));
        case 4:
            return damaged(f, 4 + below(f.size() - 6)); // payload or CRC
        case 5: // a valid frame inside one with a wrong CRC: only the inner counts
            h = incomingFrame(quint8(below(5)),
                              randomBytes(rng, below(4)) + f + randomBytes(rng, below(4)));
            return damaged(h, h.size() - 2);
        case 6: // a frame inside a valid frame: only the outer counts
            return incomingFrame(quint8(below(5)), f);
        case 7: // a length far past the end of any buffer
            appendLe16(h, quint16(1000 + below(64536)));
            h.append(char(below(5)));
            return h;
        case 8:
            return QByteArray(1 + below(20), '\xAA');
        case 9:
            h = randomBytes(rng, below(24));
            for (char &c : h)
                c = below(3) ? c : '\xAA';
            return h;
        default:
            return f;
        }
    }
    QByteArray buffer(int maxPieces, int longest)
    {
        QByteArray buf;
        for (int i = below(maxPieces + 1); i > 0; --i)
            buf += piece(longest);
        // Sometimes the damage of a noisy line: bytes changed, inserted, lost.
        for (int edits = below(3) ? 0 : 1 + below(3); edits > 0 && !buf.isEmpty(); --edits) {
            const int at = below(buf.size());
            if (below(3) == 0)
                buf[at] = char(below(256));
            else if (below(2))
                buf.insert(at, char(below(256)));
            else
                buf.remove(at, 1);
        }
        return buf;
    }

    QRandomGenerator rng;
};

} // namespace

class TestDeframer : public QObject {
    Q_OBJECT

private slots:
    void pass_data();
    void pass();
    void differential_data();
    void differential();
};

static void addPass(const char *name, const QByteArray &input, const QVector<Frame> &frames,
                    const QByteArray &left = {}, bool keepIncomplete = false)
{
    QTest::newRow(name) << input << keepIncomplete << frames << left;
}

void TestDeframer::pass_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("keepIncomplete");
    QTest::addColumn<QVector<Frame>>("frames");
    QTest::addColumn<QByteArray>("left");
    const QByteArray table = hexBytes("00 7F 80 FF");
    addPass("empty status", hexBytes("AA 00 00 01 E0 3C 55"), {{1, {}}});
    addPass("message", hexBytes("AA 0E 00 03 52 65 73 65 74 20 70 61 72 61 6D 20 6F 6B 48 41 55"),
            {{3, "Reset param ok"}});
    addPass("two in order", incomingFrame(3, "first") + incomingFrame(4, table),
            {{3, "first"}, {4, table}});
    addPass("leading bytes", hexBytes("01 02 55 00") + incomingFrame(3, "hi"), {{3, "hi"}});
    for (bool keep : {false, true}) {
        for (const char *hex : {"", "AA", "AA 00 00 01 E0 3C"})
            addPass(qPrintable(QString("short '%1' %2").arg(hex).arg(keep)), hexBytes(hex), {},
                    hexBytes(hex), keep);
    }
    addPass("no header", hexBytes("00 01 02 03 04 05 06"), {});
    addPass("header in last six", hexBytes("00 01 02 03 04 05 06 07 AA 01 02"), {},
            hexBytes("AA 01 02"));
    addPass("200-byte message", incomingFrame(3, QByteArray(200, 'x')),
            {{3, QByteArray(200, 'x')}});
    // The search resumes one byte after the rejected header, finding the
    // inner frame; the outer CRC and trailer stay.
    const QByteArray type5 = incomingFrame(5, incomingFrame(3, "in"));
    addPass("type 5", type5, {{3, "in"}}, type5.right(3));
    addPass("type 0", incomingFrame(0, "x") + "\x01", {{0, "x"}}, "\x01");
    addPass("type 2", incomingFrame(2, "x") + "\x01", {{2, "x"}}, "\x01");
    addPass("stray bytes", incomingFrame(1, "p") + hexBytes("AA 12 34"), {{1, "p"}},
            hexBytes("AA 12 34"));
    QRandomGenerator rng(testSeed(0x1A26E));
    const QByteArray largest = randomBytes(rng, 65535);
    addPass("largest frame", hexBytes("00 AA") + incomingFrame(4, largest) + "\x01", {{4, largest}},
            "\x01");
    // A header pointing past the end: dropped as corrupt, or kept whole.
    const QByteArray far = hexBytes("AA FF FF 01") + incomingFrame(3, "inner");
    addPass("far header, drop", far, {{3, "inner"}});
    addPass("far header, keep", far, {}, far, true);
    // Before the incomplete header KeepIncomplete behaves as DropIncomplete.
    QByteArray bad = incomingFrame(1, "bad");
    xorByte(bad, bad.size() - 2, 1);
    const QByteArray tail = incomingFrame(4, "later").left(6) + hexBytes("00 00 00");
    addPass("keep after frames",
            hexBytes("13 AA 01 00 01 00 00 00 00 37") + bad + incomingFrame(3, "one") +
                hexBytes("55 55") + incomingFrame(0, "two") + tail,
            {{3, "one"}, {0, "two"}}, tail, true);
}

void TestDeframer::pass()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, keepIncomplete);
    QFETCH(QVector<Frame>, frames);
    QFETCH(QByteArray, left);
    const QString want = outcome(frames, left);
    QByteArray buf = input;
    const auto policy = keepIncomplete ? TailPolicy::KeepIncomplete : TailPolicy::DropIncomplete;
    const QVector<Frame> taken = takeFrames(buf, policy);
    QCOMPARE(outcome(taken, buf), want);
    if (!keepIncomplete) {
        buf = input;
        const QVector<Frame> unpacked = repeatedUnpack(buf);
        QCOMPARE(outcome(unpacked, buf), want);
    }
}

void TestDeframer::differential_data()
{
    QTest::addColumn<QByteArrayList>("inputs");
    QTest::addColumn<int>("minFrames"); // or the comparison proves little
    QByteArrayList shortFrames, longFrames, adversarial;
    Pieces pieces(testSeed(0xDEF1));
    for (int i = 0; i < 5000; ++i)
        shortFrames.append(pieces.buffer(12, 40));
    // Long enough for the CRC of a candidate to take the range arithmetic.
    for (int i = 0; i < 200; ++i)
        longFrames.append(pieces.buffer(8, 3000));
    for (int run = 0; run <= 40; ++run) {
        for (const QByteArray &after :
             {QByteArray(), incomingFrame(1, ""), incomingFrame(3, "x") + hexBytes("AA AA"),
              hexBytes("00 00 00 00 00 00 55")})
            adversarial.append(QByteArray(run, '\xAA') + after);
        // AA AA 00: a header with L = 0xAA.
        adversarial.append(hexBytes("AA AA 00") + pieces.bytes(200) + incomingFrame(1, "y"));
    }
    for (int type = 0; type < 256; ++type)
        adversarial.append(hexBytes("00") + incomingFrame(quint8(type), "abc") +
                           incomingFrame(quint8(type), {}) + hexBytes("01 02 03"));
    // Every fourth byte a header whose trailer position holds 0x55, so that
    // each candidate costs a CRC over about 4 KiB.
    const QByteArray period = hexBytes("AA 01 10 55");
    adversarial.append(period.repeated(2000) + incomingFrame(3, QByteArray(700, 'q')) +
                       period.repeated(1500) + incomingFrame(1, {}) + period.repeated(100));
    QTest::newRow("short frames") << shortFrames << 5000;
    QTest::newRow("long frames") << longFrames << 200;
    QTest::newRow("adversarial") << adversarial << 41 * 2 + 10 + 2;
}

void TestDeframer::differential()
{
    QFETCH(QByteArrayList, inputs);
    QFETCH(int, minFrames);
    int found = 0;
    for (const QByteArray &input : inputs) {
        const QString diff = compareWithReference(input, found);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
    QVERIFY2(found >= minFrames, qPrintable(QString("only %1 frames").arg(found)));
}

QTEST_GUILESS_MAIN(TestDeframer)
#include "tst_deframer.moc"
