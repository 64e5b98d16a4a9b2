#include "progress_line.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace {
constexpr int kBarWidth = 30;
}

ProgressLine::ProgressLine() : terminal(isatty(STDOUT_FILENO)) {}

void ProgressLine::Show(double elapsedSeconds, std::optional<double> lengthSeconds, bool looping) {
    if (!terminal) return;
    shown = true;
    if (!lengthSeconds || *lengthSeconds <= 0) {
        printf("\r%7.1f s%s ", elapsedSeconds, looping ? " (looping)" : "");
    } else {
        // A loop goes round; a sound that plays once stops at its end.
        const double length = *lengthSeconds;
        const double at =
            looping ? elapsedSeconds - length * int(elapsedSeconds / length) : std::min(elapsedSeconds, length);
        const int filled = int(kBarWidth * at / length + 0.5);
        const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '-');
        printf("\r[%s] %6.1f / %.1f s%s ", bar.c_str(), at, length, looping ? " (looping)" : "");
    }
    fflush(stdout);
}

void ProgressLine::Finish() {
    if (shown) printf("\n");
    shown = false;
}
