// stream_bench: what the refills of a stream cost, and whether they keep up.
//
// cost: a 60 s 128 kbit/s MP3 streamed through the shortest (50 ms) and a 2000 ms buffer on the on-demand render.
// The bench thread renders 10 ms (not timed: the mixer is not the stream path's cost) and then makes the timer's call
// itself, StreamRefill with the slot's timer id, timing it; the prefill in ZRVA_Play is timed too. The total of all
// refills is set against libmpg123 decoding the same file from a feed in 16,000-byte reads, best of five in the same
// run.
//
// underruns [SECONDS [BUFFER_MS [FILE]]]: a stream (by default the same MP3 through 50 ms) on the real-time WAV output
// with the system timer, every core loaded by a busy loop; the recording is then compared with the data half by half.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "interface/sound_device.h"
#include "platform/system_library_binding.h"
#include "seams/sound_output.h"
#include "seams/timer_clock.h"
#include "stream/decode_stream.h"
#include "stream/stream_refill.h"
#include "raw_feed_decode.h"
#include "underrun_count.h"
#include "zorva_sound.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepeats = 5;
constexpr size_t kFramesPerTick = 441;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()))];
}

struct RefillRun {
    double total = 0;           // seconds in ZRVA_Play and every refill call
    std::vector<double> halves; // seconds of each call that wrote a half
    size_t calls = 0;
};

RefillRun RunRefills(uint32_t bufferMs) {
    RefillRun run;
    posix_win32::UseRenderOutput();
    posix_win32::UseManualTimerClock(); // the timer never fires by itself: the bench makes its calls
    if (!ZRVA_Init(nullptr, 44100, 16, 2, 1, 0) || !ZRVA_Open(0, ZORVA_BENCH_MP3, nullptr, bufferMs)) {
        fprintf(stderr, "stream_bench: the benchmark MP3 did not open\n");
        exit(1);
    }
    SoundSlot* slot = &soundDevice.slots[0];
    std::vector<int16_t> scratch(kFramesPerTick * 2);
    Clock::time_point start = Clock::now();
    ZRVA_Play(0, 0, 0);
    run.total += Seconds(Clock::now() - start);
    while (slot->timerId) {
        posix_win32::RenderFrames(scratch.data(), kFramesPerTick);
        const BOOL halfBefore = slot->lastFilledHalf;
        start = Clock::now();
        StreamRefill(slot->timerId, 0, reinterpret_cast<DWORD_PTR>(slot), 0, 0);
        const double spent = Seconds(Clock::now() - start);
        run.total += spent;
        ++run.calls;
        if (slot->lastFilledHalf != halfBefore) run.halves.push_back(spent);
    }
    ZRVA_Close(0);
    ZRVA_Release();
    posix_win32::UseSystemTimerClock();
    posix_win32::UseEnvironmentOutput();
    return run;
}

double RawFeedDecodeSeconds() {
    const Clock::time_point start = Clock::now();
    RawFeedDecode(ZORVA_BENCH_MP3, 16000);
    return Seconds(Clock::now() - start);
}

int Cost() {
    double raw = 1e9;
    for (int i = 0; i < kRepeats; ++i)
        raw = std::min(raw, RawFeedDecodeSeconds());
    printf("raw libmpg123 feed decode of the 60 s file: %.1f ms (best of %d)\n", raw * 1000, kRepeats);
    for (uint32_t bufferMs : {50u, 2000u}) {
        RefillRun best;
        best.total = 1e9;
        std::vector<double> allHalves;
        for (int i = 0; i < kRepeats; ++i) {
            RefillRun run = RunRefills(bufferMs);
            allHalves.insert(allHalves.end(), run.halves.begin(), run.halves.end());
            if (run.total < best.total) best = run;
        }
        printf("%4u ms buffer: all refills %.1f ms (best of %d, %zu calls, %zu halves) = %.3fx raw; "
               "per half p50 %.1f us, p99 %.1f us (over %d runs)\n",
               bufferMs, best.total * 1000, kRepeats, best.calls, best.halves.size(), best.total / raw,
               Percentile(allHalves, 0.5) * 1e6, Percentile(allHalves, 0.99) * 1e6, kRepeats);
    }
    return 0;
}

