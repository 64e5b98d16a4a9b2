// A thread that pulls the mix in real time, one mixing block per 10 ms, for outputs without a device clock.
#pragma once

#include <stddef.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "dsound/mixer/mixer.h"

namespace posix_win32 {

class PacedRenderThread {
  public:
    // `consume` gets every rendered block, on the thread.
    using Consumer = std::function<void(const void* frames, size_t bytes)>;

    PacedRenderThread(Mixer& mixer, Consumer consume);
    ~PacedRenderThread();

    void Start(const PcmFormat& format);
    // Returns once the thread has ended, so no block is rendered or consumed after it.
    void Stop();

  private:
    void Run(PcmFormat format);

    Mixer& mixer;
    Consumer consume;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::vector<uint8_t> block; // one mixing block, sized by Start
    std::thread thread;
};

} // namespace posix_win32
