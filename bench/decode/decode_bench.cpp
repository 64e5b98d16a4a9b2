// DecodeStreamRead over a whole MP3 in 500 ms and 25 ms requests, and libmpg123's feed decoding of the same file
// with the same source reads as the baseline.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/system_library_binding.h"
#include "raw_feed_decode.h"
#include "stream/decode_stream.h"

namespace {

constexpr DWORD kConversionMs = 1000;
constexpr size_t kSourceBytes = 16000; // what one 1000 ms conversion of 128 kbit/s takes in

void DecodeStreamRead(benchmark::State& state) {
    BindAcmLibrary();
    WAVEFORMATEX format = {};
    DecodeStream* stream = DecodeStreamOpen(ZORVA_BENCH_MP3, kConversionMs, &format);
    if (!stream) {
        state.SkipWithError("the benchmark MP3 did not open");
        return;
    }
    const LONG request = static_cast<LONG>(format.nAvgBytesPerSec * state.range(0) / 1000);
    std::vector<BYTE> buffer(request);
    int64_t produced = 0;
    for (auto _ : state) {
        DecodeStreamRewind(stream, 0);
        for (LONG got = request; got == request; produced += got)
            got = ::DecodeStreamRead(stream, buffer.data(), request);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(produced);
    DecodeStreamClose(stream);
    UnbindAcmLibrary();
}

void RawFeedDecode(benchmark::State& state) {
    int64_t produced = 0;
    for (auto _ : state)
        produced += ::RawFeedDecode(ZORVA_BENCH_MP3, kSourceBytes);
    state.SetBytesProcessed(produced);
}

} // namespace

BENCHMARK(RawFeedDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeStreamRead)->Arg(500)->Arg(25)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
