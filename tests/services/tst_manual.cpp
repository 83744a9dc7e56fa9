// The operator's manual: the page generated into the resources at build time,
// and QmlPublic::openManual, which copies it out and hands it to the desktop.

#include "resources.h"
#include "services/qml_public.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QUrl>
#include <QtTest>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QDateTime modifiedAt(const QString &path)
{
    return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

bool setModifiedAt(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(time, QFileDevice::FileModificationTime);
}

// The manual as text; empty when it is missing or not valid UTF-8.
QString manualText()
{
    const QByteArray bytes = contentOf(QmlPublic::manualResource());
    QTextCodec::ConverterState state;
    const QString text =
        QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? text : QString();
}

// The table rows of the page, each as its HTML text.
QStringList tableRows(const QString &html)
{
    QStringList rows;
    static const QRegularExpression row(QStringLiteral("<tr>(.*?)</tr>"),
                                        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = row.globalMatch(html); it.hasNext();)
        rows += it.next().captured(1);
    return rows;
}

const QDateTime kLongAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);

} // namespace

// Stands in for the desktop's viewer: QDesktopServices hands it every file: URL.
class Viewer : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class TestManual : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageIsUtf8Html();
    void pageHasTheSections();
    void alarmTableMatchesTheController_data();
    void alarmTableMatchesTheController();
    void pageLinksResolveAndMarkdownIsRendered();
    void accessCodeIsNotDisclosed();

    void extractResourceFile_data();
    void extractResourceFile();
    void identicalCopyIsNotRewritten();

    void openManualWritesAndOpensTheCopy();
    void openManualRepeatedly();
    void openManualFailsWhenTheCopyCannotBeWritten();

private:
    QTemporaryDir cache;
    Viewer viewer;
};

void TestManual::initTestCase()
{
    initResources();
    QVERIFY(cache.isValid());
    // The user's cache folder is taken from here on every call (XDG systems):
    // the copies land in this test's own folder, not in the real home.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QVERIFY2(QmlPublic::manualCopyPath().startsWith(cache.path() + '/'),
             qPrintable(QmlPublic::manualCopyPath()));
}

void TestManual::init()
{
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QFile::remove(QmlPublic::manualCopyPath());
    viewer.opened.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &viewer, "open");
}

void TestManual::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestManual::pageIsUtf8Html()
{
    const QByteArray bytes = contentOf(QmlPublic::manualResource());
    QVERIFY2(bytes.size() > 20000, "the manual is missing from the resources or nearly empty");
    QVERIFY2(!manualText().isEmpty(), "the manual is not valid UTF-8");
    QVERIFY2(bytes.startsWith("<!DOCTYPE html>\n<html"), "no byte order mark, HTML5 doctype");
    QVERIFY(bytes.trimmed().endsWith("</html>"));
    // A viewer only honours the declaration within the first 1024 bytes.
    const int charset = bytes.indexOf("<meta charset=\"utf-8\">");
    QVERIFY(charset > 0);
    QVERIFY(charset + 22 <= 1024);
    QVERIFY(bytes.indexOf("<style>") > charset);
    // Self-contained: the viewer gets one file and nothing to fetch beside it.
    QVERIFY(!bytes.contains("<link"));
    QVERIFY(!bytes.contains("<img"));
    QVERIFY(!bytes.contains("<script"));
    // Chinese text arrives as characters, not as numeric references.
    QVERIFY(manualText().contains(QStringLiteral("报警解除")));
}

