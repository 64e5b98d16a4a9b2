// Windows entry points report failure by their result. What this layer builds them from (threads, maps, strings)
// reports it by exception, which must never reach the core: its exports are noexcept, so one would end the host.
#pragma once

namespace posix_win32 {

// `body()`, or `failure` when it throws.
template <typename Result, typename Body> Result AnswerOr(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace posix_win32
