#pragma once

#include <QtGlobal>

class QRandomGenerator;

namespace sim {

// The slowly changing measurements, in physical units.
struct Environment {
    double ambientTemp = 24.0; // degrees
    double humidity = 45.0;    // %Rh
    double inletTemp = 21.5;   // degrees
    double outletTemp = 22.1;  // degrees
};

// Advances the environment by dtMs at time nowMs (ms since start), with
// outputFraction the share of the rated power being emitted (0 to 1). Ambient
// values wander on slow cycles; the water heats towards a level that rises with
// the output and lags behind it; rng adds sensor noise.
Environment stepEnvironment(const Environment &env, qint64 nowMs, qint64 dtMs,
                            double outputFraction, QRandomGenerator &rng);

// Noise uniformly in [-amplitude, amplitude].
double noise(QRandomGenerator &rng, double amplitude);

} // namespace sim
