#include "fixtures.h"
#include "monitor_recorder.h"
#include "sound_server.h"
#include "tone.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace testsupport;

static auto *const soundEnvironment = UseSoundServer();

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(15000) || process.exitCode() != 0)
        return u"FAILED: "_s + QString::fromLocal8Bit(process.readAll());
    return QString::fromLocal8Bit(process.readAll());
}

std::optional<size_t> lastLoudSample(const std::vector<int16_t> &samples, double threshold)
{
    for (size_t i = samples.size(); i-- > 0;) {
        if (std::abs(samples[i] / 32768.0) >= threshold)
            return i;
    }
    return std::nullopt;
}

} // namespace

// Clients that name no server, as SDL in the engine does, must land on ours.
TEST(SoundServer, DefaultClientsReachThePrivateServer)
{
    PrivateSoundServer *server = SoundServerEnvironment::server();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(qEnvironmentVariable("PULSE_SERVER"), server->serverAddress());
    EXPECT_EQ(qEnvironmentVariable("SDL_AUDIODRIVER"), u"pulseaudio"_s);

    const QString info = run(u"pactl"_s, {u"info"_s});
    EXPECT_TRUE(info.contains(u"Server String: "_s + server->serverAddress())) << info.toStdString();
    EXPECT_TRUE(info.contains(u"Default Sink: "_s + server->sinkA())) << info.toStdString();

    const QString sinks = run(u"pactl"_s, {u"list"_s, u"sinks"_s});
    EXPECT_TRUE(sinks.contains(u"Description: "_s + server->descriptionA())) << sinks.toStdString();
    EXPECT_TRUE(sinks.contains(u"Description: "_s + server->descriptionB())) << sinks.toStdString();
}

TEST(SoundServer, MonitorsTellTheSinksApart)
{
    PrivateSoundServer *server = SoundServerEnvironment::server();
    ASSERT_NE(server, nullptr);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    const QString tone = MakeTone(dir.path(), u"tone.wav"_s, 440.0, 1.0, 48000, 2, {}, &error);
    ASSERT_FALSE(tone.isEmpty()) << error.toStdString();

    MonitorRecorder recorderA;
    MonitorRecorder recorderB;
    ASSERT_TRUE(recorderA.start(server->sinkA(), &error)) << error.toStdString();
    ASSERT_TRUE(recorderB.start(server->sinkB(), &error)) << error.toStdString();
    QElapsedTimer liveA;
    QElapsedTimer liveB;
    ASSERT_TRUE(recorderA.waitUntilLive(&error)) << error.toStdString();
    liveA.start();
    ASSERT_TRUE(recorderB.waitUntilLive(&error)) << error.toStdString();
    liveB.start();
    QTest::qWait(500);

    const QDateTime launched = QDateTime::currentDateTime();
    QProcess paplay;
    paplay.setProcessChannelMode(QProcess::MergedChannels);
    paplay.start(u"paplay"_s, {u"--server=%1"_s.arg(server->serverAddress()), u"-d"_s, server->sinkA(), tone});
    // Blocks without an event loop: the recorders must keep up regardless.
    ASSERT_TRUE(paplay.waitForFinished(10000));
    ASSERT_EQ(paplay.exitCode(), 0) << paplay.readAll().toStdString();
    QTest::qWait(300);

    const double secondsA = liveA.elapsed() / 1000.0;
    const double secondsB = liveB.elapsed() / 1000.0;
    const std::vector<int16_t> a = recorderA.stop();
    const std::vector<int16_t> b = recorderB.stop();
    EXPECT_TRUE(recorderA.error().isEmpty()) << recorderA.error().toStdString();
    EXPECT_TRUE(recorderB.error().isEmpty()) << recorderB.error().toStdString();
    // Nothing lost while this thread was blocked, nothing added.
    EXPECT_NEAR(double(a.size()) / MonitorRecorder::kRate, secondsA, 0.1);
    EXPECT_NEAR(double(b.size()) / MonitorRecorder::kRate, secondsB, 0.1);

    const auto first = FirstLoudSample(a, 0.01);
    const auto last = lastLoudSample(a, 0.01);
    ASSERT_TRUE(first && last) << "nothing audible on " << server->sinkA().toStdString();
    // The tone lasts 1 s: a wrong rate or channel count in the chain would stretch or squeeze it.
    const double seconds = double(*last - *first) / MonitorRecorder::kRate;
    EXPECT_NEAR(seconds, 1.0, 0.05);

    const double levelA = ToneLevel(std::span(a).subspan(*first, *last - *first), 440.0);
    const double levelB = ToneLevel(b, 440.0);
    const double onsetMs = double(launched.msecsTo(recorderA.timeOfSample(*first)));
    std::printf("440 Hz level on A %.4f (RMS %.4f), on B %.6f (RMS %.6f); tone %.3f s, "
                "heard %.0f ms after paplay was launched\n",
                levelA, RmsLevel(std::span(a).subspan(*first, *last - *first)), levelB, RmsLevel(b), seconds,
                onsetMs);
    // ffmpeg's sine peaks at 1/8 of full scale, -3 dB per channel when upmixed to stereo.
    EXPECT_GT(levelA, 0.07);
    EXPECT_LT(levelB, 0.001);
    EXPECT_FALSE(FirstLoudSample(b, 0.001).has_value());
    // The sample clock of a recording must match the wall clock.
    EXPECT_GT(onsetMs, -50.0);
    EXPECT_LT(onsetMs, 500.0);
}

// A typo in a sink name must fail loudly, not record silence.
TEST(SoundServer, RecorderRejectsUnknownSink)
{
    MonitorRecorder recorder;
    QString error;
    EXPECT_FALSE(recorder.start(u"no_such_sink"_s, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(recorder.stop().empty());
}
