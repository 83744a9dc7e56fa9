#include "link/communication.h"
#include "link/serial_port.h"
#include "link_test_support.h"
#include "protocol/frame.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>

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

// Root passes every permission check: while this lives, the process acts as
// the unprivileged user "nobody" (and is itself when not root).
class ActingUnprivileged {
public:
    ActingUnprivileged()
        : dropped(::geteuid() == 0)
    {
        if (dropped)
            ok = ::seteuid(65534) == 0;
    }
    ~ActingUnprivileged()
    {
        if (dropped && ok)
            (void)::seteuid(0);
    }
    ActingUnprivileged(const ActingUnprivileged &) = delete;
    ActingUnprivileged &operator=(const ActingUnprivileged &) = delete;

    bool ok = true;

private:
    bool dropped;
};

// Five status frames sent to the link, counted where the worker emits them:
// `before` until the connection is ended through endConnection, `after` from
// then on.
class FiveRecords {
public:
    static constexpr int kCount = 5;

    FiveRecords()
        : counter(QObject::connect(
              SerialPort::getInstance(), &SerialPort::dataReceived, SerialPort::getInstance(),
              [this] { ++(ended ? after : before); }, Qt::DirectConnection))
    {
    }
    ~FiveRecords() { QObject::disconnect(counter); }
    FiveRecords(const FiveRecords &) = delete;
    FiveRecords &operator=(const FiveRecords &) = delete;

    // Opens `pty`, writes the frames and returns once the worker holds them
    // all, or has begun to decode them.
    bool sendOn(Communication *link, const PtyPair &pty)
    {
        QByteArray frames;
        for (int i = 0; i < kCount; ++i)
            frames += statusFrame(quint16(i));
        const SerialPort *port = SerialPort::getInstance();
        return link->open(pty.slavePath()) && pty.write(frames) &&
               QTest::qWaitFor(
                   [&] { return port->bufferedByteCount() == frames.size() || before > 0; }, 5000);
    }
    // "close", "open" (the other port) or "none".
    void endConnection(Communication *link, const QString &how, const PtyPair &other)
    {
        if (how == "close")
            link->close();
        else if (how == "open")
            QVERIFY(link->open(other.slavePath()));
        ended = how != "none";
    }

