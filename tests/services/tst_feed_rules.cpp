#include "services/feed_alarm_texts.h"
#include "services/feed_event_queue.h"
#include "services/feed_payloads.h"
#include "services/feed_settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace feed_settings;

namespace {

// Files as the test says they are: "pw.txt" holds "s3cret", "ca.pem" and
// the like exist, anything else does not.
bool fakeFirstLine(const QString &path, QString *line, QString *reason)
{
    if (path == "pw.txt") {
        *line = "s3cret";
        return true;
    }
    *reason = "No such file or directory";
    return false;
}

bool fakeReadable(const QString &path, QString *reason)
{
    if (path.endsWith(".pem"))
        return true;
    *reason = "No such file or directory";
    return false;
}

// JSON written with ' for ", to be read easily here.
QByteArray q(const char *singleQuoted)
{
    return QByteArray(singleQuoted).replace('\'', '"');
}

Outcome readWith(const QString &ini, const QStringList &args)
{
    QMap<QString, QString> section;
    for (const QString &line : ini.split('\n', Qt::SkipEmptyParts))
        section.insert(line.section('=', 0, 0), line.section('=', 1));
    return read(section, QStringList{"orrindel"} + args, "laser-pc.plant.local", fakeFirstLine,
                fakeReadable);
}

} // namespace

