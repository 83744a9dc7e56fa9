#include "protocol/data_process.h"
#include "protocol_test_support.h"

#include <QMetaMethod>
#include <QVariantMap>
#include <QtTest>

using namespace testsupport;

namespace {

QStringList capturedLines;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    capturedLines.append(text);
}

// Collects the debug output written while it lives.
class DebugCapture {
public:
    DebugCapture()
    {
        capturedLines.clear();
        previous = qInstallMessageHandler(captureMessage);
    }
    ~DebugCapture() { qInstallMessageHandler(previous); }
    QStringList lines() const { return capturedLines; }

private:
    QtMessageHandler previous = nullptr;
};

QByteArray payloadOf(const QByteArray &frame)
{
    return frame.mid(7, frame.size() - 10);
}

quint8 codeOf(const QByteArray &frame)
{
    return byteAt(frame, 3);
}

// The text after a debug line's label, e.g. "red: 9" -> "9".
QString valueAfter(const QString &line, const QString &label)
{
    if (!line.startsWith(label))
        return QString("<missing %1 in '%2'>").arg(label, line);
    return line.mid(label.size()).trimmed();
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void singleInstance();
    void knownFrames();
    void flagsAreOneByte();
    void emptyPayloadCommands_data();
    void emptyPayloadCommands();
    void intCtrlParamEncoding();
    void advancedParamLayout();
    void advancedParamModuloRules();
    void advancedParamDebugLines();
    void otherBuildersWriteNoDebugLines();
    void calibPayload();
    void calibNonNumbersCountAsZero();
    void invokableThroughMetaObject();

private:
    DataProcess dp;
};

void TestCommands::singleInstance()
{
    DataProcess *first = DataProcess::getInstance();
    QVERIFY(first != nullptr);
    QCOMPARE(DataProcess::getInstance(), first);
}

void TestCommands::knownFrames()
{
    QCOMPARE(dp.queryVersion(), hexBytes("AA 05 00 0A 00 00 00 12 87 55"));
    QCOMPARE(dp.setLaserState(true), hexBytes("AA 06 00 04 00 01 00 01 CD CC 55"));
    QCOMPARE(dp.setCtrlMod(false), hexBytes("AA 06 00 02 00 01 00 00 84 0C 55"));
    QCOMPARE(dp.setIntCtrlParam(50, 20, 1000, 1000),
             hexBytes("AA 0B 00 03 00 06 00 32 14 03 E8 03 E8 BA 61 55"));
}

void TestCommands::flagsAreOneByte()
{
    QCOMPARE(codeOf(dp.setCtrlMod(true)), quint8(0x02));
    QCOMPARE(payloadOf(dp.setCtrlMod(true)), hexBytes("01"));
    QCOMPARE(payloadOf(dp.setCtrlMod(false)), hexBytes("00"));
    QCOMPARE(codeOf(dp.setLaserState(false)), quint8(0x04));
    QCOMPARE(payloadOf(dp.setLaserState(false)), hexBytes("00"));
    QCOMPARE(payloadOf(dp.setLaserState(true)), hexBytes("01"));
}

void TestCommands::emptyPayloadCommands_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");
    QTest::newRow("queryVersion") << dp.queryVersion() << 0x0A;
    QTest::newRow("queryCalibTable") << dp.queryCalibTable() << 0x0B;
    QTest::newRow("queryUseTime") << dp.queryUseTime() << 0x0C;
    QTest::newRow("resetParam") << dp.resetParam() << 0x0E;
    QTest::newRow("setCalib empty") << dp.setCalib({}) << 0x09;
}

void TestCommands::emptyPayloadCommands()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    QCOMPARE(frame.size(), 10);
    QCOMPARE(codeOf(frame), quint8(code));
    QCOMPARE(byteAt(frame, 1) | (byteAt(frame, 2) << 8), 5);
    QCOMPARE(byteAt(frame, 5) | (byteAt(frame, 6) << 8), 0);
    QCOMPARE(quint16(byteAt(frame, 7) | (byteAt(frame, 8) << 8)), bitwiseCrc16(frame.left(7)));
    QCOMPARE(byteAt(frame, 9), quint8(0x55));
}

