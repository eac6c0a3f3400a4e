// The real audio layer, played through a private PulseAudio server with two
// null sinks and heard on their monitors.

#include "audio_library.h"
#include "fixtures.h"
#include "monitor_recorder.h"
#include "sound_server.h"
#include "tone.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::MonitorRecorder;
using testsupport::ToneLevel;

auto *const soundEnvironment = testsupport::UseSoundServer();

constexpr uint32_t kDefaultDevice = 1;
constexpr double kToneSeconds = 0.6;
constexpr double kSilentBin = 1500; // no fixture plays this frequency

struct Kind {
    const char *file;
    uint32_t (*create)(bool, const void *, uint64_t, uint64_t, uint32_t);
    double freq;
    int rate;
    int channels;
    QStringList codec;
};

// Every kind the engine routes to a creator, at assorted rates, depths and
// channel counts.
const std::vector<Kind> &kinds()
{
    static const std::vector<Kind> all = {
        {"bell.wav", BASS_StreamCreateFile, 440, 44100, 1, {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")}},
        {"bell8.wav", BASS_StreamCreateFile, 494, 11025, 1, {QStringLiteral("-c:a"), QStringLiteral("pcm_u8")}},
        {"bell.aiff", BASS_StreamCreateFile, 523, 48000, 2, {QStringLiteral("-c:a"), QStringLiteral("pcm_s24be")}},
        {"bell.mp3", BASS_StreamCreateFile, 587, 22050, 1, {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}},
        {"bell.ogg", BASS_StreamCreateFile, 659, 32000, 2, {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}},
        {"bell.flac", BASS_FLAC_StreamCreateFile, 698, 96000, 2,
         {QStringLiteral("-c:a"), QStringLiteral("flac"), QStringLiteral("-sample_fmt"), QStringLiteral("s32")}},
        {"bell.wma", BASS_WMA_StreamCreateFile, 784, 44100, 2, {QStringLiteral("-c:a"), QStringLiteral("wmav2")}},
        {"bell.mp4", BASS_MP4_StreamCreateFile, 880, 48000, 1, {QStringLiteral("-c:a"), QStringLiteral("aac")}},
    };
    return all;
}

// Counts end syncs; user data is the counter.
void countEnd(uint32_t, uint32_t, uint32_t, void *user)
{
    auto *ended = static_cast<std::atomic<int> *>(user);
    ended->fetch_add(1);
    ended->notify_all();
}

// Streams the sound server is playing for its clients: one per open output.
int serverPlaybackStreams()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
        return -1;
    return int(pactl.readAllStandardOutput().count('\n'));
}

bool waitFor(std::atomic<int> &value, int wanted, std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    while (value.load() < wanted) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class AudioLayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        media = new QTemporaryDir;
        ASSERT_TRUE(media->isValid());
        QString error;
        for (const Kind &k : kinds())
            ASSERT_FALSE(testsupport::MakeTone(media->path(), QString::fromLatin1(k.file), k.freq,
                                               kToneSeconds, k.rate, k.channels, k.codec, &error)
                             .isEmpty())
                << error.toStdString();
        for (double f : {1000.0, 1250.0})
            ASSERT_FALSE(testsupport::MakeTone(media->path(), QStringLiteral("tone%1.wav").arg(f), f,
                                               1.0, 44100, 2, {}, &error)
                             .isEmpty())
                << error.toStdString();
        ASSERT_FALSE(testsupport::MakeTone(media->path(), QStringLiteral("long.wav"), 440, 4.0,
                                           44100, 1, {}, &error)
                         .isEmpty());

        // Every device the system offers, opened once for the whole run.
        AudioDeviceInfo info;
        for (uint32_t n = 1; BASS_GetDeviceInfo(n, &info); ++n) {
            ASSERT_TRUE(BASS_Init(int(n), 44100, 0, nullptr, nullptr)) << info.name << ": " << AudioLastError();
            if (QString::fromUtf8(info.name) == soundEnvironment->server()->descriptionB())
                deviceB = n;
        }
        ASSERT_NE(deviceB, 0u) << "the second sink is not among the devices";
    }
    static void TearDownTestSuite()
    {
        delete media;
        media = nullptr;
    }

    static std::string path(const QString &name) { return media->filePath(name).toStdString(); }
    static std::string path(const char *name) { return path(QString::fromLatin1(name)); }

    static uint32_t open(const std::string &file, uint32_t device = kDefaultDevice)
    {
        BASS_SetDevice(device);
        return BASS_StreamCreateFile(false, file.c_str(), 0, 0, 0);
    }

    void record()
    {
        QString error;
        ASSERT_TRUE(onA.start(soundEnvironment->server()->sinkA(), &error)) << error.toStdString();
        ASSERT_TRUE(onB.start(soundEnvironment->server()->sinkB(), &error)) << error.toStdString();
        std::this_thread::sleep_for(3s); // past the idle sink's long blocks
    }

    static inline QTemporaryDir *media = nullptr;
    static inline uint32_t deviceB = 0;
    MonitorRecorder onA, onB;
};

