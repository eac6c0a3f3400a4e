// How long opening a file and decoding its first block takes: the part of a
// bell's delay that happens before the sound can start.

#include "decoder.h"
#include "sample_ring.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string fixture(const char *name, const char *codec)
{
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / "tavolin-bench";
        std::filesystem::create_directories(d);
        return d;
    }();
    const std::string path = (dir / name).string();
    if (!std::filesystem::exists(path)) {
        const std::string cmd = std::string("ffmpeg -hide_banner -loglevel error -y -f lavfi -i "
                                            "sine=frequency=440:duration=30 -ac 2 -c:a ") +
                                codec + " '" + path + "'";
        if (std::system(cmd.c_str()) != 0)
            std::abort();
    }
    return path;
}

void OpenAndFirstBlock(benchmark::State &state, const char *name, const char *codec,
                       AudioCreator creator)
{
    const std::string path = fixture(name, codec);
    for (auto _ : state) {
        Decoder d;
        std::string error;
        if (!d.open(path, creator, 48000, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        SampleRing ring(48000 * 2); // one second, as a stream keeps
        benchmark::DoNotOptimize(d.fill(ring, ring.capacity() / 4)); // what a new stream decodes first
    }
}

BENCHMARK_CAPTURE(OpenAndFirstBlock, wav, "b.wav", "pcm_s16le", AudioCreator::Plain)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndFirstBlock, mp3, "b.mp3", "libmp3lame", AudioCreator::Plain)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndFirstBlock, ogg, "b.ogg", "libvorbis", AudioCreator::Plain)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndFirstBlock, flac, "b.flac", "flac", AudioCreator::Flac)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndFirstBlock, wma, "b.wma", "wmav2", AudioCreator::Wma)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndFirstBlock, mp4, "b.mp4", "aac", AudioCreator::Mp4)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