class TestFeedRules : public QObject {
    Q_OBJECT
private slots:
    // What a [feed] section and the command line make of the feed; problems
    // name the setting, so the one message-list line says what to fix.
    void settings_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected"); // "off", "problem: <start>" or the fields
        QTest::newRow("nothing: off") << "" << QStringList() << "off";
        QTest::newRow("section without broker: off") << "prefix=x" << QStringList() << "off";
        QTest::newRow("defaults") << "broker=mqtt://10.0.0.5:1883" << QStringList()
                                  << "plain 10.0.0.5:1883 orrindel/laser-pc 10";
        QTest::newRow("default ports") << "broker=mqtts://broker.plant" << QStringList()
                                       << "tls broker.plant:8883 orrindel/laser-pc 10";
        QTest::newRow("command line wins for this run")
            << "broker=mqtt://a:1\nprefix=p\nid=one"
            << QStringList{"--feed",      "mqtt://b:2", "--feed-prefix",
                           "plant/hall3", "--feed-id",  "two"}
            << "plain b:2 plant/hall3/two 10";
        QTest::newRow("command line alone turns it on")
            << "" << QStringList{"--feed", "mqtt://b:2"} << "plain b:2 orrindel/laser-pc 10";
        QTest::newRow("keepalive") << "broker=mqtt://a:1\nkeepalive_s=30" << QStringList()
                                   << "plain a:1 orrindel/laser-pc 30";
        QTest::newRow("unknown scheme")
            << "broker=tcp://a:1" << QStringList() << "problem: broker: unknown scheme";
        QTest::newRow("a path is no broker")
            << "broker=mqtt://a:1/x" << QStringList() << "problem: broker: \"mqtt://a:1/x\" is not";
        QTest::newRow("no host") << "broker=mqtt://:1883" << QStringList() << "problem: broker:";
        QTest::newRow("wildcard in the prefix")
            << "broker=mqtt://a:1\nprefix=plant/#" << QStringList() << "problem: prefix:";
        QTest::newRow("empty level in the prefix")
            << "broker=mqtt://a:1\nprefix=plant//x" << QStringList() << "problem: prefix:";
        QTest::newRow("illegal id")
            << "broker=mqtt://a:1\nid=line 3" << QStringList() << "problem: id: \"line 3\"";
        QTest::newRow("illegal id on the command line")
            << "broker=mqtt://a:1" << QStringList{"--feed-id", "a/b"} << "problem: id:";
        QTest::newRow("keepalive out of range")
            << "broker=mqtt://a:1\nkeepalive_s=0" << QStringList() << "problem: keepalive_s:";
        QTest::newRow("unreadable password file")
            << "broker=mqtt://a:1\npassword_file=missing.txt" << QStringList()
            << "problem: password_file: missing.txt: No such file or directory";
        QTest::newRow("TLS files without TLS") << "broker=mqtt://a:1\nca_file=ca.pem"
                                               << QStringList() << "problem: ca_file: only with";
        QTest::newRow("missing CA") << "broker=mqtts://a:1\nca_file=ca.crt" << QStringList()
                                    << "problem: ca_file: ca.crt: No such file";
        QTest::newRow("certificate without key")
            << "broker=mqtts://a:1\ncert_file=me.pem" << QStringList()
            << "problem: key_file: cert_file and key_file go together";
        QTest::newRow("client certificate")
            << "broker=mqtts://a:1\ncert_file=me.pem\nkey_file=k.pem" << QStringList()
            << "tls a:1 orrindel/laser-pc 10";
    }
    void settings()
    {
        QFETCH(QString, ini);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        const Outcome out = readWith(ini, args);
        QString got;
        if (!out.enabled)
            got = "off";
        else if (!out.problem.isEmpty())
            got = "problem: " + out.problem;
        else
            got = QString("%1 %2:%3 %4 %5")
                      .arg(out.settings.tls ? "tls" : "plain", out.settings.host)
                      .arg(out.settings.port)
                      .arg(out.settings.base())
                      .arg(out.settings.keepaliveS);
        QVERIFY2(got.startsWith(expected), qPrintable(got));
    }

    void passwordComesFromItsFile()
    {
        const Outcome out = readWith("broker=mqtt://a:1\nusername=u\npassword_file=pw.txt", {});
        QCOMPARE(out.problem, QString());
        QCOMPARE(out.settings.username, QString("u"));
        QCOMPARE(out.settings.password, QString("s3cret"));
    }

    void idFromHostName_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("id");
        QTest::newRow("first label") << "laser-pc.plant.local"
                                     << "laser-pc";
        QTest::newRow("other characters") << "Halle 3+Laser"
                                          << "Halle-3-Laser";
        QTest::newRow("nothing left") << ""
                                      << "laser";
    }
    void idFromHostName()
    {
        QFETCH(QString, host);
        QFETCH(QString, id);
        QCOMPARE(feed_settings::idFromHostName(host), id);
        QVERIFY(isValidId(feed_settings::idFromHostName(host)));
    }

    // Each message as a plant tool reads it (the expected texts are written
    // as JSON by hand: nulls for what is not known, texts escaped).
    void payloads_data()
    {
        using namespace feed_payloads;
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("json");
        const qint64 ts = 1765180800123;
        QTest::newRow("state, connected")
            << state({true, "/dev/ttyUSB0", true, 7}, ts)
            << q("{'online':true,'connected':true,'port':'/dev/ttyUSB0',"
                 "'device_online':true,'session':7,'ts':1765180800123}");
        QTest::newRow("state, no port") << state({false, "", false, 7}, ts)
                                        << q("{'online':true,'connected':false,"
                                             "'port':null,'device_online':false,"
                                             "'session':7,'ts':1765180800123}");
        QTest::newRow("last will") << offline(7) << q("{'online':false,'session':7}");
        QTest::newRow("info, device not heard yet")
            << info({"1.0.0", "", "", std::nullopt}, ts)
            << q("{'program_version':'1.0.0','device_version':null,'device_id':null,"
                 "'max_power_w':null,'ts':1765180800123}");
        QTest::newRow("info") << info({"1.0.0", "V2.3.1-QCW", "SN240403", 1500}, ts)
                              << q("{'program_version':'1.0.0',"
                                   "'device_version':'V2.3.1-QCW',"
                                   "'device_id':'SN240403','max_power_w':1500,"
                                   "'ts':1765180800123}");
        QTest::newRow("status keeps the record as it is")
            << status(41, ts, QJsonObject{{"pumpCurrent", QJsonArray{1.5, 2}}, {"mode", 0}})
            << q("{'seq':41,'ts':1765180800123,"
                 "'record':{'pumpCurrent':[1.5,2],'mode':0}}");
        QTest::newRow("alarm") << alarm(0x8420, {{0x0020, "WaterCoolingDisconnection", "水冷断开"}},
                                        ts)
                               << q("{'word':33824,'alarms':[{'bit':32,"
                                    "'text':'WaterCoolingDisconnection','text_cn':'水冷断开'}],"
                                    "'ts':1765180800123}");
        QTest::newRow("alarm event")
            << alarmEvent({3, ts, 1765180000000}, 0, 0x8020, "WaterCoolingDisconnection",
                          QStringLiteral("水冷断开"))
            << q("{'seq':3,'ts':1765180800123,'session':1765180000000,'kind':'alarm',"
                 "'from':0,'to':32800,"
                 "'text':'WaterCoolingDisconnection','text_cn':'水冷断开'}");
        QTest::newRow("message event, quotes and a line break kept")
            << messageEvent({4, ts, 7}, "DevVer:\"V2\"\n", "设备版本:\"V2\"\n")
            << q("{'seq':4,'ts':1765180800123,'session':7,'kind':'message',"
                 "'raw':'DevVer:\\'V2\\'\\n','text':'设备版本:\\'V2\\'\\n'}");
        QTest::newRow("link event, large seq")
            << linkEvent({9007199254740991ULL, ts, 7}, "lost", "/dev/ttyUSB0")
            << q("{'seq':9007199254740991,'ts':1765180800123,'session':7,'kind':'link',"
                 "'event':'lost','port':'/dev/ttyUSB0'}");
        QTest::newRow("dropped") << droppedEvent(12, ts, 7)
                                 << q("{'kind':'dropped','count':12,'ts':1765180800123,"
                                      "'session':7}");
    }
    void payloads()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, json);
        QJsonParseError error;
        const QJsonDocument expected = QJsonDocument::fromJson(json, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QVERIFY2(!payload.contains('\n'), payload.constData());
        QCOMPARE(QJsonDocument::fromJson(payload), expected);
    }

    // Waiting events: in order; past the count or the age the oldest go,
    // told by one notice before the rest; an event leaves only once the
    // broker confirmed it.
    void eventsWaitInOrderAndDropTheOldest()
    {
        using namespace feed_events;
        EventQueue q;
        const qint64 t0 = 1700000000000;
        for (int i = 1; i <= kMaxEvents + 3; ++i)
            q.push({quint64(i), t0 + i, QByteArray::number(i)}, t0 + i);
        QCOMPARE(q.size(), kMaxEvents);
        Head h = q.head(t0 + kMaxEvents + 3);
        QCOMPARE(int(h.kind), int(Head::Kind::Dropped));
        QCOMPARE(h.dropped, 3);
        // Not confirmed: asked again, the same notice.
        QCOMPARE(q.head(t0 + kMaxEvents + 3).dropped, 3);
        q.delivered(h);
        h = q.head(t0 + kMaxEvents + 3);
        QCOMPARE(int(h.kind), int(Head::Kind::Event));
        QCOMPARE(h.event->seq, quint64(4));
        q.delivered(h);
        QCOMPARE(q.head(t0 + kMaxEvents + 3).event->seq, quint64(5));

        // A day later everything left is too old: one notice for all of it.
        h = q.head(t0 + kMaxEvents + 3 + kMaxAgeMs + 10);
        QCOMPARE(int(h.kind), int(Head::Kind::Dropped));
        QCOMPARE(h.dropped, kMaxEvents - 1);
        QCOMPARE(q.size(), 0);
    }

    void dropsWhileANoticeIsOutGetTheirOwn()
    {
        using namespace feed_events;
        EventQueue q;
        for (int i = 1; i <= kMaxEvents + 1; ++i)
            q.push({quint64(i), 0, {}}, 0);
        const Head notice = q.head(0);
        q.push({quint64(kMaxEvents + 2), 0, {}}, 0); // one more drop meanwhile
        q.delivered(notice);
        const Head next = q.head(0);
        QCOMPARE(int(next.kind), int(Head::Kind::Dropped));
        QCOMPARE(next.dropped, 1);
        q.delivered(next);
        const Head event = q.head(0);
        QCOMPARE(event.seq, quint64(3));
        // Confirmed after it was dropped itself: nothing else is taken.
        for (int i = 0; i < kMaxEvents; ++i)
            q.push({quint64(kMaxEvents + 3 + i), 0, {}}, 0);
        q.delivered(event);
        QCOMPARE(q.size(), kMaxEvents);
        QCOMPARE(q.head(0).dropped, kMaxEvents);
    }

    // Events of an earlier run go before this run's; past the count the
    // earlier ones are dropped first, and the newest dropped is reported once
    // (the copy on disk goes up to it). A seq names an event only with its run.
    void earlierRunsGoFirstAndAreDroppedFirst()
    {
        using namespace feed_events;
        EventQueue q;
        q.push({1, 0, "now-1", 2000}, 0);
        q.push({2, 0, "now-2", 2000}, 0);
        std::deque<Event> earlier;
        for (int i = 1; i <= kMaxEvents - 1; ++i)
            earlier.push_back({quint64(i), 0, {}, 1000});
        q.pushEarlier(std::move(earlier), 0);
        QCOMPARE(q.size(), kMaxEvents);
        EventKey dropped;
        QVERIFY(q.takeDropped(&dropped));
        QCOMPARE(dropped.run, qint64(1000));
        QCOMPARE(dropped.seq, quint64(1));
        QVERIFY(!q.takeDropped(&dropped));

        Head notice = q.head(0);
        QCOMPARE(notice.dropped, 1);
        q.delivered(notice);
        Head h = q.head(0);
        QCOMPARE(h.run, qint64(1000));
        QCOMPARE(h.seq, quint64(2));
        // This run's seq 2 confirmed: not the earlier run's seq 2.
        Head other = h;
        other.run = 2000;
        q.delivered(other);
        QCOMPARE(q.size(), kMaxEvents);
        q.delivered(h);
        QCOMPARE(q.size(), kMaxEvents - 1);
        QCOMPARE(q.head(0).seq, quint64(3));
    }

    // The alarms of a word in both languages, by the message list's rules;
    // "English" here is a stand-in catalogue of three entries.
    void alarmTexts_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QList<int>>("bits");
        QTest::newRow("cleared") << 0 << "AlarmCleared" << QStringLiteral("报警解除")
                                 << QList<int>{};
        QTest::newRow("water") << 0x8020 << "Water" << QStringLiteral("水冷断开") << QList<int>{5};
        QTest::newRow("e-stop, bit 14")
            << 0xC000 << QStringLiteral("急停") << QStringLiteral("急停") << QList<int>{14};
        QTest::newRow("two, table order")
            << (0x8020 | 0x0001) << "Humidity, Water" << QStringLiteral("湿度过高, 水冷断开")
            << QList<int>{0, 5};
        QTest::newRow("stop bit alone")
            << 0x8000 << "UnknowError" << QStringLiteral("未知错误") << QList<int>{};
        QTest::newRow("bit not in table")
            << 0x0008 << "UnknowError" << QStringLiteral("未知错误") << QList<int>{};
    }
    void alarmTexts()
    {
        using namespace feed_alarm_texts;
        QFETCH(int, word);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        QFETCH(QList<int>, bits);
        const QVector<Row> table =
            fromList({QVariantMap{{"code", 1}, {"text", QStringLiteral("湿度过高")}},
                      QVariantMap{{"code", 32800}, {"text", QStringLiteral("水冷断开")}},
                      QVariantMap{{"code", 49152}, {"text", QStringLiteral("急停")}}});
        const QMap<QString, QString> catalogue{{QStringLiteral("湿度过高"), "Humidity"},
                                               {QStringLiteral("水冷断开"), "Water"},
                                               {QStringLiteral("报警解除"), "AlarmCleared"},
                                               {QStringLiteral("未知错误"), "UnknowError"}};
        const Translate toEnglish = [&](const QString &t) { return catalogue.value(t, t); };
        const Texts texts = changeText(word, table, toEnglish);
        QCOMPARE(texts.english, english);
        QCOMPARE(texts.chinese, chinese);
        QList<int> found;
        for (const feed_payloads::Alarm &a : alarmsOf(word, table, toEnglish))
            found.append(a.bit);
        QCOMPARE(found, bits);
    }

    void alarmEventsFollowTheListsRule()
    {
        using feed_alarm_texts::changeDue;
        QVERIFY(!changeDue(std::nullopt, 0));
        QVERIFY(changeDue(std::nullopt, 0x8020));
        QVERIFY(!changeDue(0x8020, 0x8020));
        QVERIFY(changeDue(0x8020, 0));
        QVERIFY(changeDue(0, 1));
    }
};

QTEST_APPLESS_MAIN(TestFeedRules)
#include "tst_feed_rules.moc"