void TestManual::pageHasTheSections()
{
    const QString html = manualText();
    QVERIFY(html.contains(QStringLiteral("<title>Orrindel Operator&#x27;s Manual</title>")) ||
            html.contains(QStringLiteral("<title>Orrindel Operator's Manual</title>")));

    QStringList titles;
    static const QRegularExpression heading(QStringLiteral("<h2 id=\"[^\"]+\">(.*?)</h2>"));
    for (auto it = heading.globalMatch(html); it.hasNext();)
        titles += it.next().captured(1);
    const QStringList expected = {
        QStringLiteral("中文摘要"),
        QStringLiteral("Starting Orrindel"),
        QStringLiteral("The window at a glance"),
        QStringLiteral("Connecting to the controller"),
        QStringLiteral("The power panel"),
        QStringLiteral("Device information"),
        QStringLiteral("Internal control"),
        QStringLiteral("Operation information"),
        QStringLiteral("Charts"),
        QStringLiteral("Alarms"),
        QStringLiteral("Advanced settings"),
        QStringLiteral("Language and theme"),
        QStringLiteral("The settings file config.ini"),
        QStringLiteral("The plant feed"),
        QStringLiteral("The session journal"),
        QStringLiteral("Training with the simulator"),
        QStringLiteral("Troubleshooting"),
    };
    QCOMPARE(titles, expected);

    const QStringList subsections = {
        QStringLiteral("The demo with the simulator"),
        QStringLiteral("When the connection is lost"),
        QStringLiteral("Looking back"),
        QStringLiteral("Exporting a recording"),
        QStringLiteral("Unlocking the alarm form"),
        QStringLiteral("Saving"),
        QStringLiteral("QCW parameters"),
    };
    for (const QString &sub : subsections)
        QVERIFY2(html.contains(QStringLiteral("\">%1</h3>").arg(sub)), qPrintable(sub));

    // The table of contents comes before the first section and lists them all.
    const int contents = html.indexOf(QStringLiteral("<nav class=\"toc\""));
    QVERIFY(contents > 0);
    QVERIFY(contents < html.indexOf(QStringLiteral("<h2")));
    const QString nav = html.mid(contents, html.indexOf(QStringLiteral("</nav>")) - contents);
    for (const QString &title : expected)
        QVERIFY2(nav.contains('>' + title + "</a>"), qPrintable(title));
}

void TestManual::alarmTableMatchesTheController_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");
    QTest::addColumn<bool>("stops");
    const struct {
        const char *code, *chinese, *english;
        bool stops;
    } alarms[] = {
        {"0001", "湿度过高", "ExcessiveHumidity", false},
        {"0002", "蓝牙未就绪", "BleNotReady", false},
        {"8010", "QBH断开", "QBH_Disconnection", true},
        {"8020", "水冷断开", "WaterCoolingDisconnection", true},
        {"8100", "进水温度高", "InletWaterTemperatureHigh", true},
        {"8200", "进水温度低", "InletWaterTemperatureLow", true},
        {"8400", "出水温度高", "OutletWaterTemperatureHigh", true},
        {"8800", "出水温度低", "OutletWaterTemperatureLow", true},
        {"9000", "PD错误", "PD_Error", true},
        {"A000", "电流错误", "CurrentError", true},
        {"C000", "急停", "EmergencyStop", true},
    };
    for (const auto &alarm : alarms)
        QTest::newRow(alarm.english) << QString(alarm.code) << QString::fromUtf8(alarm.chinese)
                                     << QString(alarm.english) << alarm.stops;
}

void TestManual::alarmTableMatchesTheController()
{
    QFETCH(QString, code);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    QFETCH(bool, stops);

    // The alarm table has exactly one row for the alarm, giving both texts as
    // the program shows them, its code and whether the laser stops.
    const QString pair = QStringLiteral("\"%1\" / \"%2\"").arg(chinese, english);
    const QString codeCell = QStringLiteral("<td>%1</td>").arg(code);
    int rows = 0;
    for (const QString &row : tableRows(manualText())) {
        if (!row.contains(codeCell))
            continue;
        ++rows;
        QVERIFY2(row.contains(pair), qPrintable(row));
        QVERIFY2(row.contains(stops ? "<td>stops</td>" : "<td>keeps running</td>"),
                 qPrintable(row));
    }
    QCOMPARE(rows, 1);

    // And the advice for it, led by the same pair.
    QVERIFY(manualText().contains(QStringLiteral("<strong>%1</strong>").arg(pair)));
}

void TestManual::pageLinksResolveAndMarkdownIsRendered()
{
    const QString html = manualText();
    static const QRegularExpression link(QStringLiteral("href=\"#([^\"]*)\""));
    int links = 0;
    for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
        const QString target = it.next().captured(1);
        QVERIFY2(html.contains(QStringLiteral(" id=\"%1\"").arg(target)), qPrintable(target));
    }
    QVERIFY(links > 30); // the contents and the cross references

    QVERIFY(html.count(QStringLiteral("<table>")) >= 10);
    QVERIFY(html.contains(QStringLiteral("<pre><code")));
    // Nothing left as Markdown source: tables, fences, emphasis, links.
    for (const QString &line : html.split('\n')) {
        QVERIFY2(!line.startsWith('|'), qPrintable(line));
        QVERIFY2(!line.startsWith(QStringLiteral("```")), qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("**")), qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("](#")), qPrintable(line));
    }
}

