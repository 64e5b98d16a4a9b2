// DecodeStreamRead over a whole MP3 in 500 ms and 25 ms requests, and libmpg123's feed decoding of the same file
// with the same source reads as the baseline.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include <vector>

#include "platform/system_library_binding.h"
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
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(handle);
    mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    std::vector<unsigned char> source(kSourceBytes);
    std::vector<unsigned char> pcm(1152 * 4);
    int64_t produced = 0;
    for (auto _ : state) {
        const int file = open(ZORVA_BENCH_MP3, O_RDONLY);
        mpg123_open_feed(handle);
        for (ssize_t got; (got = read(file, source.data(), source.size())) > 0;) {
            const unsigned char* input = source.data();
            size_t inputSize = static_cast<size_t>(got);
            for (;;) {
                size_t done = 0;
                const int answer = mpg123_decode(handle, input, inputSize, pcm.data(), pcm.size(), &done);
                input = nullptr, inputSize = 0;
                produced += static_cast<int64_t>(done);
                if (answer == MPG123_NEED_MORE || (answer != MPG123_OK && answer != MPG123_NEW_FORMAT && !done)) break;
            }
        }
        mpg123_close(handle);
        close(file);
        benchmark::DoNotOptimize(pcm.data());
    }
    state.SetBytesProcessed(produced);
    mpg123_delete(handle);
}

} // namespace

BENCHMARK(RawFeedDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeStreamRead)->Arg(500)->Arg(25)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