// The halves the fills deliver for a slot that does not loop, read from a decode stream of its own.
std::vector<int16_t> ExpectedHalves(const char* path, uint32_t bufferMs, size_t halfBytes) {
    BindAcmLibrary();
    WAVEFORMATEX format = {};
    DecodeStream* stream = DecodeStreamOpen(path, bufferMs, &format);
    std::vector<int16_t> out;
    std::vector<int16_t> half(halfBytes / 2);
    for (LONG got = static_cast<LONG>(halfBytes); stream && got == static_cast<LONG>(halfBytes);) {
        std::fill(half.begin(), half.end(), 0);
        got = DecodeStreamRead(stream, half.data(), static_cast<LONG>(halfBytes));
        out.insert(out.end(), half.begin(), half.end());
    }
    DecodeStreamClose(stream);
    UnbindAcmLibrary();
    return out;
}

std::vector<int16_t> ReadWaveData(const char* path) {
    std::vector<int16_t> samples;
    FILE* in = fopen(path, "rb");
    if (!in) return samples;
    fseek(in, 0, SEEK_END);
    const long size = ftell(in);
    fseek(in, 44, SEEK_SET); // the WAV output writes the canonical 44-byte header
    samples.resize(size > 44 ? (size - 44) / 2 : 0);
    samples.resize(fread(samples.data(), 2, samples.size(), in));
    fclose(in);
    return samples;
}

std::vector<Clock::time_point> fillTimes;
BOOL TimedFill(BYTE* destination, DWORD* bytes, const WAVEFORMATEX* format, SoundSlot* slot) {
    if (fillTimes.size() < fillTimes.capacity()) fillTimes.push_back(Clock::now());
    return FillCallback(destination, bytes, format, slot);
}

int Underruns(int seconds, uint32_t bufferMs, const char* path) {
    const std::string recording = "/tmp/stream_bench_underruns.wav";
    setenv("ZORVA_OUTPUT", ("wav:" + recording).c_str(), 1);
    std::atomic<bool> busy{true};
    std::vector<std::thread> loads;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
        loads.emplace_back([&busy] {
            volatile uint64_t spin = 0;
            while (busy.load(std::memory_order_relaxed))
                spin = spin + 1;
        });
    if (!ZRVA_Init(nullptr, 44100, 16, 2, 1, 0) || !ZRVA_Open(0, path, nullptr, bufferMs)) {
        fprintf(stderr, "stream_bench: no WAV output, or %s did not open\n", path);
        return 1;
    }
    const size_t halfBytes = soundDevice.slots[0].bufferBytes / 2;
    fillTimes.reserve(seconds * 100 + 100);
    soundDevice.slots[0].fillCallback = &TimedFill;
    ZRVA_Play(0, 0, 0);
    std::this_thread::sleep_for(std::chrono::seconds(seconds) + std::chrono::milliseconds(200));
    ZRVA_Stop(0);
    ZRVA_Close(0);
    ZRVA_Release();
    busy = false;
    for (std::thread& load : loads)
        load.join();

    std::vector<double> gaps;
    for (size_t i = 2; i < fillTimes.size(); ++i) // from the first timer fill on: the prefill is the first
        gaps.push_back(Seconds(fillTimes[i] - fillTimes[i - 1]) * 1000);
    std::vector<int16_t> expected = ExpectedHalves(path, bufferMs, halfBytes);
    expected.resize(std::min(expected.size(), static_cast<size_t>(seconds) * 44100 * 2));
    const UnderrunCount count = CountUnderruns(ReadWaveData(recording.c_str()), expected, halfBytes / 4);
    printf("%s: %d s, %u ms buffer, %zu busy loops: %zu halves compared, %zu stale (the cursor entered them before "
           "their refill), %zu damaged in place%s; time between fills p50 %.1f ms, p99 %.1f ms, max %.1f ms "
           "(a half lasts %.1f ms)\n",
           path, seconds, bufferMs, loads.size(), count.comparedHalves, count.staleHalves, count.damagedHalves,
           count.lostTrack ? ", then lost track of the data" : "", Percentile(gaps, 0.5), Percentile(gaps, 0.99),
           gaps.empty() ? 0.0 : *std::max_element(gaps.begin(), gaps.end()), halfBytes / 4 / 44.1);
    unlink(recording.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "cost";
    if (mode == "cost") return Cost();
    if (mode == "underruns")
        return Underruns(argc > 2 ? atoi(argv[2]) : 60, argc > 3 ? atoi(argv[3]) : 50,
                         argc > 4 ? argv[4] : ZORVA_BENCH_MP3);
    fprintf(stderr, "usage: stream_bench [cost | underruns [SECONDS [BUFFER_MS [FILE]]]]\n");
    return 2;
}