void TestCommands::intCtrlParamEncoding()
{
    const QByteArray f = dp.setIntCtrlParam(100, 0, 10000, 0xFAAA);
    QCOMPARE(codeOf(f), quint8(0x03));
    QCOMPARE(payloadOf(f), hexBytes("64 00 27 10 FA AA"));

    // Percentages wrap modulo 101; 16-bit values pass whole, high byte first.
    QCOMPARE(payloadOf(dp.setIntCtrlParam(101, 202, 0xFFFF, 0x0102)),
             hexBytes("00 00 FF FF 01 02"));
    QCOMPARE(payloadOf(dp.setIntCtrlParam(255, 150, 1, 60000)), hexBytes("35 31 00 01 EA 60"));
    QCOMPARE(payloadOf(dp.setIntCtrlParam(44, 99, 0, 1)), hexBytes("2C 63 00 00 00 01"));
}

void TestCommands::advancedParamLayout()
{
    DebugCapture capture;
    const QByteArray f =
        dp.setAdvancedParam(/*qcwDuty*/ 42, /*qcwFreq*/ 0x1234, /*qcwEnable*/ true,
                            /*redLevel*/ 77, /*pdThes*/ 0xABCD, /*humiThes*/ 66,
                            /*pumpThes*/ 0x0A0B, /*inTempLow*/ 10, /*inTempHigh*/ 50,
                            /*outTempLow*/ 11, /*outTempHigh*/ 49);
    QCOMPARE(f.size(), 24);
    QCOMPARE(codeOf(f), quint8(0x07));
    QCOMPARE(payloadOf(f), hexBytes("2A 12 34 01 4D AB CD 42 0A 0B 0A 32 0B 31"));
    QCOMPARE(quint16(byteAt(f, 21) | (byteAt(f, 22) << 8)), bitwiseCrc16(f.left(21)));

    const QByteArray off = dp.setAdvancedParam(0, 1, false, 0, 0, 0, 0, 0, 0, 0, 0);
    QCOMPARE(payloadOf(off), hexBytes("00 00 01 00 00 00 00 00 00 00 00 00 00 00"));
}

void TestCommands::advancedParamModuloRules()
{
    DebugCapture capture;
    auto payloadWith = [this](quint8 qcwDuty, quint8 redLevel, quint8 humiThes, quint8 inLow,
                              quint8 inHigh, quint8 outLow, quint8 outHigh) {
        return payloadOf(dp.setAdvancedParam(qcwDuty, 1000, false, redLevel, 5, humiThes, 7, inLow,
                                             inHigh, outLow, outHigh));
    };
    // inTempHigh 60 -> 9 at offset 11.
    QCOMPARE(byteAt(payloadWith(0, 0, 0, 0, 60, 0, 0), 11), quint8(9));
    // humiThes 101 -> 0 at offset 7.
    QCOMPARE(byteAt(payloadWith(0, 0, 101, 0, 0, 0, 0), 7), quint8(0));
    // qcwDuty is sent unchanged.
    QCOMPARE(byteAt(payloadWith(200, 0, 0, 0, 0, 0, 0), 0), quint8(200));
    QCOMPARE(byteAt(payloadWith(255, 0, 0, 0, 0, 0, 0), 0), quint8(255));

    // Every wrapped field at its boundaries.
    const QByteArray p = payloadWith(100, 100, 100, 50, 51, 52, 255);
    QCOMPARE(byteAt(p, 4), quint8(100));
    QCOMPARE(byteAt(p, 7), quint8(100));
    QCOMPARE(byteAt(p, 10), quint8(50));
    QCOMPARE(byteAt(p, 11), quint8(0));
    QCOMPARE(byteAt(p, 12), quint8(1));
    QCOMPARE(byteAt(p, 13), quint8(255 % 51));
    const QByteArray q = payloadWith(0, 101, 255, 255, 102, 153, 60);
    QCOMPARE(byteAt(q, 4), quint8(0));
    QCOMPARE(byteAt(q, 7), quint8(255 % 101));
    QCOMPARE(byteAt(q, 10), quint8(0));
    QCOMPARE(byteAt(q, 11), quint8(0));
    QCOMPARE(byteAt(q, 12), quint8(0));
    QCOMPARE(byteAt(q, 13), quint8(9));
}

