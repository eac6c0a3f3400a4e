#include "tone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using testsupport::FirstLoudSample;
using testsupport::RmsLevel;
using testsupport::ToneLevel;

namespace {

std::vector<int16_t> sine(double freqHz, double amplitude, size_t count, int rate = 48000)
{
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = int16_t(std::lround(32767.0 * amplitude * std::sin(2.0 * std::numbers::pi * freqHz * double(i) / rate)));
    return samples;
}

} // namespace

TEST(Tone, LevelsAreFractionsOfFullScale)
{
    const auto full = sine(440.0, 1.0, 48000);
    EXPECT_NEAR(ToneLevel(full, 440.0), 1.0, 0.01);
    EXPECT_NEAR(RmsLevel(full), std::sqrt(0.5), 0.01);
    EXPECT_LT(ToneLevel(full, 1000.0), 0.01);

    // A length that is no whole number of periods, and a frequency off the DFT bins.
    const auto quiet = sine(523.25, 0.125, 12345);
    EXPECT_NEAR(ToneLevel(quiet, 523.25), 0.125, 0.005);
    EXPECT_LT(ToneLevel(quiet, 440.0), 0.01);

    // Half the window silent halves the level.
    auto half = sine(440.0, 1.0, 24000);
    half.resize(48000, 0);
    EXPECT_NEAR(ToneLevel(half, 440.0), 0.5, 0.01);
}

TEST(Tone, SilenceAndEmptyGiveZero)
{
    const std::vector<int16_t> silence(48000, 0);
    EXPECT_EQ(ToneLevel(silence, 440.0), 0.0);
    EXPECT_EQ(RmsLevel(silence), 0.0);
    EXPECT_EQ(ToneLevel({}, 440.0), 0.0);
    EXPECT_EQ(RmsLevel({}), 0.0);
}

TEST(Tone, FirstLoudSampleLooksAtMagnitude)
{
    std::vector<int16_t> samples(2000, 100);
    samples[1500] = 20000;
    samples[1200] = -32768;
    EXPECT_EQ(FirstLoudSample(samples, 0.5), 1200u);
    EXPECT_EQ(FirstLoudSample(std::span(samples).subspan(1300), 0.5), 200u);
    EXPECT_FALSE(FirstLoudSample(samples, 1.01).has_value());
    EXPECT_EQ(FirstLoudSample(samples, 0.001), 0u);
}
