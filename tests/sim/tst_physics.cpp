// How the simulated water temperatures follow the output.

#include "physics.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace sim;

namespace {

// The time constant that one step of dtMs shows for a value that went from
// `from` to `to` on its way to `target`: covering the share 1 - exp(-dt/tau).
double timeConstantMs(double from, double to, double target, qint64 dtMs)
{
    const double covered = (to - from) / (target - from);
    return -static_cast<double>(dtMs) / std::log(1.0 - covered);
}

} // namespace

class TestPhysics : public QObject {
    Q_OBJECT
private slots:
    // Water at rest with the laser off; then full output for one step. The
    // inlet follows the chiller's slow loop (about 20 s), the outlet follows
    // its own target (the new inlet plus the heat of the output) within
    // about 6 s, much faster.
    void waterLagsBehindTheOutput_data()
    {
        QTest::addColumn<qint64>("dtMs");
        QTest::newRow("1 s") << qint64(1000);
        QTest::newRow("6 s") << qint64(6000);
        QTest::newRow("15 s") << qint64(15000);
    }
    void waterLagsBehindTheOutput()
    {
        QFETCH(qint64, dtMs);
        // Averaged over many seeds, the sensor noise (up to 0.03 degrees a
        // step) no longer blurs the small steps.
        constexpr int kSeeds = 64;
        const Environment rest; // 21.5 in, 22.1 out: settled with the laser off
        double inlet = 0, outlet = 0;
        for (quint32 seed = 1; seed <= kSeeds; ++seed) {
            QRandomGenerator rng(seed);
            const Environment next = stepEnvironment(rest, 60000, dtMs, 1.0, rng);
            inlet += next.inletTemp / kSeeds;
            outlet += next.outletTemp / kSeeds;
        }
        // Full output: the inlet heads for 21.5 + 4, the outlet for 6.6 above
        // the new inlet.
        const double inletTau = timeConstantMs(rest.inletTemp, inlet, 25.5, dtMs);
        const double outletTau = timeConstantMs(rest.outletTemp, outlet, inlet + 6.6, dtMs);
        QVERIFY2(std::abs(inletTau / 20000 - 1) < 0.05,
                 qPrintable(QString("inlet time constant %1 ms").arg(inletTau)));
        QVERIFY2(std::abs(outletTau / 6000 - 1) < 0.05,
                 qPrintable(QString("outlet time constant %1 ms").arg(outletTau)));
    }
};

QTEST_GUILESS_MAIN(TestPhysics)
#include "tst_physics.moc"