    std::atomic<int> before{0}, after{0};

private:
    std::atomic<bool> ended{false};
    QMetaObject::Connection counter;
};

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
    // first in the meta-object, so portLost (declared last of the device's
    // signals) is the fourth; the link's state signals follow it.
    void metaObjectKeepsItsOrder()
    {
        const QMetaObject &mo = Communication::staticMetaObject;
        QCOMPARE(methodsOf(mo).join(' '),
                 QString("dataReceived(QJsonObject) msgReceived(QString) "
                         "calibTableReceived(QVariantList) portLost() "
                         "portChanged() portListChanged() lastOpenErrorChanged() "
                         "deviceOnlineChanged() recordSinceOpenChanged() watchChanged() "
                         "connectionLost(QString) reconnected(QString) reopenFailed(QString) "
                         "deviceSilent(QString) deviceRecovered(QString) "
                         "recvSerialPortJsonData(QJsonObject) recvSerialPortMsg(QString) "
                         "recvSerialPortCalibTable(QByteArray) open(QString) isOpen() close() "
                         "getSerialList() "
                         "setAdvancedParam(int,int,bool,int,int,int,int,int,int,int,int) "
                         "setIntCtrlParam(int,int,int,int) setLaserState(bool) setCtrlMod(bool) "
                         "setCalib(QVariantList) queryVersion() queryCalibTable() queryUseTime() "
                         "resetParam() refreshPortList() stopWatch() reopenHandedOver(QString)"));
        QCOMPARE(signalParameterNames(mo), (QList<QByteArray>{"rxObj", "msg", "table"}));
        QCOMPARE(mo.method(mo.indexOfMethod("open(QString)")).returnType(), int(QMetaType::Bool));
        QCOMPARE(mo.method(mo.indexOfMethod("getSerialList()")).returnType(),
                 int(QMetaType::QVariantList));
        // The link's state, for bindings: each property with its change signal.
        const QList<QPair<const char *, int>> state = {
            {"connected", QMetaType::Bool},        {"port", QMetaType::QString},
            {"portList", QMetaType::QVariantList}, {"lastOpenError", QMetaType::QString},
            {"deviceOnline", QMetaType::Bool},     {"recordSinceOpen", QMetaType::Bool},
            {"watchedPort", QMetaType::QString},   {"reconnectPending", QMetaType::Bool}};
        for (const auto &p : state) {
            const QMetaProperty property = mo.property(mo.indexOfProperty(p.first));
            QVERIFY2(property.isValid() && property.hasNotifySignal() && !property.isWritable(),
                     p.first);
            QCOMPARE(property.userType(), p.second);
        }
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

    // Status records decoded but not yet handed to the interface when the
    // connection ends belong to it: after a close, or an open of another
    // port, they would show an old connection's values as live.
    void recordsOfAnEndedConnectionAreDropped_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("connection goes on") << "none";
        QTest::newRow("closed") << "close";
        QTest::newRow("another port opened") << "open";
    }
    void recordsOfAnEndedConnectionAreDropped()
    {
        QFETCH(QString, ending);
        // Until the records wait in this thread's queue while it is not
        // running its loop; a loaded machine may deliver some first, so a
        // try in which all came through already is repeated.
        for (int attempt = 1;; ++attempt) {
            PtyPair a, b;
            FiveRecords records;
            QSignalSpy delivered(link, &Communication::dataReceived);
            QVERIFY(records.sendOn(link, a));
            QElapsedTimer waited;
            waited.start();
            while (records.before < FiveRecords::kCount && waited.elapsed() < 5000)
                QThread::msleep(2); // the worker decodes; this loop stays still
            QCOMPARE(records.before.load(), FiveRecords::kCount);

            const int before = delivered.count();
            records.endConnection(link, ending, b);
            QTest::qWait(300);
            link->close();
            if (ending == "none") {
                QCOMPARE(delivered.count(), FiveRecords::kCount);
                break;
            }
            if (before == FiveRecords::kCount && attempt < 5)
                continue;
            QVERIFY2(before < FiveRecords::kCount,
                     "every try delivered before the connection ended");
            QCOMPARE(delivered.count(), before);
            break;
        }
    }

    // Status frames that came before the connection ended, but still waited
    // for their pass (a frame may still be arriving), are not emitted after
    // it: the window would show the old connection's values as live.
    void statusOfAnEndedConnectionIsNeverEmitted_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("closed") << "close";
        QTest::newRow("another port opened") << "open";
    }
    void statusOfAnEndedConnectionIsNeverEmitted()
    {
        QFETCH(QString, ending);
        // The connection must end inside the quiet time before the pass; a
        // try in which the machine let the pass run first is repeated.
        for (int attempt = 1;; ++attempt) {
            PtyPair a, b;
            FiveRecords records;
            QSignalSpy delivered(link, &Communication::dataReceived);
            QVERIFY(records.sendOn(link, a));
            records.endConnection(link, ending, b);
            QTest::qWait(300);
            link->close();
            if (records.before > 0 && attempt < 5)
                continue;
            QVERIFY2(records.before == 0, "every try decoded before the connection ended");
            QCOMPARE(records.after.load(), 0);
            QCOMPARE(delivered.count(), 0);
            QCOMPARE(SerialPort::getInstance()->bufferedByteCount(), 0);
            break;
        }
    }

    // A port that does not open says why, in the system's words, for the
    // operator to read; once it opens, there is no reason left to give.
    void failedOpenSaysWhy_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such file") << "missing"
                                      << "No such file or directory";
        // Another program holds it: the port's lock says so.
        QTest::newRow("held by another") << "held"
                                         << "Permission error while locking the device";
        QTest::newRow("no permission") << "denied"
                                       << "Permission denied";
        QTest::newRow("not a port") << "directory"
                                    << "Is a directory";
    }
    void failedOpenSaysWhy()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        PtyPair a;
        QVERIFY(link->open(a.slavePath()));
        QCOMPARE(link->lastOpenError(), QString());
        link->close();

        QString path = a.slavePath();
        QSerialPort other;
        if (obstacle == "missing") {
            path = "/dev/orrindel-no-such-port";
        } else if (obstacle == "directory") {
            path = QDir::tempPath();
        } else if (obstacle == "held") {
            other.setPortName(path);
            QVERIFY(other.open(QIODevice::ReadWrite));
        } else {
            QCOMPARE(::fchmod(a.slaveFd(), 0), 0);
        }
        {
            ActingUnprivileged user;
            QVERIFY(user.ok);
            QVERIFY(!link->open(path));
        }
        QVERIFY(!link->isOpen());
        QCOMPARE(link->lastOpenError(), reason);
        QCOMPARE(link->lastOpenError(), reason); // asking does not use it up

        other.close();
        QCOMPARE(::fchmod(a.slaveFd(), S_IRUSR | S_IWUSR), 0);
        QVERIFY(link->open(a.slavePath()));
        QCOMPARE(link->lastOpenError(), QString());
        link->close();
        QCOMPARE(link->lastOpenError(), QString());
    }

    // When the port gives no text of its own, its error code is described.
    void openFailureReasonFallsBackOnTheCode_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("own text") << int(QSerialPort::UnknownError) << "Is a directory"
                                  << "Is a directory";
        QTest::newRow("none, not found") << int(QSerialPort::DeviceNotFoundError) << ""
                                         << "No such device";
        QTest::newRow("unknown, permission") << int(QSerialPort::PermissionError) << "Unknown error"
                                             << "Permission denied";
        QTest::newRow("none, busy") << int(QSerialPort::OpenError) << ""
                                    << "The port is already open";
        QTest::newRow("none, not a port") << int(QSerialPort::UnsupportedOperationError) << ""
                                          << "Not a serial port";
        QTest::newRow("none at all") << int(QSerialPort::NoError) << ""
                                     << "Unknown error";
    }
    void openFailureReasonFallsBackOnTheCode()
    {
        QFETCH(int, error);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        QCOMPARE(
            serial_link::openFailureReason(static_cast<QSerialPort::SerialPortError>(error), text),
            reason);
    }
};

QTEST_GUILESS_MAIN(TestCommunication)
#include "tst_communication.moc"
