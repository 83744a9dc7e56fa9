#include "services/chart_axes.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <limits>

using QtCharts::QDateTimeAxis;
using QtCharts::QValueAxis;

class TestChartAxes : public QObject {
    Q_OBJECT
private slots:
    void movesBothEndsInOneChange();
    void refusesWhatIsNotATimeRange_data();
    void refusesWhatIsNotATimeRange();
};

void TestChartAxes::movesBothEndsInOneChange()
{
    QDateTimeAxis axis;
    axis.setRange(QDateTime::fromMSecsSinceEpoch(1000), QDateTime::fromMSecsSinceEpoch(2000));
    QSignalSpy ranges(&axis, &QDateTimeAxis::rangeChanged);
    ChartAxes helper;
    // Both ends beyond the old range: set one by one, max would move first.
    QVERIFY(helper.setTimeRange(&axis, 1718000000123.0, 1718000200123.0));
    QCOMPARE(axis.min().toMSecsSinceEpoch(), qint64(1718000000123));
    QCOMPARE(axis.max().toMSecsSinceEpoch(), qint64(1718000200123));
    QCOMPARE(ranges.count(), 1);
    QVERIFY(helper.setTimeRange(&axis, 5000, 5000)); // an empty range is a range
    QCOMPARE(axis.min(), axis.max());
}

void TestChartAxes::refusesWhatIsNotATimeRange_data()
{
    QTest::addColumn<bool>("valueAxis");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("value axis") << true << 0.0 << 10.0;
    QTest::newRow("reversed") << false << 10.0 << 0.0;
    QTest::newRow("NaN min") << false << nan << 10.0;
    QTest::newRow("infinite max") << false << 0.0 << inf;
}

void TestChartAxes::refusesWhatIsNotATimeRange()
{
    QFETCH(bool, valueAxis);
    QFETCH(double, min);
    QFETCH(double, max);
    QDateTimeAxis timeAxis;
    QValueAxis values;
    QObject *axis = valueAxis ? static_cast<QObject *>(&values) : &timeAxis;
    const auto before = std::make_pair(timeAxis.min(), timeAxis.max());
    QVERIFY(!ChartAxes().setTimeRange(axis, min, max));
    QVERIFY(!ChartAxes().setTimeRange(nullptr, 0, 1));
    QCOMPARE(std::make_pair(timeAxis.min(), timeAxis.max()), before);
    QCOMPARE(values.max(), QValueAxis().max());
}

QTEST_MAIN(TestChartAxes)
#include "tst_chart_axes.moc"
