#include "services/build_stamp.h"
#include "services/chart_look_back.h"
#include "services/file.h"
#include "services/qml_public.h"
#include "services/wave_recording.h"
#include "services_test_support.h"

#include <QGraphicsScene>
#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QStringList debugLines;

void collect(QtMsgType, const QMessageLogContext &, const QString &text)
{
    debugLines.append(text);
}

// Runs saveWave with Qt's message output collected in debugLines.
bool saveWave(const QString &path, const QString &text)
{
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    const bool saved = File::getInstance()->saveWave(path, text);
    qInstallMessageHandler(previous);
    return saved;
}

// A series of `count` points (i * 1000, i + 0.5).
void fill(QtCharts::QLineSeries &series, int count)
{
    for (int i = 0; i < count; ++i)
        series.append(i * 1000.0, i + 0.5);
}

void addStampRow(const char *date, const char *time, const char *stamp)
{
    QTest::newRow(date) << QString(date) << QString(time) << QString(stamp);
}

} // namespace

class TestQmlHelpers : public QObject {
    Q_OBJECT
private slots:
    void buildStampFromCompilerTexts_data();
    void buildStampFromCompilerTexts();
    void saveWaveReplacesTheContent_data();
    void saveWaveReplacesTheContent();
    void saveWaveReportsUnopenablePaths_data();
    void saveWaveReportsUnopenablePaths();
    void dialogUrlBecomesLocalPath_data();
    void dialogUrlBecomesLocalPath();
    void dialogUrlOfAnAwkwardNameIsWritten();
    void seriesPushKeepsTheNewestPoints_data();
    void seriesPushKeepsTheNewestPoints();
    void seriesPushSkipsWhatIsNoSeriesOrNoNumber();
    void seriesPushDrawsAsOneChangeAtATime_data();
    void seriesPushDrawsAsOneChangeAtATime();
    void seriesReplaceSetsAllPointsInOneChange_data();
    void seriesReplaceSetsAllPointsInOneChange();
    void seriesReplaceLeavesOutWhatIsNoPoint();
    void lookBackDrawsWhatANoticedChangeDraws();
};

void TestQmlHelpers::buildStampFromCompilerTexts_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("stamp");
    addStampRow("Apr  3 2024", "16:49:39", "240403-16:49:39");
    addStampRow("Dec 31 1999", "23:59:59", "991231-23:59:59");
    addStampRow("Jan  1 2000", "00:00:00", "000101-00:00:00");
    addStampRow("Feb 29 2024", "12:00:05", "240229-12:00:05");
    addStampRow("Feb 30 2023", "12:00:00", "");
    addStampRow("Foo  3 2024", "16:49:39", "");
    addStampRow("", "", "");
}

void TestQmlHelpers::buildStampFromCompilerTexts()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, stamp);
    QCOMPARE(buildStampFrom(date, time), stamp);
}

void TestQmlHelpers::saveWaveReplacesTheContent_data()
{
    QTest::addColumn<QByteArray>("old"); // null: no file yet
    QTest::addColumn<QString>("text");
    QTest::newRow("longer file") << QByteArray(4096, 'x') << "Time,a\n1,2";
    QTest::newRow("empty text") << QByteArray("old content") << "";
    QTest::newRow("empty text, new file") << QByteArray() << "";
    // Line ends stay as written (no text mode); characters outside the local
    // encoding become its substitutes, whatever the machine's locale is.
    QTest::newRow("local 8-bit") << QByteArray() << "时间戳,温度\r\n12:00:00.5,23.5\n℃,-1e-7";
}

void TestQmlHelpers::saveWaveReplacesTheContent()
{
    QFETCH(QByteArray, old);
    QFETCH(QString, text);
    ScopedWorkDir dir;
    if (!old.isNull())
        QVERIFY(dir.write("wave.csv", old));
    QVERIFY(saveWave(dir.path("wave.csv"), text));
    const QByteArray expected = text.toLocal8Bit();
    QVERIFY(dir.exists("wave.csv"));
    QCOMPARE(dir.read("wave.csv"), expected);
    const QString size = QString::number(expected.size());
    QCOMPARE(debugLines, (QStringList{"waveStrBytes.length= " + size, "wlen= " + size}));
}

void TestQmlHelpers::saveWaveReportsUnopenablePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << "no/such/folder/wave.csv";
    QTest::newRow("empty path") << "";
    QTest::newRow("a folder") << ".";
    QTest::newRow("URL form") << "file://%1/wave.csv";
}

