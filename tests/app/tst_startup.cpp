// Runs the program and the start-up test driver as separate processes in
// temporary working directories: exit codes, restarts and the settings file
// are only observable from outside.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

namespace {

const QString kDriver = QStringLiteral(ORRINDEL_SHELL_DRIVER);
const QString kProgram = QStringLiteral(ORRINDEL_PROGRAM);
const QString kData = QStringLiteral(ORRINDEL_TEST_DATA);

struct CopyRecord {
    qint64 pid = 0;
    QString workDir;
    int visibleWindows = -1;
    QString fontFamily;
    QStringList arguments;
};

QList<CopyRecord> readCopies(const QString &dir)
{
    QList<CopyRecord> records;
    QFile log(QDir(dir).filePath("copies.log"));
    if (!log.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split('\t');
        if (fields.size() != 5)
            continue;
        CopyRecord record;
        record.pid = fields[0].toLongLong();
        record.workDir = fields[1];
        record.visibleWindows = fields[2].toInt();
        record.fontFamily = fields[3];
        record.arguments = fields[4].isEmpty() ? QStringList() : fields[4].split(QChar(0x1f));
        records.append(record);
    }
    return records;
}

// Output goes to files: a restarted copy inherits them and must not lose its
// output pipe when the first copy ends.
void prepare(QProcess &process, const QTemporaryDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_QUICK_BACKEND", "software");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.setStandardOutputFile(dir.filePath("stdout.txt"));
    process.setStandardErrorFile(dir.filePath("stderr.txt"));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString documentUrl(const QString &name)
{
    return QUrl::fromLocalFile(QDir(kData).filePath(name)).toString();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void brokenMainDocumentEndsWithMinusOneAndNoWindow();
    void closingTheWindowEndsWithZero();
    void themeSwitchStartsExactlyOneNewCopy();
    void programStartsWithDefaultSettings();
};

void TestStartup::brokenMainDocumentEndsWithMinusOneAndNoWindow()
{
    QTemporaryDir dir;
    QProcess driver;
    prepare(driver, dir);
    driver.start(kDriver, {documentUrl("broken_main.qml")});
    QVERIFY(driver.waitForFinished(30000));
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(driver.exitCode(), 255); // -1 as a process exit status
    const QList<CopyRecord> copies = readCopies(dir.path());
    QCOMPARE(copies.size(), 1);
    QCOMPARE(copies[0].visibleWindows, 0);
    QVERIFY(readFile(dir.filePath("stderr.txt")).contains("broken_main.qml"));
}

void TestStartup::closingTheWindowEndsWithZero()
{
    QTemporaryDir dir;
    QProcess driver;
    prepare(driver, dir);
    driver.start(kDriver, {documentUrl("closing_main.qml")});
    QVERIFY(driver.waitForFinished(30000));
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(driver.exitCode(), 0);
    QCOMPARE(readCopies(dir.path()).size(), 1);
}

void TestStartup::themeSwitchStartsExactlyOneNewCopy()
{
    QTemporaryDir dir;
    const QString workDir = QDir(dir.path()).canonicalPath();
    const QStringList arguments{documentUrl("theme_switch_main.qml"), "--marker", "two words"};
    QProcess driver;
    prepare(driver, dir);
    driver.start(kDriver, arguments);
    QVERIFY(driver.waitForStarted(10000));
    const qint64 firstPid = driver.processId();
    QVERIFY(driver.waitForFinished(30000));
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(driver.exitCode(), 0);

    // The new copy is detached: wait for its record.
    QTRY_COMPARE_WITH_TIMEOUT(readCopies(dir.path()).size(), 2, 30000);
    QThread::msleep(1500); // a further restart would show as a third record
    const QList<CopyRecord> copies = readCopies(dir.path());
    QCOMPARE(copies.size(), 2);

    const CopyRecord &first = copies[0].pid == firstPid ? copies[0] : copies[1];
    const CopyRecord &second = copies[0].pid == firstPid ? copies[1] : copies[0];
    QCOMPARE(first.pid, firstPid);
    QVERIFY(second.pid != first.pid);
    QCOMPARE(first.arguments, arguments);
    QCOMPARE(second.arguments, arguments);
    QCOMPARE(QDir(first.workDir).canonicalPath(), workDir);
    QCOMPARE(QDir(second.workDir).canonicalPath(), workDir);
    // The new copy came up with the light theme and its own font.
    QVERIFY(!second.fontFamily.isEmpty());
    QVERIFY(second.fontFamily != first.fontFamily);
    QSettings settings(dir.filePath("config.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value("theme").toString(), QStringLiteral("light"));
    QCOMPARE(settings.value("language").toString(), QStringLiteral("cn"));
}

void TestStartup::programStartsWithDefaultSettings()
{
    QTemporaryDir dir;
    QProcess program;
    prepare(program, dir);
    program.start(kProgram, QStringList());
    QVERIFY(program.waitForStarted(10000));

    const QString configPath = dir.filePath("config.ini");
    auto settingsComplete = [&] {
        QSettings settings(configPath, QSettings::IniFormat);
        return settings.value("language").toString() == "cn" &&
               settings.value("theme").toString() == "dark";
    };
    QTRY_VERIFY_WITH_TIMEOUT(settingsComplete(), 20000);
    // A main document that fails ends the program as soon as its event loop
    // runs; the real one keeps it running without QML errors.
    QVERIFY2(!program.waitForFinished(3000), readFile(dir.filePath("stderr.txt")).constData());
    const QByteArray errors = readFile(dir.filePath("stderr.txt"));
    QVERIFY2(!errors.contains("qrc:/"), errors.constData());
    program.kill();
    QVERIFY(program.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
