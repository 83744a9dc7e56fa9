#pragma once

#include <QByteArray>
#include <QVector>

class QRandomGenerator;

namespace sim {

// Corrupt frames and noise that a receiver must reject. The corrupt frames
// carry a visible text, so a receiver that wrongly accepts one shows it.
namespace linefault {

extern const char kDecoyText[];

// A message frame with its CRC spoiled (trailer intact).
QByteArray badCrcFrame();
// A message frame with a valid CRC and a wrong trailer byte.
QByteArray badTrailerFrame();
// A frame of the given type (above 4) with a valid CRC and trailer.
QByteArray badTypeFrame(quint8 type);
// n random bytes without 0x55, so that noise never ends a frame by chance.
QByteArray noise(QRandomGenerator &rng, int n);
// One burst of garbage; successive indices rotate through noise, bad CRC,
// bad trailer and bad type.
QByteArray garbageBurst(QRandomGenerator &rng, int index);
// Splits bytes into pieces of at most chunkSize bytes (chunkSize >= 1).
QVector<QByteArray> splitChunks(const QByteArray &bytes, int chunkSize);

} // namespace linefault
} // namespace sim
