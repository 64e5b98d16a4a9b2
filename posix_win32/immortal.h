// An object that is built in place and never destroyed. The library's threads (the timer, the output's render
// thread, SDL's audio thread) may still run while a host that returns from main without a release runs the static
// destructors; what they use must outlive those, so it is never torn down and the process's end takes it.
#pragma once

#include <new>
#include <utility>

namespace posix_win32 {

template <typename T> class Immortal {
  public:
    template <typename... Arguments> explicit Immortal(Arguments&&... arguments) {
        new (storage) T(std::forward<Arguments>(arguments)...);
    }
    Immortal(const Immortal&) = delete;
    Immortal& operator=(const Immortal&) = delete;

    T& operator*() { return *std::launder(reinterpret_cast<T*>(storage)); }
    const T& operator*() const { return *std::launder(reinterpret_cast<const T*>(storage)); }
    T* operator->() { return &**this; }
    const T* operator->() const { return &**this; }

  private:
    alignas(T) unsigned char storage[sizeof(T)];
};

} // namespace posix_win32
