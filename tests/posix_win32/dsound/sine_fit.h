// A rendered tone against the sine it must be: the least-squares fit of a sine of a known frequency, and what is
// left besides it (images, aliases, clicks, noise), both against a tone of 16000 peak.
#pragma once

#include <math.h>

#include <vector>

struct SineFit {
    double levelDb; // the fitted sine's amplitude
    double phase;   // how far it lies behind a sine starting at sample 0, in radians
    double restDb;  // everything else, the whole signal where the tone must be absent
};

// Fits a sine of `hz` at `rate` to `signal`; with `present` false the tone must be gone, and all of it counts.
inline SineFit FitSine(const std::vector<double>& signal, double hz, double rate, bool present = true) {
    const double step = 2 * M_PI * hz / rate;
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
        const double s = sin(step * double(i)), c = cos(step * double(i));
        ss += s * s, cc += c * c, sc += s * c, ys += signal[i] * s, yc += signal[i] * c;
    }
    const double det = ss * cc - sc * sc, kept = present ? 1.0 : 0.0;
    const double a = kept * (ys * cc - yc * sc) / det, b = kept * (yc * ss - ys * sc) / det;
    double rest = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
        const double error = signal[i] - a * sin(step * double(i)) - b * cos(step * double(i));
        rest += error * error;
    }
    return {20 * log10(sqrt(a * a + b * b) / 16000 + 1e-30), present ? atan2(b, a) : 0.0,
            10 * log10(rest / (16000.0 * 16000.0 / 2 * double(signal.size())))};
}