TEST_F(AudioLayerTest, DevicesAreTheDefaultThenTheNamedOutputs)
{
    AudioDeviceInfo info;
    EXPECT_FALSE(BASS_GetDeviceInfo(0, &info));
    EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_GetDeviceInfo(1, &info));
    EXPECT_STREQ(info.name, "Default output");
    EXPECT_TRUE(info.flags & kAudioDeviceDefault);
    EXPECT_TRUE(info.flags & kAudioDeviceInitialised);

    QStringList names;
    uint32_t n = 2;
    for (; BASS_GetDeviceInfo(n, &info); ++n)
        names << QString::fromUtf8(info.name);
    EXPECT_TRUE(names.contains(soundEnvironment->server()->descriptionA())) << names.join(u',').toStdString();
    EXPECT_TRUE(names.contains(soundEnvironment->server()->descriptionB()));
    EXPECT_FALSE(BASS_Init(int(n), 44100, 0, nullptr, nullptr));
    EXPECT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << "a ready device stays ready";
}

TEST_F(AudioLayerTest, EveryKindPlaysToItsEndOnTheDefaultDevice)
{
    record();
    for (const Kind &k : kinds()) {
        SCOPED_TRACE(k.file);
        const std::string file = path(k.file);
        BASS_SetDevice(kDefaultDevice);
        const uint32_t h = k.create(false, file.c_str(), 0, 0, 0);
        ASSERT_NE(h, 0u) << AudioLastError();
        std::atomic<int> ended{0};
        ASSERT_NE(BASS_ChannelSetSync(h, kAudioSyncEnd, 0, countEnd, &ended), 0u);
        EXPECT_EQ(BASS_ChannelIsActive(h), kAudioInactive) << "not started yet";

        const auto started = Clock::now();
        ASSERT_TRUE(BASS_ChannelPlay(h, false));
        EXPECT_EQ(BASS_ChannelIsActive(h), kAudioPlaying);
        ASSERT_TRUE(waitFor(ended, 1, 5s));
        const auto took = std::chrono::duration<double>(Clock::now() - started).count();
        EXPECT_NEAR(took, kToneSeconds, 0.25);
        EXPECT_EQ(BASS_ChannelIsActive(h), kAudioInactive);
        EXPECT_FALSE(BASS_ChannelPlay(h, false)) << "an ended stream does not start again";
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(ended.load(), 1) << "the end is reported once";
        EXPECT_TRUE(BASS_StreamFree(h));
    }
    std::this_thread::sleep_for(300ms);
    const auto a = onA.stop();
    const auto b = onB.stop();
    ASSERT_FALSE(a.empty());
    const double floor = ToneLevel(a, kSilentBin);
    for (const Kind &k : kinds()) {
        const double level = ToneLevel(a, k.freq);
        EXPECT_GT(level, 0.002) << k.file;
        EXPECT_GT(level, 10 * floor) << k.file;
        EXPECT_LT(ToneLevel(b, k.freq), level / 20) << k.file << " leaked onto the other sink";
    }
}

