#include "tone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace testsupport {

namespace {
constexpr double kFullScale = 32768.0;
}

double ToneLevel(std::span<const int16_t> samples, double freqHz, int rate)
{
    if (samples.empty() || rate <= 0)
        return 0.0;
    // Goertzel at the exact frequency, not the nearest DFT bin.
    const double coeff = 2.0 * std::cos(2.0 * std::numbers::pi * freqHz / rate);
    double s1 = 0.0;
    double s2 = 0.0;
    for (const int16_t sample : samples) {
        const double s0 = sample / kFullScale + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = std::max(0.0, s1 * s1 + s2 * s2 - coeff * s1 * s2);
    // |X| of a sine of amplitude a over N samples is a * N / 2.
    return 2.0 * std::sqrt(power) / double(samples.size());
}

double RmsLevel(std::span<const int16_t> samples)
{
    if (samples.empty())
        return 0.0;
    double sum = 0.0;
    for (const int16_t sample : samples) {
        const double v = sample / kFullScale;
        sum += v * v;
    }
    return std::sqrt(sum / double(samples.size()));
}

std::optional<size_t> FirstLoudSample(std::span<const int16_t> samples, double threshold)
{
    const double limit = threshold * kFullScale;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(double(samples[i])) >= limit)
            return i;
    }
    return std::nullopt;
}

} // namespace testsupport
