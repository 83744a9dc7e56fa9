// Runs the program and the start-up test driver as separate processes in
// temporary working directories: exit codes, restarts and the settings file
// are only observable from outside.

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

namespace {

const QString kDriver = QStringLiteral(ORRINDEL_SHELL_DRIVER);

// One line of the driver's copies.log per finished copy, split into
// pid, working directory, visible windows, font family, arguments.
QList<QStringList> readCopies(const QTemporaryDir &dir)
{
    QList<QStringList> copies;
    QFile log(dir.filePath("copies.log"));
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : log.readAll().split('\n')) {
            const QStringList fields = QString::fromUtf8(line).split('\t');
            if (fields.size() == 5)
                copies.append(fields);
        }
    }
    return copies;
}

QStringList argumentsOf(const QStringList &copy)
{
    return copy[4].isEmpty() ? QStringList() : copy[4].split(QChar(0x1f));
}

QByteArray errorsOf(const QTemporaryDir &dir)
{
    QFile file(dir.filePath("stderr.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Output goes to files: a restarted copy inherits them and must not lose its
// output pipe when the first copy ends.
void start(QProcess &process, const QTemporaryDir &dir, const QString &program,
           const QStringList &arguments)
{
    process.setWorkingDirectory(dir.path());
    // The program's session journal stays in the test's folder, not the home.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ORRINDEL_DATA_DIR", dir.filePath("data"));
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(dir.filePath("stdout.txt"));
    process.setStandardErrorFile(dir.filePath("stderr.txt"));
    process.start(program, arguments);
}

QString documentUrl(const QString &name)
{
    return QUrl::fromLocalFile(QStringLiteral(ORRINDEL_TEST_DATA "/") + name).toString();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void mainDocumentOutcomeIsTheExitCode_data();
    void mainDocumentOutcomeIsTheExitCode();
    void themeSwitchStartsExactlyOneNewCopy_data();
    void themeSwitchStartsExactlyOneNewCopy();
    void programStartsWithDefaultSettings();
};

void TestStartup::mainDocumentOutcomeIsTheExitCode_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("syntax error") << "broken_main.qml" << 255; // -1 as a process exit status
    QTest::newRow("window closed") << "closing_main.qml" << 0;
}

void TestStartup::mainDocumentOutcomeIsTheExitCode()
{
    QFETCH(QString, document);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    QProcess driver;
    start(driver, dir, kDriver, {documentUrl(document)});
    QVERIFY(driver.waitForFinished(30000));
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(driver.exitCode(), exitCode);
    const QList<QStringList> copies = readCopies(dir);
    QCOMPARE(copies.size(), 1);
    if (exitCode != 0) {
        QCOMPARE(copies[0][2], QStringLiteral("0")); // no visible window
        QVERIFY(errorsOf(dir).contains(document.toUtf8()));
    }
}

void TestStartup::themeSwitchStartsExactlyOneNewCopy_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("one switch") << "theme_switch_main.qml";
    // A second switch inside the restart's wait is ignored: the first one's
    // theme wins and no third copy starts.
    QTest::newRow("second switch during the restart") << "double_theme_switch_main.qml";
}

void TestStartup::themeSwitchStartsExactlyOneNewCopy()
{
    QFETCH(QString, document);
    QTemporaryDir dir;
    const QStringList arguments{documentUrl(document), "--marker", "two words"};
    QProcess driver;
    start(driver, dir, kDriver, arguments);
    QVERIFY(driver.waitForStarted(10000));
    const QString firstPid = QString::number(driver.processId());
    QVERIFY(driver.waitForFinished(30000));
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(driver.exitCode(), 0);

    // The new copy is detached: wait for its record.
    QTRY_COMPARE_WITH_TIMEOUT(readCopies(dir).size(), 2, 30000);
    QThread::msleep(1500); // a further restart would show as a third record
    const QList<QStringList> copies = readCopies(dir);
    QCOMPARE(copies.size(), 2);
    const int firstIndex = copies[0][0] == firstPid ? 0 : 1;
    const QStringList &first = copies[firstIndex];
    const QStringList &second = copies[1 - firstIndex];
    QCOMPARE(first[0], firstPid);
    QVERIFY(second[0] != firstPid);
    for (const QStringList &copy : copies) {
        QCOMPARE(argumentsOf(copy), arguments);
        QCOMPARE(QDir(copy[1]).canonicalPath(), QDir(dir.path()).canonicalPath());
    }
    // The new copy came up with the light theme and its own font.
    QVERIFY(!second[3].isEmpty() && second[3] != first[3]);
    QSettings settings(dir.filePath("config.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value("theme").toString(), QStringLiteral("light"));
    QCOMPARE(settings.value("language").toString(), QStringLiteral("cn"));
}

void TestStartup::programStartsWithDefaultSettings()
{
    QTemporaryDir dir;
    QProcess program;
    start(program, dir, QStringLiteral(ORRINDEL_PROGRAM), {});
    QVERIFY(program.waitForStarted(10000));
    auto settingsComplete = [&] {
        QSettings settings(dir.filePath("config.ini"), QSettings::IniFormat);
        return settings.value("language") == "cn" && settings.value("theme") == "dark";
    };
    QTRY_VERIFY_WITH_TIMEOUT(settingsComplete(), 20000);
    // A main document that fails ends the program as soon as its event loop
    // runs; the real one keeps it running without QML errors.
    QVERIFY2(!program.waitForFinished(3000), errorsOf(dir).constData());
    QVERIFY2(!errorsOf(dir).contains("qrc:/"), errorsOf(dir).constData());
    program.kill();
    QVERIFY(program.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