void TestQmlHelpers::saveWaveReportsUnopenablePaths()
{
    QFETCH(QString, path);
    ScopedWorkDir dir;
    QVERIFY(!saveWave(path.contains("%1") ? path.arg(QDir::currentPath()) : path, "a,b"));
    QVERIFY(debugLines.isEmpty());
    QVERIFY(!dir.exists("wave.csv"));
}

void TestQmlHelpers::dialogUrlBecomesLocalPath_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("path");
    QTest::newRow("absolute") << "file:///home/op/wave.csv"
                              << "/home/op/wave.csv";
    QTest::newRow("blank, encoded") << "file:///home/op/my%20wave.csv"
                                    << "/home/op/my wave.csv";
    QTest::newRow("blank, plain") << "file:///home/op/my wave.csv"
                                  << "/home/op/my wave.csv";
    QTest::newRow("Chinese, encoded") << "file:///home/op/%E6%B3%A2%E5%BD%A2.csv"
                                      << "/home/op/波形.csv";
    QTest::newRow("Chinese, plain") << "file:///home/op/波形 1.csv"
                                    << "/home/op/波形 1.csv";
    QTest::newRow("percent sign") << "file:///tmp/100%25.csv"
                                  << "/tmp/100%.csv";
    QTest::newRow("drive letter") << "file:///C:/data/wave.csv"
                                  << "C:/data/wave.csv";
    QTest::newRow("drive, encoded") << "file:///d:/My%20Data/%E6%B3%A2.csv"
                                    << "d:/My Data/波.csv";
    QTest::newRow("drive root") << "file:///C:"
                                << "C:";
    QTest::newRow("server share") << "file://server/share/wave.csv"
                                  << "//server/share/wave.csv";
    QTest::newRow("scheme in capitals") << "FILE:///tmp/wave.csv"
                                        << "/tmp/wave.csv";
    // Plain names pass unchanged, however URL-like they look.
    QTest::newRow("plain absolute") << "/home/op/my%20wave.csv"
                                    << "/home/op/my%20wave.csv";
    QTest::newRow("plain drive") << "C:/data/wave.csv"
                                 << "C:/data/wave.csv";
    QTest::newRow("plain relative") << "wave.csv"
                                    << "wave.csv";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("a folder named /C:") << "/C:/data/wave.csv"
                                        << "/C:/data/wave.csv";
}

void TestQmlHelpers::dialogUrlBecomesLocalPath()
{
    QFETCH(QString, url);
    QFETCH(QString, path);
    QCOMPARE(File::getInstance()->urlToLocalPath(url), path);
}

