#include "link_test_support.h"

#include <QProcess>
#include <QtTest>

// The process exits with a port open, bytes arriving and the worker busy: the
// facade stops the worker before the port object and its timer go, without a
// crash or a hang.
class TestLinkExit : public QObject {
    Q_OBJECT

private slots:
    void exitWithAnOpenPort()
    {
        PtyPair a;
        a.write(statusFrame(1) + statusFrame(2).left(20)); // the receive timer may be running

        QProcess helper;
        helper.start(LINK_EXIT_HELPER, {a.slavePath()});
        QVERIFY2(helper.waitForFinished(30000), "the helper hung at exit");
        const QByteArray err = helper.readAllStandardError();
        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QVERIFY2(helper.exitCode() == 0, err.constData());
        QVERIFY(helper.readAllStandardOutput().contains("clean exit"));
        QVERIFY(err.contains("Open : " + a.slavePath().toLocal8Bit()));
    }
};

QTEST_GUILESS_MAIN(TestLinkExit)
#include "tst_link_exit.moc"
