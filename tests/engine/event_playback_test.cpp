// Events playing real files through the private sound server.

#include "fixtures.h"
#include "project_classes.h"
#include "sound_server.h"

#include "audio_library.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

auto *const soundEnvironment = testsupport::UseSoundServer();

class EventPlaybackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << AudioLastError();
        // An idle null sink renders ahead in blocks of up to 2 s; the open
        // device's silence takes it past them before anything is timed.
        QThread::msleep(3000);
        media = new QTemporaryDir;
        QString error;
        const std::pair<const char *, QStringList> files[] = {
            {"one.wav", {}},
            {"one.mp3", {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}},
            {"one.flac", {}},
            {"one.mp4", {QStringLiteral("-c:a"), QStringLiteral("aac")}},
        };
        for (const auto &[name, codec] : files)
            ASSERT_FALSE(testsupport::MakeTone(media->path(), QString::fromLatin1(name), 660, 1.0,
                                               44100, 2, codec, &error)
                             .isEmpty())
                << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete media;
        media = nullptr;
    }

    static inline QTemporaryDir *media = nullptr;
};

TEST_F(EventPlaybackTest, TheEndReachesTheListenerOnTheUiThreadOnTime)
{
    for (const char *name : {"one.wav", "one.mp3", "one.flac", "one.mp4"}) {
        SCOPED_TRACE(name);
        TEvent e;
        e.AudioFile = media->filePath(QString::fromLatin1(name));
        qint64 endedAfter = -1;
        bool onUiThread = false;
        QElapsedTimer clock;
        e.SetOnStatusChange([&](int32_t, TCueStatus status) {
            if (status == csStopped) {
                endedAfter = clock.elapsed();
                onUiThread = QThread::currentThread() == qApp->thread();
            }
        });
        clock.start();
        ASSERT_TRUE(e.Play()) << AudioLastError();
        EXPECT_EQ(e.Status(), csPlaying);
        ASSERT_TRUE(QTest::qWaitFor([&] { return endedAfter >= 0; }, 5000));
        EXPECT_NEAR(double(endedAfter), 1000.0, 250.0);
        EXPECT_TRUE(onUiThread);
        EXPECT_EQ(e.Status(), csStopped);
        ASSERT_TRUE(e.Play()) << "an ended event plays again";
        e.Stop();
    }
}

TEST_F(EventPlaybackTest, DestroyingAPlayingEventSilencesItWithoutALateNotice)
{
    int notices = 0;
    auto e = std::make_unique<TEvent>();
    e->AudioFile = media->filePath(QStringLiteral("one.wav"));
    ASSERT_TRUE(e->Play());
    e->SetOnStatusChange([&](int32_t, TCueStatus) { ++notices; });
    const uint32_t stream = e->Stream();
    QTest::qWait(300);
    e.reset();
    EXPECT_EQ(BASS_ChannelIsActive(stream), kAudioInactive);
    QTest::qWait(1000);
    EXPECT_EQ(notices, 0);
}

} // namespace
