#include "physics.h"

#include <QRandomGenerator>

#include <cmath>

namespace sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kChillerSetpoint = 21.5;
constexpr double kInletRiseAtFullPower = 4.0;
constexpr double kOutletRiseAtFullPower = 6.0;
constexpr double kInletLagMs = 20000;
constexpr double kOutletLagMs = 6000;

double approach(double value, double target, qint64 dtMs, double lagMs)
{
    return target + (value - target) * std::exp(-static_cast<double>(dtMs) / lagMs);
}

} // namespace

double noise(QRandomGenerator &rng, double amplitude)
{
    return (rng.generateDouble() * 2.0 - 1.0) * amplitude;
}

Environment stepEnvironment(const Environment &env, qint64 nowMs, qint64 dtMs,
                            double outputFraction, QRandomGenerator &rng)
{
    Environment next;
    const double t = static_cast<double>(nowMs);
    next.ambientTemp = 24.0 + 1.2 * std::sin(2 * kPi * t / 600000.0) + noise(rng, 0.05);
    next.humidity = 45.0 + 5.0 * std::sin(2 * kPi * t / 900000.0) + noise(rng, 0.4);
    const double inletTarget = kChillerSetpoint + kInletRiseAtFullPower * outputFraction;
    next.inletTemp = approach(env.inletTemp, inletTarget, dtMs, kInletLagMs) + noise(rng, 0.03);
    const double outletTarget = next.inletTemp + 0.6 + kOutletRiseAtFullPower * outputFraction;
    next.outletTemp = approach(env.outletTemp, outletTarget, dtMs, kOutletLagMs) + noise(rng, 0.03);
    return next;
}

} // namespace sim
