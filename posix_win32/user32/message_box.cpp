// MessageBoxA for hosts without a desktop: caption and text go to stderr, converted from code page 932.
#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <mutex>
#include <memory>
#include <string>

#include "seams/message_box_seams.h"
#include "failure_value.h"

namespace posix_win32 {
namespace {

std::mutex hookMutex;
MessageBoxHook messageBoxHook;

std::string Cp932ToUtf8(const char* text) {
    if (!text) return {};
    iconv_t opened = iconv_open("UTF-8", "CP932");
    if (opened == reinterpret_cast<iconv_t>(-1)) return text;
    // Closed however the conversion ends, a failed allocation of the text included.
    std::unique_ptr<void, int (*)(iconv_t)> closer(opened, iconv_close);
    iconv_t converter = opened;
    std::string out(strlen(text) * 3 + 1, '\0');
    char* in = const_cast<char*>(text);
    size_t inLeft = strlen(text);
    char* outPtr = out.data();
    size_t outLeft = out.size();
    // An unconvertible byte is passed through as it stands, so nothing of the message is lost.
    while (inLeft && iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        if (outLeft == 0) break;
        *outPtr++ = *in++;
        --inLeft;
        --outLeft;
    }
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(hookMutex);
    messageBoxHook = std::move(hook);
}

} // namespace posix_win32

extern "C" int WINAPI MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type) {
    return posix_win32::AnswerOr<int>(0, [&]() -> int {
        posix_win32::MessageBoxHook hook;
        {
            std::lock_guard lock(posix_win32::hookMutex);
            hook = posix_win32::messageBoxHook;
        }
        if (hook) return hook(window, text, caption, type);
        fprintf(stderr, "%s: %s\n", posix_win32::Cp932ToUtf8(caption).c_str(), posix_win32::Cp932ToUtf8(text).c_str());
        return IDOK;
    });
}
