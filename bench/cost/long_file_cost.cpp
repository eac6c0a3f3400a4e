// Long files: opening a one-hour MP3 against a one-second one on device 1,
// and the memory a playing hour file takes.

#include "cost_common.h"

#include "audio_library.h"
#include "sound_server.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>

namespace {

constexpr int kPairs = 15;

// Made once and kept: the hour takes a while to encode.
std::string Mp3(int seconds)
{
    const std::string path = cost::CacheDir() + "/sine-" + std::to_string(seconds) + "s-64k.mp3";
    if (access(path.c_str(), R_OK) == 0)
        return path;
    const std::string part = path + ".part.mp3";
    const std::string cmd = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:duration=" +
                            std::to_string(seconds) + " -c:a libmp3lame -b:a 64k '" + part + "' && mv '" +
                            part + "' '" + path + "'";
    if (std::system(cmd.c_str()) != 0)
        return {};
    return path;
}

// Seconds for BASS_StreamCreateFile alone; the stream is freed afterwards.
double TimeOpen(const std::string &path)
{
    const auto t0 = std::chrono::steady_clock::now();
    const uint32_t h = BASS_StreamCreateFile(false, path.c_str(), 0, 0, 0);
    const auto t1 = std::chrono::steady_clock::now();
    if (!h) {
        std::printf("  cannot open %s: %s\n", path.c_str(), AudioLastError());
        return -1;
    }
    BASS_StreamFree(h);
    return std::chrono::duration<double>(t1 - t0).count();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testsupport::PrivateSoundServer server;
    QString error;
    if (!server.start(&error)) {
        std::printf("  private sound server did not start: %s\n", error.toLocal8Bit().constData());
        return 0;
    }
    std::printf("Long files: BASS_StreamCreateFile on device 1 (a private PulseAudio server's "
                "null sink), %d alternating pairs.\n", kPairs);
    const std::string second = Mp3(1);
    const double encodeStart = cost::MonotonicSeconds();
    const std::string hour = Mp3(3600);
    if (second.empty() || hour.empty()) {
        std::printf("  ffmpeg could not make the test files\n");
        return 0;
    }
    std::printf("    files: %s, %s (hour ready after %.1f s)\n", second.c_str(), hour.c_str(),
                cost::MonotonicSeconds() - encodeStart);
    if (!BASS_Init(1, 44100, 0, nullptr, nullptr) || !BASS_SetDevice(1)) {
        std::printf("  BASS_Init(1) failed: %s\n", AudioLastError());
        return 0;
    }

    TimeOpen(second); // first use loads codecs and warms the caches
    TimeOpen(hour);
    std::vector<double> secondMs, hourMs, ratios;
    for (int i = 0; i < kPairs; ++i) {
        const double s = TimeOpen(second), h = TimeOpen(hour);
        if (s <= 0 || h <= 0)
            return 0;
        secondMs.push_back(s * 1e3);
        hourMs.push_back(h * 1e3);
        ratios.push_back(h / s);
    }
    std::printf("    open one-second MP3: median %.3f ms (min %.3f, max %.3f)\n", cost::Median(secondMs),
                *std::min_element(secondMs.begin(), secondMs.end()),
                *std::max_element(secondMs.begin(), secondMs.end()));
    std::printf("    open one-hour MP3:   median %.3f ms (min %.3f, max %.3f)\n", cost::Median(hourMs),
                *std::min_element(hourMs.begin(), hourMs.end()), *std::max_element(hourMs.begin(), hourMs.end()));
    cost::ReportGoal("open hour / open second, median of pair ratios", cost::Median(ratios), "x", 2);

    const int self = getpid();
    const long long before = cost::RssKb(self);
    const uint32_t h = BASS_StreamCreateFile(false, hour.c_str(), 0, 0, 0);
    if (!h || !BASS_ChannelPlay(h, false)) {
        std::printf("  cannot play %s: %s\n", hour.c_str(), AudioLastError());
        return 0;
    }
    std::printf("    VmRSS while the hour plays, every second (kB): %lld (before)", before);
    long long peak = before, last = before;
    bool playing = true;
    for (int i = 0; i < 10; ++i) {
        QThread::msleep(1000);
        last = cost::RssKb(self);
        peak = std::max(peak, last);
        playing = playing && BASS_ChannelIsActive(h) == kAudioPlaying;
        std::printf(" %lld", last);
    }
    std::printf("\n    still playing after 10 s: %s\n", playing ? "yes" : "no");
    BASS_StreamFree(h);
    std::printf("    VmRSS after the stream is freed: %lld kB\n", cost::RssKb(self));
    cost::ReportGoal("VmRSS growth while the hour file plays 10 s (peak)", (peak - before) / 1024.0, "MB", 10);
    server.stop();
    return 0;
}
