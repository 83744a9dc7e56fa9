#include "bench_inputs.h"

#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/status_record.h"

#include <benchmark/benchmark.h>

using benchinput::Pattern;

namespace {

// A private, unshared copy, as the port's receive buffer is: takeFrames then
// only moves the few bytes it leaves.
QByteArray freshCopy(const QByteArray &input)
{
    QByteArray copy(input.constData(), input.size());
    return copy;
}

void BM_TakeFramesStatusStream(benchmark::State &state)
{
    const QByteArray input = benchinput::statusStream(int(state.range(0)));
    qint64 frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QByteArray buffer = freshCopy(input);
        state.ResumeTiming();
        const QVector<Frame> out = takeFrames(buffer);
        frames += out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * input.size());
    state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TakeFramesStatusStream)
    ->Arg(89 * 12)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);

// The same stream through unpackFrame, one call per frame: each call removes
// its frame from the front of the buffer, so the cost grows with the square of
// the burst. For comparison with takeFrames only.
void BM_UnpackFrameLoopStatusStream(benchmark::State &state)
{
    const QByteArray input = benchinput::statusStream(int(state.range(0)));
    qint64 frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QByteArray buffer = freshCopy(input);
        state.ResumeTiming();
        for (UnpackResult r = unpackFrame(buffer); r.found; r = unpackFrame(buffer))
            ++frames;
    }
    state.SetBytesProcessed(state.iterations() * input.size());
    state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UnpackFrameLoopStatusStream)
    ->Arg(89 * 12)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Unit(benchmark::kMicrosecond);

// The whole receive path of a status burst: frames, records and JSON objects.
void BM_DecodeStatusStream(benchmark::State &state)
{
    const QByteArray input = benchinput::statusStream(int(state.range(0)));
    DataProcess *dp = DataProcess::getInstance();
    qint64 frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QByteArray buffer = freshCopy(input);
        state.ResumeTiming();
        for (const Frame &f : takeFrames(buffer)) {
            const std::optional<DevInfoRecord> r = parseDevInfo(f.payload);
            QJsonObject o = dp->devInfoToJson(*r);
            benchmark::DoNotOptimize(o);
            ++frames;
        }
    }
    state.SetBytesProcessed(state.iterations() * input.size());
    state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeStatusStream)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// Streams without a single valid frame. The pass must stay linear: the time
// for 4 MiB should be about four times the time for 1 MiB (see the ratios
// printed at the end of the run).
void BM_DeframeAdversarial(benchmark::State &state, Pattern pattern)
{
    const QByteArray input = benchinput::adversarial(pattern, int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QByteArray buffer = freshCopy(input);
        state.ResumeTiming();
        const QVector<Frame> out = takeFrames(buffer);
        benchmark::DoNotOptimize(out.data());
        if (!out.isEmpty() || buffer.size() > 6)
            state.SkipWithError("adversarial input produced a frame");
    }
    state.SetBytesProcessed(state.iterations() * input.size());
}

#define ADVERSARIAL(name, pattern)                                                                 \
    BENCHMARK_CAPTURE(BM_DeframeAdversarial, name, pattern)                                        \
        ->Arg(1 << 20)                                                                             \
        ->Arg(4 << 20)                                                                             \
        ->Unit(benchmark::kMillisecond)

ADVERSARIAL(aa_run, Pattern::AaRun);
ADVERSARIAL(far_headers, Pattern::FarHeaders);
ADVERSARIAL(bad_crc_frames, Pattern::BadCrcFrames);
ADVERSARIAL(random_bytes, Pattern::RandomBytes);
ADVERSARIAL(crc_forcing_4k, Pattern::CrcForcing4K);
ADVERSARIAL(crc_forcing_64k, Pattern::CrcForcing64K);

} // namespace