TEST_F(AudioLayerTest, StreamsGoToTheDeviceTheyWereCreatedOn)
{
    record();
    const uint32_t onSecond = open(path("tone1000.wav"), deviceB);
    const uint32_t onDefault = open(path("tone1250.wav"), kDefaultDevice);
    ASSERT_NE(onSecond, 0u) << AudioLastError();
    ASSERT_NE(onDefault, 0u) << AudioLastError();
    std::atomic<int> ended{0};
    BASS_ChannelSetSync(onSecond, kAudioSyncEnd, 0, countEnd, &ended);
    BASS_ChannelSetSync(onDefault, kAudioSyncEnd, 0, countEnd, &ended);
    BASS_ChannelPlay(onSecond, false);
    BASS_ChannelPlay(onDefault, false);
    ASSERT_TRUE(waitFor(ended, 2, 5s));
    std::this_thread::sleep_for(300ms);
    const auto a = onA.stop();
    const auto b = onB.stop();
    EXPECT_GT(ToneLevel(b, 1000), 0.01);
    EXPECT_LT(ToneLevel(a, 1000), ToneLevel(b, 1000) / 20);
    EXPECT_GT(ToneLevel(a, 1250), 0.01);
    EXPECT_LT(ToneLevel(b, 1250), ToneLevel(a, 1250) / 20);
    BASS_StreamFree(onSecond);
    BASS_StreamFree(onDefault);
}

TEST_F(AudioLayerTest, TwoStreamsOnOneDevicePlayTogether)
{
    record();
    const uint32_t first = open(path("tone1000.wav"));
    const uint32_t second = open(path("tone1250.wav"));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    std::atomic<int> ended{0};
    BASS_ChannelSetSync(first, kAudioSyncEnd, 0, countEnd, &ended);
    BASS_ChannelSetSync(second, kAudioSyncEnd, 0, countEnd, &ended);
    BASS_ChannelPlay(first, false);
    BASS_ChannelPlay(second, false);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(BASS_ChannelIsActive(first), kAudioPlaying);
    EXPECT_EQ(BASS_ChannelIsActive(second), kAudioPlaying);
    ASSERT_TRUE(waitFor(ended, 2, 5s));
    std::this_thread::sleep_for(300ms);
    const auto a = onA.stop();
    // Both one-second tones at full length: each fills the same stretch.
    const auto loud = testsupport::FirstLoudSample(a, 0.05);
    ASSERT_TRUE(loud.has_value());
    const auto window = std::span(a).subspan(*loud, std::min<size_t>(a.size() - *loud, MonitorRecorder::kRate));
    EXPECT_GT(ToneLevel(window, 1000), 0.05);
    EXPECT_GT(ToneLevel(window, 1250), 0.05);
    BASS_StreamFree(first);
    BASS_StreamFree(second);
}

TEST_F(AudioLayerTest, StopHoldsTheStreamAndPlayResumesIt)
{
    const uint32_t h = open(path("long.wav"));
    ASSERT_NE(h, 0u);
    std::atomic<int> ended{0};
    BASS_ChannelSetSync(h, kAudioSyncEnd, 0, countEnd, &ended);
    ASSERT_TRUE(BASS_ChannelPlay(h, false));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(BASS_ChannelStop(h));
    EXPECT_EQ(BASS_ChannelIsActive(h), kAudioInactive);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(ended.load(), 0) << "stopping is not the end";

    const auto resumed = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, false));
    ASSERT_TRUE(waitFor(ended, 1, 6s));
    // About 3.7 s of the 4 s were left.
    EXPECT_NEAR(std::chrono::duration<double>(Clock::now() - resumed).count(), 3.7, 0.25);
    EXPECT_TRUE(BASS_StreamFree(h));
}

