#include "session_journal_format.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace journal_format {

namespace {

constexpr int kFormBits = 4;
constexpr quint64 kFormMask = (1u << kFormBits) - 1;
constexpr int kFormInteger = 0;
constexpr int kFormLastDecimal = 8;
constexpr int kFormFirstScaled = 9;
constexpr int kFormNaN = 12;
constexpr int kFormRaw = 13;

constexpr double kPowersOfTen[kFormLastDecimal + 1] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
// The decoder multiplies raw readings by these (temperatures in tenths,
// currents in thousandths): such a product is rarely the double nearest to
// its decimal, so it needs its own form to stay short.
constexpr double kScales[] = {0.1, 0.01, 0.001};
constexpr double kExactLimit = 9007199254740992.0; // 2^53: every integer below is a double

quint64 zigzag(qint64 n)
{
    return (quint64(n) << 1) ^ quint64(n >> 63);
}

qint64 unzigzag(quint64 n)
{
    return qint64(n >> 1) ^ -qint64(n & 1);
}

void appendForm(QByteArray &out, double m, int form)
{
    appendVarint(out, (zigzag(qint64(m)) << kFormBits) | quint64(form));
}

// The form that gives back v exactly, or -1.
int exactForm(double v, double *m)
{
    if (!std::isfinite(v) || std::abs(v) >= kExactLimit || (v == 0 && std::signbit(v)))
        return -1;
    if (v == std::trunc(v)) {
        *m = v;
        return kFormInteger;
    }
    for (int form = 1; form <= kFormLastDecimal; ++form) {
        const double candidate = std::round(v * kPowersOfTen[form]);
        if (std::abs(candidate) < kExactLimit && candidate / kPowersOfTen[form] == v) {
            *m = candidate;
            return form;
        }
    }
    for (int i = 0; i < int(std::size(kScales)); ++i) {
        const double candidate = std::round(v / kScales[i]);
        if (std::abs(candidate) < kExactLimit && candidate * kScales[i] == v) {
            *m = candidate;
            return kFormFirstScaled + i;
        }
    }
    return -1;
}

} // namespace

void appendVarint(QByteArray &out, quint64 value)
{
    char buffer[10];
    int n = 0;
    while (value >= 0x80) {
        buffer[n++] = char((value & 0x7f) | 0x80);
        value >>= 7;
    }
    buffer[n++] = char(value);
    out.append(buffer, n);
}

bool readVarint(const char *&p, const char *end, quint64 *value)
{
    quint64 result = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (p == end)
            return false;
        const quint64 byte = quint8(*p++);
        if (shift == 63 && byte > 1)
            return false;
        result |= (byte & 0x7f) << shift;
        if (!(byte & 0x80)) {
            *value = result;
            return true;
        }
    }
    return false;
}

void appendValue(QByteArray &out, double value)
{
    if (std::isnan(value)) {
        appendVarint(out, kFormNaN);
        return;
    }
    double m = 0;
    const int form = exactForm(value, &m);
    if (form >= 0) {
        appendForm(out, m, form);
        return;
    }
    appendVarint(out, kFormRaw);
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    char raw[8];
    for (int i = 0; i < 8; ++i)
        raw[i] = char(bits >> (8 * i));
    out.append(raw, 8);
}

bool readValue(const char *&p, const char *end, double *value)
{
    quint64 header;
    if (!readVarint(p, end, &header))
        return false;
    const int form = int(header & kFormMask);
    const quint64 payload = header >> kFormBits;
    if (form == kFormNaN || form == kFormRaw) {
        if (payload != 0)
            return false;
        if (form == kFormNaN) {
            *value = std::numeric_limits<double>::quiet_NaN();
            return true;
        }
        if (end - p < 8)
            return false;
        quint64 bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= quint64(quint8(p[i])) << (8 * i);
        p += 8;
        std::memcpy(value, &bits, sizeof bits);
        return true;
    }
    const double m = double(unzigzag(payload));
    if (std::abs(m) >= kExactLimit)
        return false;
    if (form <= kFormLastDecimal)
        *value = m / kPowersOfTen[form];
    else if (form < kFormFirstScaled + int(std::size(kScales)))
        *value = m * kScales[form - kFormFirstScaled];
    else
        return false;
    return true;
}

ChunkWriter::ChunkWriter(int width)
    : valueCount(qMax(0, width))
{
    appendVarint(bytes, quint64(valueCount));
}

void ChunkWriter::append(qint64 timeMs, const double *values, int count)
{
    appendVarint(bytes, zigzag(timeMs - (samples == 0 ? 0 : last)));
    const int given = qMin(qMax(0, count), valueCount);
    for (int i = 0; i < given; ++i)
        appendValue(bytes, values[i]);
    for (int i = given; i < valueCount; ++i)
        appendValue(bytes, std::numeric_limits<double>::quiet_NaN());
    if (samples == 0)
        first = timeMs;
    last = timeMs;
    ++samples;
}

int readChunk(const QByteArray &data, qint64 skip, const SampleSink &sample)
{
    const char *p = data.constData();
    const char *const end = p + data.size();
    quint64 width;
    // More values than bytes cannot be: each takes one at least.
    if (!readVarint(p, end, &width) || width > quint64(data.size()))
        return -1;
    std::vector<double> values(std::size_t(width), 0.0);
    qint64 time = 0;
    int count = 0;
    while (p != end) {
        quint64 delta;
        if (!readVarint(p, end, &delta))
            return -1;
        time += unzigzag(delta);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!readValue(p, end, &values[i]))
                return -1;
        }
        if (count >= skip)
            sample(time, values.data(), int(values.size()));
        ++count;
    }
    return count;
}

void ChunkLedger::clear()
{
    chunks.clear();
    sum = 0;
}

void ChunkLedger::addChunk(qint64 row, qint64 samples)
{
    chunks.emplace_back(row, samples);
    sum += samples;
}

void ChunkLedger::addToNewest(qint64 samples)
{
    if (chunks.empty())
        return;
    chunks.back().second += samples;
    sum += samples;
}

int ChunkLedger::expired(qint64 capacity) const
{
    capacity = qMax<qint64>(0, capacity);
    qint64 remaining = sum;
    int n = 0;
    for (const auto &chunk : chunks) {
        if (remaining - chunk.second < capacity)
            break;
        remaining -= chunk.second;
        ++n;
    }
    return n;
}

void ChunkLedger::dropOldest(int n)
{
    for (; n > 0 && !chunks.empty(); --n) {
        sum -= chunks.front().second;
        chunks.pop_front();
    }
}

int expiredLines(const QVector<qint64> &oldestFirst, qint64 newestMs)
{
    int n = 0;
    while (n < oldestFirst.size() && newestMs - oldestFirst[n] > kLineMaxAgeMs)
        ++n;
    return n;
}

} // namespace journal_format
