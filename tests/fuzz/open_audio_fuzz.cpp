// Any bytes, saved under one of the playable extensions, either fail to open
// or decode to their end without a crash, a leak or a hang. The first byte
// picks the extension; the rest is the file.

#include "decoder.h"
#include "sample_ring.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct Kind {
    const char *extension;
    AudioCreator creator;
};

// The creator each extension gets in CreateAudioStream.
constexpr Kind kKinds[] = {
    {"wav", AudioCreator::Plain},  {"aiff", AudioCreator::Plain}, {"mp3", AudioCreator::Plain},
    {"ogg", AudioCreator::Plain},  {"flac", AudioCreator::Flac},  {"wma", AudioCreator::Wma},
    {"mp4", AudioCreator::Mp4},
};

constexpr int kRate = 48000;
// Ten seconds of stereo: enough to reach every path, short enough that a
// long (or endlessly looping) file does not time out.
constexpr size_t kMaxSamples = size_t(10) * kRate * 2;

std::string &dir()
{
    static std::string d;
    return d;
}

[[noreturn]] void fail(const char *why)
{
    std::fprintf(stderr, "%s\n", why);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char templ[] = "/tmp/open_audio_fuzz-XXXXXX";
    if (!mkdtemp(templ))
        fail("no temporary folder");
    dir() = templ;
    std::atexit([] { rmdir(dir().c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const Kind &kind = kKinds[data[0] % std::size(kKinds)];
    const std::string path = dir() + "/input." + kind.extension;
    {
        FILE *f = std::fopen(path.c_str(), "wb");
        if (!f)
            fail("cannot write the input file");
        if (size > 1 && std::fwrite(data + 1, 1, size - 1, f) != size - 1)
            fail("cannot write the input file");
        std::fclose(f);
    }

    Decoder decoder;
    std::string error;
    const bool opened = decoder.open(path, kind.creator, kRate, &error);
    // FFmpeg keeps the file open; gone now, a crash leaves no copy behind.
    std::remove(path.c_str());
    if (!opened) {
        if (error.empty())
            fail("open failed without saying why");
        return 0;
    }
    // Drained as the device's callback would, so no device is needed.
    SampleRing ring(8192);
    std::vector<float> out(ring.capacity());
    size_t total = 0;
    while (total < kMaxSamples) {
        const bool ended = decoder.fill(ring);
        const size_t n = ring.available();
        if (!ended && n == 0)
            fail("fill() wrote nothing and did not report the end: a player would wait forever");
        std::fill(out.begin(), out.end(), 0.0f);
        if (ring.mixInto(out.data(), n) != n)
            fail("the ring handed out fewer samples than it held");
        total += n;
        if (ended) {
            if (total % 2 != 0)
                fail("an odd number of interleaved stereo samples");
            break;
        }
    }
    return 0;
}
