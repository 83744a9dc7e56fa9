#include "link/communication.h"
#include "link_test_support.h"
#include "protocol/frame.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

QByteArray command(CommandCode code, const char *payloadHex = "")
{
    return packFrame(code, QByteArray::fromHex(payloadHex));
}

QStringList sendLines(const QVector<QByteArray> &frames)
{
    QStringList lines;
    for (const QByteArray &f : frames)
        lines.append("send: " + QString::fromLatin1(f.toHex(' ')));
    return lines;
}

} // namespace

class TestCommunication : public QObject {
    Q_OBJECT

    DebugCapture debug;
    Communication *link = nullptr;

    // Every command once, with arguments that need narrowing to their widths.
    void sendEveryCommand()
    {
        link->setCtrlMod(true);
        link->setCtrlMod(false);
        link->setLaserState(true);
        link->setLaserState(false);
        link->setIntCtrlParam(256 + 50, -236, 0x12345, 70000);
        link->setAdvancedParam(0x1FF, 0x10001, true, 0x164, 0x1ABCD, 0x150, -1, 0x105, 0x12D, 0x100,
                               -206);
        link->setCalib({0, 127, 128, 255, 256 + 7});
        link->queryVersion();
        link->queryCalibTable();
        link->queryUseTime();
        link->resetParam();
    }

    static QVector<QByteArray> everyCommandFrame()
    {
        return {
            command(CommandCode::SetCtrlMod, "01"),
            command(CommandCode::SetCtrlMod, "00"),
            QByteArray::fromHex("aa06000400010001cdcc55"),
            command(CommandCode::SetLaserState, "00"),
            // 306 -> 50, -236 -> 20, 0x12345 -> 0x2345, 70000 -> 0x1170
            command(CommandCode::SetIntCtrlParam, "321423451170"),
            // duty 0xff, freq 0x0001, on, red 0x64, pd 0xabcd, humi 0x50,
            // pump 0xffff, water limits 5, 45, 0, 50
            command(CommandCode::SetAdvancedParam, "ff00010164abcd50ffff052d0032"),
            command(CommandCode::SetCalib, "007f80ff07"),
            QByteArray::fromHex("aa0500 0a000000 1287 55"),
            command(CommandCode::QueryCalibTable),
            command(CommandCode::QueryUseTime),
            command(CommandCode::ResetParam),
        };
    }

private slots:
    // Everything is usable the moment getInstance returns, before the worker
    // has even started.
    void initTestCase()
    {
        debug.install();
        link = Communication::getInstance();
        QVERIFY(!link->isOpen());
        link->close();
        sendEveryCommand();
        QVERIFY(!link->open("/dev/orrindel-no-such-port"));
        QVERIFY(!link->isOpen());
        QCOMPARE(Communication::getInstance(), link);

        QTRY_VERIFY_WITH_TIMEOUT(debug.lines().contains("Communication Thread"), 5000);
        QCOMPARE(debug.lines().count("Communication Thread"), 1);
        QCOMPARE(debug.linesStartingWith("send: "), QStringList());
        QCOMPARE(debug.linesStartingWith("Close : "), QStringList());
    }

    // QML handlers see the signal arguments under these names. Signals come
    // first in the meta-object whatever their place in the declaration, so
    // portLost (declared last) follows the three others.
    void metaObjectKeepsItsOrder()
    {
        const QMetaObject &mo = Communication::staticMetaObject;
        QStringList methods;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            methods.append(QString::fromLatin1(mo.method(i).methodSignature()));
        const QStringList expected{
            "dataReceived(QJsonObject)",
            "msgReceived(QString)",
            "calibTableReceived(QVariantList)",
            "portLost()",
            "recvSerialPortJsonData(QJsonObject)",
            "recvSerialPortMsg(QString)",
            "recvSerialPortCalibTable(QByteArray)",
            "open(QString)",
            "isOpen()",
            "close()",
            "getSerialList()",
            "setAdvancedParam(int,int,bool,int,int,int,int,int,int,int,int)",
            "setIntCtrlParam(int,int,int,int)",
            "setLaserState(bool)",
            "setCtrlMod(bool)",
            "setCalib(QVariantList)",
            "queryVersion()",
            "queryCalibTable()",
            "queryUseTime()",
            "resetParam()",
        };
        QCOMPARE(methods, expected);
        const int first = mo.methodOffset();
        QCOMPARE(mo.method(first).parameterNames(), QList<QByteArray>{"rxObj"});
        QCOMPARE(mo.method(first + 1).parameterNames(), QList<QByteArray>{"msg"});
        QCOMPARE(mo.method(first + 2).parameterNames(), QList<QByteArray>{"table"});
        QCOMPARE(mo.method(first + 7).returnType(), int(QMetaType::Bool));
        QCOMPARE(mo.method(first + 10).returnType(), int(QMetaType::QVariantList));
    }

