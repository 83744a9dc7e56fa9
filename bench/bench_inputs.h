#pragma once

#include <QByteArray>

// Byte streams the benchmarks feed to the de-framer, framed by the shared
// test encoder (tests/support).
namespace benchinput {

// A status payload with an 8-byte device number and 6 skipped bytes (82 bytes).
QByteArray statusPayload();

// Back-to-back status frames, at least size bytes.
QByteArray statusStream(int size);

enum class Pattern {
    AaRun,         // nothing but 0xAA
    FarHeaders,    // AA FF FF 01 repeated: L = 65535 everywhere
    BadCrcFrames,  // status frames whose CRC is off by one bit
    RandomBytes,   // uniform noise
    CrcForcing4K,  // AA 01 10 55 repeated: trailer matches at L = 4097
    CrcForcing64K, // AA FD FF 55 repeated: trailer matches at L = 65533
};

// size bytes of the pattern.
QByteArray adversarial(Pattern pattern, int size);

} // namespace benchinput
