#include "link/communication.h"
#include "link/port_list.h"

#include <QDir>
#include <QSerialPortInfo>
#include <QtTest>

class TestPortList : public QObject {
    Q_OBJECT

private slots:
    void entriesKeepTheSystemOrderAndNames()
    {
        const QVariantList list =
            buildPortList({}, {{"USB Serial Port", "COM1"}, {"", "COM7"}, {"B", "A"}});
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].toMap(),
                 (QVariantMap{{"fullName", "USB Serial Port(COM1)"}, {"port", "COM1"}}));
        // An empty description leaves just the name in parentheses.
        QCOMPARE(list[1].toMap(), (QVariantMap{{"fullName", "(COM7)"}, {"port", "COM7"}}));
        QCOMPARE(list[2].toMap(), (QVariantMap{{"fullName", "B(A)"}, {"port", "A"}}));
        QCOMPARE(list[0].toMap().keys(), (QStringList{"fullName", "port"}));
    }

    void noPortsGiveAnEmptyList() { QVERIFY(buildPortList({}, {}).isEmpty()); }

    void extraPortsComeFirst()
    {
        const QVariantList list =
            buildPortList({"/dev/pts/3", "/tmp/sim port"}, {{"Built-in", "/dev/ttyS0"}});
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].toMap(),
                 (QVariantMap{{"fullName", "(/dev/pts/3)"}, {"port", "/dev/pts/3"}}));
        QCOMPARE(list[1].toMap(),
                 (QVariantMap{{"fullName", "(/tmp/sim port)"}, {"port", "/tmp/sim port"}}));
        QCOMPARE(list[2].toMap(),
                 (QVariantMap{{"fullName", "Built-in(/dev/ttyS0)"}, {"port", "/dev/ttyS0"}}));
    }

    void extraPortsSplitAtTheSeparator_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("unset") << QString() << QChar(':') << QStringList{};
        QTest::newRow("one") << "/dev/pts/4" << QChar(':') << QStringList{"/dev/pts/4"};
        QTest::newRow("two") << "/dev/pts/4:/dev/pts/5" << QChar(':')
                             << QStringList{"/dev/pts/4", "/dev/pts/5"};
        QTest::newRow("empty entries") << "::/dev/pts/4:::/dev/pts/5:" << QChar(':')
                                       << QStringList{"/dev/pts/4", "/dev/pts/5"};
        QTest::newRow("only separators") << ":::" << QChar(':') << QStringList{};
        QTest::newRow("windows") << "COM10;;\\\\.\\CNCA0" << QChar(';')
                                 << QStringList{"COM10", "\\\\.\\CNCA0"};
        // A colon is part of a name where it is not the separator.
        QTest::newRow("other separator")
            << "C:\\x;D:\\y" << QChar(';') << QStringList{"C:\\x", "D:\\y"};
    }
    void extraPortsSplitAtTheSeparator()
    {
        QFETCH(QString, value);
        QFETCH(QChar, separator);
        QFETCH(QStringList, expected);
        QCOMPARE(parseExtraPorts(value, separator), expected);
    }

    void facadeListsTheEnvironmentThenTheSystem()
    {
        QStringList systemNames;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            systemNames.append(info.portName());

        const QString sep = QDir::listSeparator();
        qputenv(kExtraPortsVariable, ("/tmp/a" + sep + sep + "/tmp/b").toLocal8Bit());
        QVariantList list = Communication::getInstance()->getSerialList();
        QCOMPARE(list.size(), systemNames.size() + 2);
        QCOMPARE(list[0].toMap().value("port").toString(), QString("/tmp/a"));
        QCOMPARE(list[0].toMap().value("fullName").toString(), QString("(/tmp/a)"));
        QCOMPARE(list[1].toMap().value("port").toString(), QString("/tmp/b"));
        for (int i = 0; i < systemNames.size(); ++i)
            QCOMPARE(list[i + 2].toMap().value("port").toString(), systemNames[i]);

        qunsetenv(kExtraPortsVariable);
        list = Communication::getInstance()->getSerialList();
        QCOMPARE(list.size(), systemNames.size());
        for (int i = 0; i < systemNames.size(); ++i)
            QCOMPARE(list[i].toMap().value("port").toString(), systemNames[i]);
    }
};

QTEST_GUILESS_MAIN(TestPortList)
#include "tst_port_list.moc"
