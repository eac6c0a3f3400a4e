#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Measurements on mono s16 samples. Levels are fractions of full scale.
// They take spans, so a std::vector works as is and a window of a recording
// is std::span(samples).subspan(first, count).
namespace testsupport {

// Amplitude of the freqHz component: a full-scale sine gives ~1.0, a sine of
// amplitude a gives ~a, silence 0. A tone filling only part of the samples
// gives its amplitude times that part.
double ToneLevel(std::span<const int16_t> samples, double freqHz, int rate = 48000);

// Root mean square: a full-scale sine gives ~0.707, silence 0.
double RmsLevel(std::span<const int16_t> samples);

// Index of the first sample whose magnitude reaches threshold (0..1].
std::optional<size_t> FirstLoudSample(std::span<const int16_t> samples, double threshold);

} // namespace testsupport