TEST_F(AudioLayerTest, DeadHandlesAreRefusedAndHarmNoOtherStream)
{
    const uint32_t live = open(path("long.wav"));
    const uint32_t freed = open(path("tone1000.wav"));
    ASSERT_NE(live, 0u);
    ASSERT_NE(freed, 0u);
    ASSERT_TRUE(BASS_StreamFree(freed));
    ASSERT_TRUE(BASS_ChannelPlay(live, false));

    for (uint32_t h : {0u, freed, 0xDEADBEEFu}) {
        SCOPED_TRACE(h);
        EXPECT_FALSE(BASS_ChannelPlay(h, false));
        EXPECT_FALSE(BASS_ChannelStop(h));
        EXPECT_EQ(BASS_ChannelIsActive(h), kAudioInactive);
        EXPECT_EQ(BASS_ChannelSetSync(h, kAudioSyncEnd, 0, countEnd, nullptr), 0u);
        EXPECT_FALSE(BASS_StreamFree(h));
    }
    EXPECT_EQ(BASS_ChannelIsActive(live), kAudioPlaying);
    BASS_StreamFree(live);
    EXPECT_EQ(BASS_ChannelIsActive(live), kAudioInactive);
}

TEST_F(AudioLayerTest, StreamsNeedAReadyDevice)
{
    for (uint32_t device : {0u, 250u}) {
        BASS_SetDevice(device);
        EXPECT_EQ(BASS_StreamCreateFile(false, path("tone1000.wav").c_str(), 0, 0, 0), 0u) << device;
        EXPECT_STRNE(AudioLastError(), "");
    }
}

