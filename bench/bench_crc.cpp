#include "protocol/frame.h"

#include <QRandomGenerator>

#include <benchmark/benchmark.h>
#include <boost/crc.hpp>

#include <vector>

namespace {

std::vector<char> randomData(std::size_t size)
{
    QRandomGenerator rng(7);
    std::vector<char> data(size);
    for (char &c : data)
        c = char(rng.bounded(256));
    return data;
}

void BM_Crc16(benchmark::State &state)
{
    const std::vector<char> data = randomData(std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(crc16(data.data(), data.size()));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The same CRC from Boost's table-driven implementation, for comparison.
void BM_BoostCrc16(benchmark::State &state)
{
    const std::vector<char> data = randomData(std::size_t(state.range(0)));
    quint16 check = 0;
    for (auto _ : state) {
        boost::crc_optimal<16, 0x8005, 0xFFFF, 0, true, true> crc;
        crc.process_bytes(data.data(), data.size());
        check = crc.checksum();
        benchmark::DoNotOptimize(check);
    }
    if (check != crc16(data.data(), data.size()))
        state.SkipWithError("Boost and crc16 disagree");
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

#define CRC_SIZES ->Arg(16)->Arg(89)->Arg(1024)->Arg(4096)->Arg(65536)
BENCHMARK(BM_Crc16) CRC_SIZES;
BENCHMARK(BM_BoostCrc16) CRC_SIZES;

} // namespace