    void init() { debug.clear(); }
    void cleanup() { link->close(); }

    void commandsWhileClosedAreDropped()
    {
        PtyPair a;
        sendEveryCommand();
        QVERIFY(link->open(a.slavePath()));
        QCOMPARE(a.readFor(300), QByteArray());
        QCOMPARE(debug.linesStartingWith("send: "), QStringList());
    }

    void everyCommandArrivesExactly()
    {
        PtyPair a;
        QVERIFY(link->open(a.slavePath()));
        QVERIFY(link->isOpen());
        sendEveryCommand();

        const QVector<QByteArray> frames = everyCommandFrame();
        QByteArray expected;
        for (const QByteArray &f : frames)
            expected += f;
        QCOMPARE(a.read(expected.size() + 1, 3000).toHex(' '), expected.toHex(' '));
        QCOMPARE(debug.linesStartingWith("send: "), sendLines(frames));
    }

    void secondOpenLeavesOnlyTheSecondPort()
    {
        PtyPair a, b;
        QVERIFY(link->open(a.slavePath()));
        QVERIFY(link->open(b.slavePath()));
        QVERIFY(link->isOpen());
        link->queryVersion();
        QCOMPARE(b.read(10, 3000), command(CommandCode::QueryVersion));
        QCOMPARE(a.readFor(200), QByteArray());
        QCOMPARE(debug.linesStartingWith("Close : "), QStringList());

        link->close();
        QVERIFY(!link->isOpen());
        QCOMPARE(debug.linesStartingWith("Close : "),
                 QStringList{"Close : " + portNameOf(b.slavePath())});
        link->close();
        QCOMPARE(debug.linesStartingWith("Close : ").size(), 1);
    }

    void burstArrivesInOrderOnTheInterfaceThread()
    {
        PtyPair a;
        QVERIFY(link->open(a.slavePath()));
        QSignalSpy data(link, &Communication::dataReceived);
        QSignalSpy messages(link, &Communication::msgReceived);
        bool onInterfaceThread = true;
        QMetaObject::Connection watch =
            connect(link, &Communication::dataReceived, this, [&](const QJsonObject &) {
                onInterfaceThread = onInterfaceThread && QThread::currentThread() == qApp->thread();
            });

        a.write(statusFrame(0x1234) + messageFrame("hello") + statusFrame(0x0042));
        QTRY_COMPARE_WITH_TIMEOUT(data.size(), 2, 3000);
        disconnect(watch);
        QCOMPARE(data[0][0].toJsonObject().value("alarmState").toInt(), 0x1234);
        QCOMPARE(data[1][0].toJsonObject().value("alarmState").toInt(), 0x0042);
        QCOMPARE(data[0][0].toJsonObject().size(), 35);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0][0].toString(), QString("hello"));
        QVERIFY(onInterfaceThread);
    }

    void calibrationTableArrivesAsInts()
    {
        PtyPair a;
        QVERIFY(link->open(a.slavePath()));
        QSignalSpy tables(link, &Communication::calibTableReceived);
        a.write(incomingFrame(4, QByteArray::fromHex("007f80ff")) + incomingFrame(4, {}));
        QTRY_COMPARE_WITH_TIMEOUT(tables.size(), 2, 3000);
        const QVariantList list = tables[0][0].toList();
        QCOMPARE(list, (QVariantList{0, 127, 128, 255}));
        for (const QVariant &v : list)
            QCOMPARE(v.userType(), int(QMetaType::Int));
        QCOMPARE(tables[1][0].toList(), QVariantList());
    }

    void lostPortIsReportedToTheInterface()
    {
        auto a = std::make_unique<PtyPair>();
        QVERIFY(link->open(a->slavePath()));
        QSignalSpy lost(link, &Communication::portLost);
        a->closeMaster();
        QVERIFY(lost.wait(5000));
        QVERIFY(!link->isOpen());
        QTest::qWait(300);
        QCOMPARE(lost.size(), 1);
        // Commands after the loss are dropped like any command while closed.
        debug.clear();
        link->queryVersion();
        QCOMPARE(debug.linesStartingWith("send: "), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommunication)
#include "tst_communication.moc"