// The dialog's answer for a name with a blank and Chinese characters reaches
// the file it names, not a percent-encoded or relative one.
void TestQmlHelpers::dialogUrlOfAnAwkwardNameIsWritten()
{
    ScopedWorkDir dir;
    const QString url =
        QUrl::fromLocalFile(dir.path("my wave 波形.csv")).toString(QUrl::FullyEncoded);
    QVERIFY(url.contains("%20"));
    QVERIFY(saveWave(File::getInstance()->urlToLocalPath(url), "Time,a"));
    QCOMPARE(dir.read("my wave 波形.csv"), QByteArray("Time,a"));
    QCOMPARE(QDir(dir.dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 1);
}

void TestQmlHelpers::seriesPushKeepsTheNewestPoints_data()
{
    QTest::addColumn<int>("count"); // points before the push
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("dropped");   // oldest points gone after it
    QTest::addColumn<bool>("replaced"); // one replace, else one append
    QTest::newRow("empty") << 0 << 200 << 0 << false;
    QTest::newRow("one point") << 1 << 200 << 0 << false;
    QTest::newRow("fewer than 200") << 150 << 200 << 0 << false;
    QTest::newRow("199: the window fills") << 199 << 200 << 0 << false;
    QTest::newRow("exactly 200") << 200 << 200 << 1 << true;
    QTest::newRow("201") << 201 << 200 << 2 << true;
    QTest::newRow("more than 200") << 350 << 200 << 151 << true;
    QTest::newRow("keep 1") << 5 << 1 << 5 << true;
    QTest::newRow("keep 1, empty") << 0 << 1 << 0 << false;
    QTest::newRow("keep 0 counts as 1") << 3 << 0 << 3 << true;
    QTest::newRow("negative keep counts as 1") << 3 << -7 << 3 << true;
}

// A series on no chart and no axis: it holds its last points and the new
// one, oldest first, and changes once (one replace when points leave, one
// append otherwise), with its notice.
void TestQmlHelpers::seriesPushKeepsTheNewestPoints()
{
    QFETCH(int, count);
    QFETCH(int, keep);
    QFETCH(int, dropped);
    QFETCH(bool, replaced);
    QtCharts::QLineSeries series;
    fill(series, count);
    QSignalSpy replaces(&series, &QtCharts::QXYSeries::pointsReplaced);
    QSignalSpy adds(&series, &QtCharts::QXYSeries::pointAdded);
    QSignalSpy removes(&series, &QtCharts::QXYSeries::pointsRemoved);
    QSignalSpy removedOne(&series, &QtCharts::QXYSeries::pointRemoved);

    const QPointF added(1.7e12, -3.25);
    QmlPublic::getInstance()->xySeriesPush({QVariant::fromValue<QObject *>(&series)}, added.x(),
                                           {added.y()}, keep, nullptr);

    const int expected = count - dropped + 1;
    QCOMPARE(series.count(), expected);
    QVERIFY(series.count() <= std::max(keep, 1));
    for (int i = 0; i < expected - 1; ++i)
        QCOMPARE(series.at(i), QPointF((i + dropped) * 1000.0, i + dropped + 0.5));
    QCOMPARE(series.at(expected - 1), added);
    QCOMPARE(QmlPublic::getInstance()->xySeriesAt(&series, expected - 1), added);
    QCOMPARE(replaces.count(), replaced ? 1 : 0);
    QCOMPARE(adds.count(), replaced ? 0 : 1);
    QCOMPARE(removes.count() + removedOne.count(), 0);
}

// Null entries, objects that are no line series, missing values, values
// that are no numbers or not finite: those series stay as they were, the
// others take their point.
void TestQmlHelpers::seriesPushSkipsWhatIsNoSeriesOrNoNumber()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QmlPublic *qmlPublic = QmlPublic::getInstance();
    qmlPublic->xySeriesPush({}, 1, {}, 200, nullptr);
    qmlPublic->xySeriesPush({QVariant::fromValue<QObject *>(nullptr)}, 1, {2}, 200, nullptr);

    QtCharts::QLineSeries a, b, c, d, e;
    QObject notASeries;
    for (QtCharts::QLineSeries *s : {&a, &b, &c, &d, &e})
        fill(*s, 200);
    const auto entry = [](QObject *o) { return QVariant::fromValue(o); };
    qmlPublic->xySeriesPush(
        {entry(nullptr), entry(&notASeries), entry(&a), entry(&b), entry(&c), entry(&d), entry(&e)},
        5e5, {1, 2, 3, QVariant(), QStringLiteral("x"), nan, -inf}, 200, nullptr);
    QCOMPARE(a.count(), 200);
    QCOMPARE(a.at(199), QPointF(5e5, 3));
    QCOMPARE(a.at(0), QPointF(1000, 1.5));
    for (QtCharts::QLineSeries *s : {&b, &c, &d, &e}) {
        QCOMPARE(s->count(), 200);
        QCOMPARE(s->at(0), QPointF(0, 0.5));
        QCOMPARE(s->at(199), QPointF(199000, 199.5));
    }
    // Fewer values than series: the rest stay; a time that is not finite
    // changes nothing.
    qmlPublic->xySeriesPush({entry(&a), entry(&b)}, 6e5, {4}, 200, nullptr);
    QCOMPARE(a.at(199), QPointF(6e5, 4));
    QCOMPARE(b.at(199), QPointF(199000, 199.5));
    qmlPublic->xySeriesPush({entry(&a)}, inf, {5}, 200, nullptr);
    QCOMPARE(a.at(199), QPointF(6e5, 4));
}

namespace {

// A chart as the real-time chart builds it: a time axis, a value axis and
// line series on both, laid out in a scene of its own.
struct TimeChart {
    QGraphicsScene scene;
    QtCharts::QChart *chart = new QtCharts::QChart;
    QtCharts::QDateTimeAxis *time = new QtCharts::QDateTimeAxis;
    QtCharts::QValueAxis *value = new QtCharts::QValueAxis;
    QVector<QtCharts::QLineSeries *> curves;