void TestManual::accessCodeIsNotDisclosed()
{
    // The advanced form's access code (eight digits) is handed out by the
    // service department only: no run of eight digits anywhere in the page.
    const QRegularExpression eightDigits(QStringLiteral("(?<!\\d)\\d{8}(?!\\d)"));
    const QRegularExpressionMatch match = eightDigits.match(manualText());
    QVERIFY2(!match.hasMatch(), qPrintable(match.captured()));
    QVERIFY(manualText().contains(QStringLiteral("service department")));
}

void TestManual::extractResourceFile_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("target");    // relative to a fresh folder
    QTest::addColumn<QByteArray>("before"); // null: no file there
    QTest::addColumn<bool>("written");
    const QString manual = QmlPublic::manualResource();
    QTest::newRow("new file") << manual << "manual.html" << QByteArray() << true;
    QTest::newRow("folders created") << manual << "a/b/c/manual.html" << QByteArray() << true;
    QTest::newRow("stale copy replaced") << manual << "manual.html" << QByteArray("old") << true;
    QTest::newRow("longer copy replaced")
        << manual << "manual.html" << contentOf(manual) + "tail" << true;
    QTest::newRow("missing resource") << ":/no/such/manual.html"
                                      << "manual.html" << QByteArray() << false;
    QTest::newRow("folder is a file") << manual << "blocker/manual.html" << QByteArray() << false;
    QTest::newRow("target is a folder") << manual << "folder" << QByteArray() << false;
}

void TestManual::extractResourceFile()
{
    QFETCH(QString, resource);
    QFETCH(QString, target);
    QFETCH(QByteArray, before);
    QFETCH(bool, written);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("blocker"), "a file where a folder is needed"));
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString path = dir.filePath(target);
    if (!before.isNull())
        QVERIFY(writeFile(path, before));

    QCOMPARE(::extractResourceFile(resource, path), written);
    if (written)
        QCOMPARE(contentOf(path), contentOf(resource));
    else if (target == "manual.html")
        QVERIFY(!QFile::exists(path));
    // Nothing left over beside the target (no temporary files).
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(),
             written && !target.contains('/') ? 2 : 1);
}

void TestManual::identicalCopyIsNotRewritten()
{
    // A viewer may still show the earlier copy: the same bytes stay untouched.
    QTemporaryDir dir;
    const QString path = dir.filePath("manual.html");
    QVERIFY(::extractResourceFile(QmlPublic::manualResource(), path));
    QVERIFY(setModifiedAt(path, kLongAgo));
    QVERIFY(::extractResourceFile(QmlPublic::manualResource(), path));
    QCOMPARE(modifiedAt(path), kLongAgo);
}

void TestManual::openManualWritesAndOpensTheCopy()
{
    const QString path = QmlPublic::manualCopyPath();
    QVERIFY(!QFile::exists(path));
    QVERIFY(QmlPublic::getInstance()->openManual());
    QCOMPARE(viewer.opened.size(), 1);
    const QUrl url = viewer.opened.first();
    QCOMPARE(url.scheme(), QStringLiteral("file"));
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.toLocalFile(), path);
    QCOMPARE(contentOf(path), contentOf(QmlPublic::manualResource()));
}

void TestManual::openManualRepeatedly()
{
    const QString path = QmlPublic::manualCopyPath();
    QmlPublic *helpers = QmlPublic::getInstance();
    QVERIFY(helpers->openManual());
    QVERIFY(helpers->openManual()); // the copy is there already
    QVERIFY(QFile::remove(path));   // cleaned away by the system
    QVERIFY(helpers->openManual());
    QVERIFY(writeFile(path, "<p>left by an older version</p>"));
    QVERIFY(helpers->openManual());

    QCOMPARE(viewer.opened.size(), 4);
    for (const QUrl &url : qAsConst(viewer.opened))
        QCOMPARE(url, QUrl::fromLocalFile(path));
    QCOMPARE(contentOf(path), contentOf(QmlPublic::manualResource()));
}

void TestManual::openManualFailsWhenTheCopyCannotBeWritten()
{
    // The cache folder would have to be created below a plain file.
    const QString blocker = cache.filePath("blocker");
    QVERIFY(writeFile(blocker, "not a folder"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker + "/cache"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Manual : cannot write .*blocker"));
    QVERIFY(!QmlPublic::getInstance()->openManual());
    QVERIFY(viewer.opened.isEmpty());
}

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
