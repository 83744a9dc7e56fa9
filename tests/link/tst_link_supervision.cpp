#include "link/link_supervision.h"

#include <QtTest>

using namespace link_supervision;

Q_DECLARE_METATYPE(WatchStep)

namespace {

// One line per event of a story; the letters say what came back, so that a
// story reads as a timeline: "+" online, "-" offline, "V" version query due,
// "R" recovery to tell, "S" silence to tell.
QString play(OnlineSupervision &s, const QStringList &story)
{
    QStringList out;
    for (const QString &step : story) {
        const QStringList part = step.split(' ');
        const qint64 at = part.value(1).toLongLong();
        QString seen;
        if (part[0] == "record") {
            const RecordOutcome o = s.noteRecord(at);
            seen = QString(o.cameOnline ? "V" : "") + (o.recovered ? "R" : "");
        } else if (part[0] == "time" || part[0] == "time-closed") {
            const SilenceOutcome o = s.noteTime(at, part[0] == "time");
            seen = QString(o.wentOffline ? "-" : "") + (o.silent ? "S" : "");
        } else if (part[0] == "new") {
            s.noteNewConnection();
        }
        out.append(seen + (s.online() ? "+" : ""));
    }
    return out.join(' ');
}

} // namespace

class TestLinkSupervision : public QObject {
    Q_OBJECT
private slots:
    void onlineFollowsRecordsAndTellsEachChangeOnce_data()
    {
        QTest::addColumn<QStringList>("story");
        QTest::addColumn<QString>("told");
        QTest::newRow("first record: online, one version query")
            << QStringList{"record 0", "record 500", "time 1599", "record 1500"} << "V+ + + +";
        QTest::newRow("silence: offline at 1100 ms, told once")
            << QStringList{"record 0", "time 1099", "time 1100", "time 5000"} << "V+ + -S ";
        QTest::newRow("records back after a silence: recovery and a new query")
            << QStringList{"record 0", "time 1100", "record 3000", "record 3500"} << "V+ -S VR+ +";
        QTest::newRow("closed port: offline but no silence to tell")
            << QStringList{"record 0", "time-closed 1100"} << "V+ -";
        QTest::newRow("new connection: online stays until the timeout, not yet heard")
            << QStringList{"record 0", "new", "time 1100", "record 2000"} << "V+ + - V+";
        QTest::newRow("a told silence is no news after a new connection")
            << QStringList{"record 0", "time 1100", "new", "record 2000"} << "V+ -S  V+";
        QTest::newRow("nothing heard yet: no timeout to pass")
            << QStringList{"time 0", "time 99999"} << " ";
    }
    void onlineFollowsRecordsAndTellsEachChangeOnce()
    {
        QFETCH(QStringList, story);
        QFETCH(QString, told);
        OnlineSupervision s;
        QCOMPARE(play(s, story), told);
    }

    void deadlineMovesWithEachRecord()
    {
        OnlineSupervision s;
        QCOMPARE(s.deadline(), qint64(-1));
        s.noteRecord(40);
        QCOMPARE(s.deadline(), 40 + kSilenceMs);
        s.noteRecord(700);
        QCOMPARE(s.deadline(), 700 + kSilenceMs);
        s.noteTime(700 + kSilenceMs, true);
        QCOMPARE(s.deadline(), qint64(-1));
    }

    // A lost port is looked for each second; a reopened one counts only
    // when it still holds at the next look.
    void watchReopensALostPortAndConfirmsIt()
    {
        ReconnectWatch w;
        QCOMPARE(w.look(false), WatchStep::End);
        QVERIFY(w.noteLost("/dev/ttyUSB0"));
        QCOMPARE(w.port(), QString("/dev/ttyUSB0"));
        QCOMPARE(w.period(), kWatchPeriodMs);

        QCOMPARE(w.look(false), WatchStep::TryOpen);
        QCOMPARE(w.noteOpened(false, 1000), WatchStep::Wait);
        QVERIFY(!w.pending());
        QCOMPARE(w.look(false), WatchStep::TryOpen);
        QCOMPARE(w.noteOpened(true, 2000), WatchStep::Wait);
        QVERIFY(w.pending());
        // Dropped again before its confirmation: the loss is no news.
        QVERIFY(!w.noteLost("/dev/ttyUSB0"));
        QVERIFY(!w.pending());
        QCOMPARE(w.look(false), WatchStep::TryOpen);
        w.noteOpened(true, 4000);
        QCOMPARE(w.look(true), WatchStep::Confirm);
        // After a confirmed return the next loss is news again.
        w.stop();
        QVERIFY(w.noteLost("/dev/ttyUSB0"));
    }

    void watchEndsForAnotherPortOrTheOperator()
    {
        ReconnectWatch w;
        w.noteLost("/dev/ttyUSB0");
        QCOMPARE(w.look(true), WatchStep::End);
        w.stop();
        QVERIFY(!w.active());
        QCOMPARE(w.look(false), WatchStep::End);
    }

    // A handed-over port is tried every 200 ms for five seconds after its
    // first failure, even while another port reads open.
    void handoverTriesWithPatience()
    {
        ReconnectWatch w;
        w.startHandover("/dev/ttyS1");
        QCOMPARE(w.period(), kHandoverPeriodMs);
        QCOMPARE(w.look(true), WatchStep::TryOpen);
        QCOMPARE(w.noteOpened(false, 10000), WatchStep::Wait);
        QCOMPARE(w.noteOpened(false, 10000 + kHandoverPatienceMs - 1), WatchStep::Wait);
        QCOMPARE(w.noteOpened(false, 10000 + kHandoverPatienceMs), WatchStep::GiveUp);

        w.startHandover("/dev/ttyS1");
        QCOMPARE(w.noteOpened(false, 50), WatchStep::Wait);
        QCOMPARE(w.noteOpened(true, 400), WatchStep::Confirm);

        // Nothing handed over: nothing to watch.
        w.startHandover(QString());
        QVERIFY(!w.active());
        QCOMPARE(w.look(false), WatchStep::End);
    }
};

QTEST_APPLESS_MAIN(TestLinkSupervision)
#include "tst_link_supervision.moc"