    explicit TimeChart(int curveCount)
    {
        scene.addItem(chart);
        chart->setGeometry(0, 0, 480, 320);
        chart->setAnimationOptions(QtCharts::QChart::NoAnimation);
        chart->addAxis(time, Qt::AlignBottom);
        chart->addAxis(value, Qt::AlignLeft);
        time->setFormat(QStringLiteral("hh:mm:ss"));
        time->setTickCount(3);
        value->setRange(-60, 60);
        for (int i = 0; i < curveCount; ++i) {
            auto *curve = new QtCharts::QLineSeries;
            chart->addSeries(curve);
            curve->attachAxis(time);
            curve->attachAxis(value);
            curves.append(curve);
        }
    }

    QVariantList list() const
    {
        QVariantList out;
        for (QtCharts::QLineSeries *curve : curves)
            out.append(QVariant::fromValue<QObject *>(curve));
        return out;
    }

    QImage picture()
    {
        QCoreApplication::processEvents(); // the chart's layout
        QImage image(480, 320, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        scene.render(&painter, QRectF(0, 0, 480, 320), QRectF(0, 0, 480, 320));
        return image;
    }
};

} // namespace

void TestQmlHelpers::seriesPushDrawsAsOneChangeAtATime_data()
{
    // Milliseconds between pushes: 500 as the device sends, 1 and 0 as a
    // burst of records may give them (the chart does not see such a small
    // move of its time axis, so the curves need their notice).
    QTest::addColumn<QVector<int>>("steps");
    QTest::newRow("500 ms") << QVector<int>(60, 500);
    QTest::newRow("1 ms") << QVector<int>(60, 1);
    QTest::newRow("same millisecond") << QVector<int>(60, 0);
    QTest::newRow("mixed") << QVector<int>{500, 0, 1, 0, 0, 2, 500, 1, 1, 0, 3000, 0, 1};
}

// Pushes to a chart whose curves hold their window: the points are those of
// removing the oldest and appending, the time axis spans the first curve's
// window, and the chart draws exactly what a chart draws that takes the same
// pushes one change at a time (remove, append, then the axis). A curve whose
// change went unnoticed would still show its old points.
void TestQmlHelpers::seriesPushDrawsAsOneChangeAtATime()
{
    QFETCH(QVector<int>, steps);
    const int keep = 40;
    TimeChart pushed(3);
    TimeChart stepwise(3);
    double time = 1.7e12;
    for (TimeChart *chart : {&pushed, &stepwise}) {
        for (int n = 0; n < keep; ++n) {
            for (int c = 0; c < 3; ++c)
                chart->curves[c]->append(time - (keep - n) * 1000.0, 0);
        }
        chart->time->setRange(QDateTime::fromMSecsSinceEpoch(qint64(time) - keep * 1000),
                              QDateTime::fromMSecsSinceEpoch(qint64(time)));
        chart->picture();
    }
    QCOMPARE(pushed.picture(), stepwise.picture());

    for (int n = 0; n < steps.size(); ++n) {
        time += steps[n];
        const QVariantList ys{std::sin(n * 0.7) * 50, -20.0 + n, (n % 7) * 8.0};
        QmlPublic::getInstance()->xySeriesPush(pushed.list(), time, ys, keep, pushed.time);
        for (int c = 0; c < 3; ++c) {
            stepwise.curves[c]->removePoints(0, 1);
            stepwise.curves[c]->append(time, ys[c].toDouble());
        }
        stepwise.time->setRange(
            QDateTime::fromMSecsSinceEpoch(qint64(stepwise.curves[0]->at(0).x())),
            QDateTime::fromMSecsSinceEpoch(qint64(time)));
        for (int c = 0; c < 3; ++c)
            QCOMPARE(pushed.curves[c]->pointsVector(), stepwise.curves[c]->pointsVector());
        QCOMPARE(pushed.time->min(), stepwise.time->min());
        QCOMPARE(pushed.time->max(), QDateTime::fromMSecsSinceEpoch(qint64(time)));
        QCOMPARE(pushed.time->max(), stepwise.time->max());
        if (n % 5 == 4 || n == steps.size() - 1)
            QVERIFY2(pushed.picture() == stepwise.picture(), qPrintable(QString("push %1").arg(n)));
    }
}

void TestQmlHelpers::seriesReplaceSetsAllPointsInOneChange_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("empty, filled with 200") << 0 << 200;
    QTest::newRow("200 by 200") << 200 << 200;
    QTest::newRow("fewer") << 200 << 3;
    QTest::newRow("more") << 5 << 350;
    QTest::newRow("emptied") << 10 << 0;
}

