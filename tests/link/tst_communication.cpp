#include "link/communication.h"
#include "link_test_support.h"
#include "protocol/frame.h"

#include <QtTest>

namespace {

QByteArray command(CommandCode code, const char *payloadHex = "")
{
    return packFrame(code, QByteArray::fromHex(payloadHex));
}

// Every command once, with arguments that need narrowing to their widths.
void sendEveryCommand(Communication *link)
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

QVector<QByteArray> everyCommandFrame()
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

} // namespace

class TestCommunication : public QObject {
    Q_OBJECT

    DebugCapture debug;
    Communication *link = nullptr;

private slots:
    // Everything is usable the moment getInstance returns, before the worker
    // has even started.
    void initTestCase()
    {
        debug.install();
        link = Communication::getInstance();
        QVERIFY(!link->isOpen());
        link->close();
        sendEveryCommand(link);
        QVERIFY(!link->open("/dev/orrindel-no-such-port"));
        QVERIFY(!link->isOpen());
        QCOMPARE(Communication::getInstance(), link);

        QTRY_VERIFY_WITH_TIMEOUT(debug.lines().contains("Communication Thread"), 5000);
        QCOMPARE(debug.lines().count("Communication Thread"), 1);
        QCOMPARE(debug.linesStartingWith("send: "), QStringList());
        QCOMPARE(debug.linesStartingWith("Close : "), QStringList());
    }

    // QML handlers see the signal arguments under these names. Signals come
    // first in the meta-object, so portLost (declared last) is the fourth.
    void metaObjectKeepsItsOrder()
    {
        const QMetaObject &mo = Communication::staticMetaObject;
        QCOMPARE(methodsOf(mo).join(' '),
                 QString("dataReceived(QJsonObject) msgReceived(QString) "
                         "calibTableReceived(QVariantList) portLost() "
                         "recvSerialPortJsonData(QJsonObject) recvSerialPortMsg(QString) "
                         "recvSerialPortCalibTable(QByteArray) open(QString) isOpen() close() "
                         "getSerialList() "
                         "setAdvancedParam(int,int,bool,int,int,int,int,int,int,int,int) "
                         "setIntCtrlParam(int,int,int,int) setLaserState(bool) setCtrlMod(bool) "
                         "setCalib(QVariantList) queryVersion() queryCalibTable() queryUseTime() "
                         "resetParam()"));
        QCOMPARE(signalParameterNames(mo), (QList<QByteArray>{"rxObj", "msg", "table"}));
        QCOMPARE(mo.method(mo.indexOfMethod("open(QString)")).returnType(), int(QMetaType::Bool));
        QCOMPARE(mo.method(mo.indexOfMethod("getSerialList()")).returnType(),
                 int(QMetaType::QVariantList));
    }

    // Commands sent while closed are dropped, not held back for the next
    // open; after it, each arrives exactly, with its own hex line.
    void everyCommandArrivesExactlyOnceOpen()
    {
        PtyPair a;
        debug.clear();
        sendEveryCommand(link);
        QVERIFY(link->open(a.slavePath()));
        QCOMPARE(a.readFor(300), QByteArray());
        sendEveryCommand(link);

        QByteArray expected;
        QStringList lines;
        for (const QByteArray &f : everyCommandFrame()) {
            expected += f;
            lines.append("send: " + QString::fromLatin1(f.toHex(' ')));
        }
        QCOMPARE(a.read(expected.size() + 1, 3000).toHex(' '), expected.toHex(' '));
        QCOMPARE(debug.linesStartingWith("send: "), lines);
        link->close();
    }
};

QTEST_GUILESS_MAIN(TestCommunication)
#include "tst_communication.moc"
