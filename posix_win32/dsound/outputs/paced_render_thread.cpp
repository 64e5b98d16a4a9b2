#include "dsound/outputs/paced_render_thread.h"

#include <chrono>

namespace posix_win32 {

PacedRenderThread::PacedRenderThread(Mixer& mixer, Consumer consume) : mixer(mixer), consume(std::move(consume)) {}

PacedRenderThread::~PacedRenderThread() { Stop(); }

void PacedRenderThread::Start(const PcmFormat& format) {
    Stop();
    // The block is allocated here, on the caller's thread, where a failure is answered; the thread allocates nothing.
    block.assign(format.BlockFrames() * format.BlockAlign(), 0);
    stopping = false;
    thread = std::thread([this, format] { Run(format); });
}

void PacedRenderThread::Stop() {
    if (!thread.joinable()) return;
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void PacedRenderThread::Run(PcmFormat format) {
    using Clock = std::chrono::steady_clock;
    const size_t blockFrames = format.BlockFrames();
    // Deadlines come from the frame count, not from adding up sleeps, so the pace does not drift.
    const Clock::time_point start = Clock::now();
    uint64_t framesDone = 0;
    std::unique_lock lock(mutex);
    while (!stopping) {
        lock.unlock();
        mixer.Render(block.data(), blockFrames);
        consume(block.data(), block.size());
        framesDone += blockFrames;
        lock.lock();
        auto due = start + std::chrono::microseconds(framesDone * 1000000 / format.rate);
        wake.wait_until(lock, due, [this] { return stopping; });
    }
}

} // namespace posix_win32