void TestQmlHelpers::seriesReplaceSetsAllPointsInOneChange()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QtCharts::QLineSeries series;
    fill(series, before);
    QVariantList points;
    QVector<QPointF> expected;
    for (int i = 0; i < after; ++i) {
        expected.append(QPointF(1.7e12 + i * 1000.0, -i * 0.25));
        points.append(QVariant::fromValue(expected.last()));
    }
    QSignalSpy replaces(&series, &QtCharts::QXYSeries::pointsReplaced);
    QSignalSpy adds(&series, &QtCharts::QXYSeries::pointAdded);
    QSignalSpy removes(&series, &QtCharts::QXYSeries::pointsRemoved);
    QmlPublic::getInstance()->xySeriesReplace(&series, points);
    QCOMPARE(series.pointsVector(), expected);
    QCOMPARE(replaces.count(), 1);
    QCOMPARE(adds.count() + removes.count(), 0);
}

// Entries that are not points, or not finite, are left out; whole-number
// points count. A null series is ignored.
void TestQmlHelpers::seriesReplaceLeavesOutWhatIsNoPoint()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QtCharts::QLineSeries series;
    fill(series, 4);
    const QVariantList points{QVariant::fromValue(QPointF(1, 2)),
                              QVariant(QStringLiteral("3,4")),
                              QVariant(5.5),
                              QVariant(),
                              QVariant::fromValue(QPointF(nan, 1)),
                              QVariant::fromValue(QPointF(2, inf)),
                              QVariant::fromValue(QPoint(7, -8)),
                              QVariantMap{{"x", 1}, {"y", 2}},
                              QVariant::fromValue(QPointF(9, 10))};
    QmlPublic::getInstance()->xySeriesReplace(&series, points);
    QCOMPARE(series.pointsVector(),
             (QVector<QPointF>{QPointF(1, 2), QPointF(7, -8), QPointF(9, 10)}));
    QmlPublic::getInstance()->xySeriesReplace(nullptr, points);
}

// A look back hands the curves their points without the notice and lets the
// axes' move make the chart compute them. Drawn ranges must look exactly as
// the same points and axes set one change at a time with their notices, also
// when the axes do not move (the same range again after the recording grew
// past it, changing the edge point), when only the value axis moves, or
// when the time axis moves by less than the chart sees.
void TestQmlHelpers::lookBackDrawsWhatANoticedChangeDraws()
{
    const double start = 1.7e12;
    WaveRecording recording;
    recording.setCurveCount(3);
    const auto grow = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            recording.append(start + 500.0 * i, {std::sin(i * 0.05) * 40, (i % 97) * 0.5,
                                                 i == 777    ? 55.0
                                                 : i == 2250 ? 99.0
                                                             : 1.0});
    };
    grow(0, 2000);
    TimeChart drawn(3);
    TimeChart noticed(3);
    const ChartLookBack lookBack;
    struct Step {
        double from;
        double to;
        int growTo; // entries before the step
        QString format = QStringLiteral("hh:mm:ss");
    };
    const Step steps[] = {
        {start, start + 999500, 2000, QStringLiteral("MM-dd hh:mm")}, // all of it
        {start + 300000, start + 420000, 2000},                       // zoom in, past the spike
        {start + 300000, start + 420000, 2000},                       // the same again
        {start + 300001, start + 420001, 2000},                       // a move the chart ignores
        {start + 800000, start + 999500, 2000},                       // the end
        {start + 800000, start + 999500, 2100},                       // the same, grown past it
        // Past the end: the recording grows into the range with a new
        // maximum, so the value axis moves and the time axis does not.
        {start + 1000000, start + 1200000, 2100},
        {start + 1000000, start + 1200000, 2300},
    };
    for (const Step &step : steps) {
        grow(recording.count(), step.growTo);
        lookBack.draw(&recording, drawn.list(), drawn.time, drawn.value, step.from, step.to, 300,
                      step.format);
        for (int c = 0; c < 3; ++c)
            noticed.curves[c]->replace(drawn.curves[c]->pointsVector());
        noticed.time->setFormat(drawn.time->format());
        noticed.time->setRange(drawn.time->min(), drawn.time->max());
        noticed.value->setRange(drawn.value->min(), drawn.value->max());
        QCOMPARE(drawn.time->min().toMSecsSinceEpoch(), qint64(step.from));
        QVERIFY2(
            drawn.picture() == noticed.picture(),
            qPrintable(QStringLiteral("%1 .. %2").arg(step.from - start).arg(step.to - start)));
    }
}

QTEST_MAIN(TestQmlHelpers)
#include "tst_qml_helpers.moc"