// A silent output costs the machine all the same, so it is closed after a few
// quiet seconds; the next stream opens it again and is heard whole.
TEST_F(AudioLayerTest, AQuietOutputClosesAndTheNextStreamOpensItAgain)
{
    const uint32_t held = open(path("tone1000.wav"), deviceB);
    ASSERT_NE(held, 0u);
    std::this_thread::sleep_for(6s);
    EXPECT_GE(serverPlaybackStreams(), 1) << "a stream waiting to start keeps its output open";
    ASSERT_TRUE(BASS_StreamFree(held));

    const auto deadline = Clock::now() + 10s;
    while (serverPlaybackStreams() != 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(200ms);
    ASSERT_EQ(serverPlaybackStreams(), 0) << "quiet outputs are still open";
    AudioDeviceInfo info;
    ASSERT_TRUE(BASS_GetDeviceInfo(deviceB, &info));
    EXPECT_TRUE(info.flags & kAudioDeviceInitialised) << "closing is no concern of the caller";

    record();
    const uint32_t h = open(path("tone1000.wav"), deviceB);
    ASSERT_NE(h, 0u) << AudioLastError();
    std::atomic<int> ended{0};
    BASS_ChannelSetSync(h, kAudioSyncEnd, 0, countEnd, &ended);
    ASSERT_TRUE(BASS_ChannelPlay(h, false));
    EXPECT_GE(serverPlaybackStreams(), 1);
    ASSERT_TRUE(waitFor(ended, 1, 5s));
    std::this_thread::sleep_for(300ms);
    const auto b = onB.stop();
    onA.stop();
    // The whole second of tone, not a clipped start.
    const auto loud = testsupport::FirstLoudSample(b, 0.05);
    ASSERT_TRUE(loud.has_value());
    const auto window = std::span(b).subspan(*loud, std::min<size_t>(b.size() - *loud, MonitorRecorder::kRate * 9 / 10));
    EXPECT_GT(ToneLevel(window, 1000), 0.05);
    EXPECT_TRUE(BASS_StreamFree(h));
}

TEST_F(AudioLayerTest, AStreamMayBeFreedFromItsOwnEndSync)
{
    const uint32_t h = open(path("bell.wav"));
    ASSERT_NE(h, 0u);
    static std::atomic<int> freedInside{0};
    freedInside = 0;
    BASS_ChannelSetSync(h, kAudioSyncEnd, 0,
                        [](uint32_t, uint32_t channel, uint32_t, void *) {
                            freedInside = BASS_StreamFree(channel) ? 1 : -1;
                        },
                        nullptr);
    BASS_ChannelPlay(h, false);
    ASSERT_TRUE(waitFor(freedInside, 1, 5s));
    EXPECT_EQ(freedInside.load(), 1);
    EXPECT_EQ(BASS_ChannelIsActive(h), kAudioInactive);
}

TEST_F(AudioLayerTest, NamesInUtf16AndWithColonsOpen)
{
    const QString odd = media->filePath(QString::fromUtf16(u"Zvon\u010Dek: \u2603 \U0001F514.wav"));
    ASSERT_TRUE(QFile::copy(media->filePath(QStringLiteral("bell.wav")), odd));
    BASS_SetDevice(kDefaultDevice);
    const uint32_t h = BASS_StreamCreateFile(false, odd.utf16(), 0, 0, kAudioStreamUnicode);
    EXPECT_NE(h, 0u) << AudioLastError();
    BASS_StreamFree(h);
}

TEST_F(AudioLayerTest, EachCreatorOpensOnlyItsOwnContainers)
{
    BASS_SetDevice(kDefaultDevice);
    const std::string wav = path("bell.wav");
    EXPECT_EQ(BASS_WMA_StreamCreateFile(false, wav.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_FLAC_StreamCreateFile(false, wav.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_MP4_StreamCreateFile(false, wav.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(false, path("bell.flac").c_str(), 0, 0, 0), 0u);
}

// Damaged files open as nothing, or play what they hold and end; never a
// crash or a hang.
TEST_F(AudioLayerTest, DamagedFilesNeverCrashOrHang)
{
    auto bytes = [](const char *name) {
        QFile f(media->filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    QByteArray noise(64 * 1024, '\0');
    uint32_t x = 12345;
    for (char &c : noise) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    const QByteArray wav = bytes("bell.wav"), mp3 = bytes("bell.mp3"), flac = bytes("bell.flac"),
                     mp4 = bytes("bell.mp4"), ogg = bytes("bell.ogg");
    struct Case {
        const char *name;
        QByteArray content;
    };
    const Case cases[] = {
        {"empty.mp3", {}},
        {"empty.wav", {}},
        {"noise.mp3", noise},
        {"noise.wav", noise},
        {"noise.flac", noise},
        {"noise.ogg", noise},
        {"header-only.wav", wav.left(44)},
        {"truncated.wav", wav.left(wav.size() / 2)},
        {"truncated.mp3", mp3.left(mp3.size() / 2)},
        {"truncated.flac", flac.left(flac.size() / 2)},
        {"truncated.ogg", ogg.left(ogg.size() / 2)},
        {"truncated.mp4", mp4.left(mp4.size() / 2)},
        {"corrupt-middle.mp3", mp3.left(mp3.size() / 3) + noise.left(4096) + mp3.mid(mp3.size() / 2)},
        {"text.ogg", QByteArray("this is not a sound\n")},
        {"playlist.mp3", QByteArray("#EXTM3U\n#EXTINF:1,\n/etc/passwd\n")},
        // A header claiming 524 MHz: the resampler would want gigabytes.
        {"absurd-rate.wav", wav.left(24) + QByteArray("\x3e\x00\x40\x1f", 4) + wav.mid(28)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = testsupport::WriteBytes(media->path(), QString::fromLatin1(c.name), c.content);
        ASSERT_FALSE(file.isEmpty());
        const std::string name = file.toStdString();
        BASS_SetDevice(kDefaultDevice);
        uint32_t h = 0;
        if (name.ends_with(".flac"))
            h = BASS_FLAC_StreamCreateFile(false, name.c_str(), 0, 0, 0);
        else if (name.ends_with(".mp4"))
            h = BASS_MP4_StreamCreateFile(false, name.c_str(), 0, 0, 0);
        else
            h = BASS_StreamCreateFile(false, name.c_str(), 0, 0, 0);
        if (h == 0) {
            EXPECT_STRNE(AudioLastError(), "") << "a refusal says why";
            continue;
        }
        EXPECT_FALSE(name.ends_with("absurd-rate.wav")) << "an impossible format is refused";
        std::atomic<int> ended{0};
        BASS_ChannelSetSync(h, kAudioSyncEnd, 0, countEnd, &ended);
        BASS_ChannelPlay(h, false);
        EXPECT_TRUE(waitFor(ended, 1, 10s)) << "played what it could, then ended";
        EXPECT_TRUE(BASS_StreamFree(h));
    }
}

} // namespace
