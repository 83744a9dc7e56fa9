#include "link/communication.h"
#include "link/port_list.h"

#include <QDir>
#include <QSerialPortInfo>
#include <QtTest>

namespace {

QVariant entry(const QString &fullName, const QString &port)
{
    return QVariantMap{{"fullName", fullName}, {"port", port}};
}

} // namespace

class TestPortList : public QObject {
    Q_OBJECT

private slots:
    // Extra ports first, by path alone; then the system's in their order.
    void extraPortsThenTheSystemPorts()
    {
        QCOMPARE(buildPortList({}, {}), QVariantList());
        const QVariantList expected{
            entry("(/dev/pts/3)", "/dev/pts/3"), entry("(/tmp/sim port)", "/tmp/sim port"),
            entry("USB Serial Port(COM1)", "COM1"), entry("(COM7)", "COM7"), entry("B(A)", "A")};
        QCOMPARE(buildPortList({"/dev/pts/3", "/tmp/sim port"},
                               {{"USB Serial Port", "COM1"}, {"", "COM7"}, {"B", "A"}}),
                 expected);
    }

    void extraPortsSplitAtTheSeparator()
    {
        QCOMPARE(parseExtraPorts(QString(), ':'), QStringList());
        QCOMPARE(parseExtraPorts(":::", ':'), QStringList());
        QCOMPARE(parseExtraPorts("::/dev/pts/4:::/dev/pts/5:", ':'),
                 (QStringList{"/dev/pts/4", "/dev/pts/5"}));
        // A colon is part of a name where it is not the separator.
        QCOMPARE(parseExtraPorts("COM10;;C:\\x", ';'), (QStringList{"COM10", "C:\\x"}));
    }

    void facadeListsTheEnvironmentThenTheSystem()
    {
        QVariantList system;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            system.append(entry(info.description() + "(" + info.portName() + ")", info.portName()));

        const QString sep = QDir::listSeparator();
        qputenv(kExtraPortsVariable, ("/tmp/a" + sep + sep + "/tmp/b").toLocal8Bit());
        QCOMPARE(Communication::getInstance()->getSerialList(),
                 (QVariantList{entry("(/tmp/a)", "/tmp/a"), entry("(/tmp/b)", "/tmp/b")} + system));
        qunsetenv(kExtraPortsVariable);
        QCOMPARE(Communication::getInstance()->getSerialList(), system);
    }
};

QTEST_GUILESS_MAIN(TestPortList)
#include "tst_port_list.moc"