void TestCommands::advancedParamDebugLines()
{
    DebugCapture capture;
    dp.setAdvancedParam(10, 60000, true, 150, 1, 2, 3, 4, 5, 6, 7);
    const QStringList lines = capture.lines();
    QCOMPARE(lines.size(), 2);
    // The red level is logged as sent (150 modulo 101), the frequency as given.
    QCOMPARE(valueAfter(lines.at(0), "red:"), QString("49"));
    QCOMPARE(valueAfter(lines.at(1), "qcwFreq:"), QString("60000"));

    capturedLines.clear();
    dp.setAdvancedParam(0, 0, false, 0, 0, 0, 0, 0, 0, 0, 0);
    QCOMPARE(capture.lines().size(), 2);
    QCOMPARE(valueAfter(capture.lines().at(0), "red:"), QString("0"));
    QCOMPARE(valueAfter(capture.lines().at(1), "qcwFreq:"), QString("0"));
}

void TestCommands::otherBuildersWriteNoDebugLines()
{
    DebugCapture capture;
    dp.setCtrlMod(true);
    dp.setLaserState(true);
    dp.setIntCtrlParam(1, 2, 3, 4);
    dp.queryVersion();
    dp.setCalib({1, 2, 3});
    dp.queryCalibTable();
    dp.queryUseTime();
    dp.resetParam();
    QCOMPARE(capture.lines(), QStringList());
}

void TestCommands::calibPayload()
{
    const QByteArray empty = dp.setCalib({});
    QCOMPARE(empty.size(), 10);
    QCOMPARE(codeOf(empty), quint8(0x09));

    const QByteArray f = dp.setCalib({1, 2, 300});
    QCOMPARE(codeOf(f), quint8(0x09));
    QCOMPARE(payloadOf(f), hexBytes("01 02 2C"));
    QCOMPARE(byteAt(f, 5) | (byteAt(f, 6) << 8), 3);

    // Low 8 bits of the integer value, whatever the numeric type.
    const QVariantList numbers{QVariant(255),          QVariant(256),       QVariant(-1),
                               QVariant(3.9),          QVariant(300.0),     QVariant(qint64(0x1FF)),
                               QVariant(quint32(513)), QVariant(uint(128)), QVariant(-2.5)};
    QCOMPARE(payloadOf(dp.setCalib(numbers)), hexBytes("FF 00 FF 03 2C FF 01 80 FE"));

    // A full table of 256 entries keeps its order.
    QVariantList table;
    QByteArray expected;
    for (int i = 0; i < 256; ++i) {
        table.append(255 - i);
        expected.append(static_cast<char>(255 - i));
    }
    QCOMPARE(payloadOf(dp.setCalib(table)), expected);
}

void TestCommands::calibNonNumbersCountAsZero()
{
    const QVariantList mixed{QVariant(7),
                             QVariant(QString("abc")),
                             QVariant(),
                             QVariant(QVariantMap{{"a", 1}}),
                             QVariant(QString("12")),
                             QVariant(QVariantList{5}),
                             QVariant(9)};
    QCOMPARE(payloadOf(dp.setCalib(mixed)), hexBytes("07 00 00 00 00 00 09"));
}

void TestCommands::invokableThroughMetaObject()
{
    // QML reaches the builders through the meta-object system only.
    const QStringList expectedOrder{"setCtrlMod",       "setLaserState", "setIntCtrlParam",
                                    "setAdvancedParam", "queryVersion",  "setCalib",
                                    "queryCalibTable",  "queryUseTime",  "resetParam"};
    const QMetaObject *mo = dp.metaObject();
    QStringList invokables;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() == QMetaMethod::Method) {
            invokables.append(QString::fromLatin1(m.name()));
            QCOMPARE(m.returnType(), int(QMetaType::QByteArray));
        }
    }
    QCOMPARE(invokables, expectedOrder);

    QByteArray viaMeta;
    QVERIFY(QMetaObject::invokeMethod(&dp, "setCalib", Q_RETURN_ARG(QByteArray, viaMeta),
                                      Q_ARG(QVariantList, QVariantList({1, 2, 300}))));
    QCOMPARE(viaMeta, dp.setCalib({1, 2, 300}));
    QVERIFY(QMetaObject::invokeMethod(&dp, "setIntCtrlParam", Q_RETURN_ARG(QByteArray, viaMeta),
                                      Q_ARG(quint8, 50), Q_ARG(quint8, 20), Q_ARG(quint16, 1000),
                                      Q_ARG(quint16, 1000)));
    QCOMPARE(viaMeta, hexBytes("AA 0B 00 03 00 06 00 32 14 03 E8 03 E8 BA 61 55"));
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
