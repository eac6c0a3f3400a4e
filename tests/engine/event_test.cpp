// TEvent and stream opening against the recording audio double.

#include "project_classes.h"
#include "recording_backend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Calls = std::vector<std::string>;

struct Heard {
    int32_t uid;
    TCueStatus status;
    bool onUiThread;
    bool operator==(const Heard &) const = default;
};

class EventTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // An existing file; the double never reads it.
    QString file(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }

    void listen(TEvent &e)
    {
        e.SetOnStatusChange([this](int32_t uid, TCueStatus status) {
            heard.push_back({uid, status, QThread::currentThread() == qApp->thread()});
        });
    }

    std::string created(const QString &path) const
    {
        return "BASS_StreamCreateFile(" + path.toStdString() + ", 0x80000000)";
    }

    RecordingAudioBackend audio;
    QTemporaryDir dir;
    std::vector<Heard> heard;
};

TEST_F(EventTest, FreshEventIsEmptyAndUnnumbered)
{
    TEvent e;
    EXPECT_EQ(e.UID(), -1);
    EXPECT_EQ(e.Status(), csStopped);
    EXPECT_EQ(e.Stream(), 0u);
    EXPECT_EQ(e.TimeSeconds, 0u);
    EXPECT_FALSE(e.Mon || e.Tue || e.Wed || e.Thu || e.Fri || e.Sat || e.Sun);
    EXPECT_TRUE(e.Name().isEmpty());
    EXPECT_TRUE(e.AudioFile.isEmpty());
    EXPECT_EQ(e.AudioDevice, 0);
}

TEST_F(EventTest, NameDropsOnlyCharactersBelow33AtBothEnds)
{
    struct Case {
        QString given, stored;
    };
    const Case cases[] = {
        {QStringLiteral("  Bell\t"), QStringLiteral("Bell")},
        {QStringLiteral("    "), QString()},
        {QString::fromUtf16(u"\u0001\u001F Bell \r\n"), QStringLiteral("Bell")},
        {QStringLiteral("First  bell"), QStringLiteral("First  bell")},
        // No-break spaces are not below 33: they stay.
        {QString::fromUtf16(u"\u00A0Bell\u00A0"), QString::fromUtf16(u"\u00A0Bell\u00A0")},
        {QString::fromUtf16(u"\u2003Bell"), QString::fromUtf16(u"\u2003Bell")},
    };
    TEvent e;
    for (const Case &c : cases) {
        e.SetName(c.given);
        EXPECT_EQ(e.Name(), c.stored) << c.given.toStdString();
    }
}

TEST_F(EventTest, ListenerHearsEachChangeOnce)
{
    TEvent e;
    listen(e);
    e.SetStatus(csStopped);
    EXPECT_TRUE(heard.empty());
    e.SetStatus(csPaused);
    e.SetStatus(csPaused);
    e.SetStatus(csStopped);
    EXPECT_EQ(heard, (std::vector<Heard>{{-1, csPaused, true}, {-1, csStopped, true}}));
}

TEST_F(EventTest, PlayOpensByExtensionOnTheEventsDevice)
{
    struct Case {
        QString name;
        int32_t device;
        std::string creator;
        std::string selected;
    };
    const Case cases[] = {
        {QStringLiteral("Bell.WAV"), 0, "BASS_StreamCreateFile", "BASS_SetDevice(1)"},
        {QStringLiteral("bell.aiff"), 2, "BASS_StreamCreateFile", "BASS_SetDevice(3)"},
        {QStringLiteral("bell.Mp3"), 0, "BASS_StreamCreateFile", "BASS_SetDevice(1)"},
        {QStringLiteral("bell.ogg"), 0, "BASS_StreamCreateFile", "BASS_SetDevice(1)"},
        {QStringLiteral("bell.FLAC"), 1, "BASS_FLAC_StreamCreateFile", "BASS_SetDevice(2)"},
        {QStringLiteral("bell.wMa"), 0, "BASS_WMA_StreamCreateFile", "BASS_SetDevice(1)"},
        {QStringLiteral("bell.mp4"), 0, "BASS_MP4_StreamCreateFile", "BASS_SetDevice(1)"},
        {QStringLiteral("bell.wav"), -1, "BASS_StreamCreateFile", "BASS_SetDevice(0)"},
    };
    for (const Case &c : cases) {
        TEvent e;
        listen(e);
        e.AudioFile = file(c.name);
        e.AudioDevice = c.device;
        audio.clearCalls();
        heard.clear();
        ASSERT_TRUE(e.Play()) << c.name.toStdString();
        const std::string h = std::to_string(audio.lastHandle());
        EXPECT_EQ(audio.calls(), (Calls{"BASS_StreamFree(0)", c.selected,
                                        c.creator + "(" + e.AudioFile.toStdString() + ", 0x80000000)",
                                        "BASS_ChannelSetSync(" + h + ", 2)",
                                        "BASS_ChannelPlay(" + h + ", false)"}));
        EXPECT_EQ(e.Status(), csPlaying);
        EXPECT_EQ(e.Stream(), audio.lastHandle());
        EXPECT_EQ(heard, (std::vector<Heard>{{-1, csPlaying, true}}));
    }
}

TEST_F(EventTest, KindsThatOpenNothingMakeNoCreatorCall)
{
    for (const char *name : {"jingle.m4a", "a.avi", "a.mid", "a.mov", "a.mpg", "a.wmv", "readme"}) {
        uint32_t stream = 77;
        audio.clearCalls();
        CreateAudioStream(stream, 0, file(QString::fromLatin1(name)), false);
        EXPECT_EQ(stream, 0u) << name;
        EXPECT_EQ(audio.calls(), Calls{"BASS_SetDevice(1)"}) << name;
    }
}

TEST_F(EventTest, LoopAddsTheLoopFlag)
{
    uint32_t stream = 0;
    const QString path = file(QStringLiteral("bell.wav"));
    CreateAudioStream(stream, 0, path, true);
    EXPECT_EQ(audio.calls().back(), "BASS_StreamCreateFile(" + path.toStdString() + ", 0x80000004)");
}

TEST_F(EventTest, PlayRefusesWithoutAnyLibraryCall)
{
    const QString folder = dir.filePath(QStringLiteral("folder.wav"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &path :
         {QString(), folder, dir.filePath(QStringLiteral("missing.wav")),
          dir.filePath(QStringLiteral("dangling.wav"))}) {
        if (path.endsWith(QStringLiteral("dangling.wav")))
            QFile::link(dir.filePath(QStringLiteral("nowhere.wav")), path);
        TEvent e;
        listen(e);
        e.AudioFile = path;
        EXPECT_FALSE(e.Play()) << path.toStdString();
        EXPECT_EQ(e.Status(), csStopped);
    }
    EXPECT_TRUE(audio.calls().empty());
    EXPECT_TRUE(heard.empty());
}

TEST_F(EventTest, LinkToAFilePlays)
{
    const QString target = file(QStringLiteral("real.wav"));
    const QString link = dir.filePath(QStringLiteral("link.wav"));
    ASSERT_TRUE(QFile::link(target, link));
    TEvent e;
    e.AudioFile = link;
    EXPECT_TRUE(e.Play());
}

TEST_F(EventTest, SecondPlayWhilePlayingDoesNothing)
{
    TEvent e;
    e.AudioFile = file(QStringLiteral("bell.wav"));
    ASSERT_TRUE(e.Play());
    audio.clearCalls();
    EXPECT_FALSE(e.Play());
    EXPECT_TRUE(audio.calls().empty());
}

TEST_F(EventTest, FailedOpenFreesThePreviousStreamAndStaysStopped)
{
    TEvent e;
    e.AudioFile = file(QStringLiteral("bell.wav"));
    ASSERT_TRUE(e.Play());
    ASSERT_TRUE(e.Stop());
    const std::string old = std::to_string(e.Stream());

    listen(e);
    e.AudioFile = file(QStringLiteral("jingle.m4a"));
    audio.clearCalls();
    EXPECT_FALSE(e.Play());
    EXPECT_EQ(audio.calls(), (Calls{"BASS_StreamFree(" + old + ")", "BASS_SetDevice(1)"}));
    EXPECT_EQ(e.Stream(), 0u);
    EXPECT_EQ(e.Status(), csStopped);
    EXPECT_TRUE(heard.empty());

    audio.createSucceeds = false;
    e.AudioFile = file(QStringLiteral("broken.wav"));
    EXPECT_FALSE(e.Play());
    EXPECT_EQ(e.Stream(), 0u);
    EXPECT_TRUE(heard.empty());
}

TEST_F(EventTest, StopKeepsTheStreamUntilTheNextPlay)
{
    TEvent e;
    listen(e);
    EXPECT_FALSE(e.Stop());
    EXPECT_TRUE(audio.calls().empty());

    e.AudioFile = file(QStringLiteral("bell.wav"));
    ASSERT_TRUE(e.Play());
    const std::string first = std::to_string(e.Stream());
    audio.clearCalls();
    EXPECT_TRUE(e.Stop());
    EXPECT_EQ(audio.calls(), Calls{"BASS_ChannelStop(" + first + ")"});
    EXPECT_EQ(e.Status(), csStopped);

    audio.clearCalls();
    ASSERT_TRUE(e.Play());
    EXPECT_EQ(audio.calls().front(), "BASS_StreamFree(" + first + ")");
    EXPECT_EQ(heard, (std::vector<Heard>{{-1, csPlaying, true}, {-1, csStopped, true}, {-1, csPlaying, true}}));
}

TEST_F(EventTest, AssignCopiesButLeavesTheSoundPlaying)
{
    TEvent source;
    source.TimeSeconds = 28800;
    source.SetName(QStringLiteral("Break"));
    source.Mon = source.Wed = source.Sun = true;
    source.AudioFile = file(QStringLiteral("break.mp3"));
    source.AudioDevice = 3;
    listen(source);

    TEvent target;
    target.AudioFile = file(QStringLiteral("bell.wav"));
    ASSERT_TRUE(target.Play());
    const uint32_t stream = target.Stream();
    audio.clearCalls();

    target.Assign(source);
    EXPECT_EQ(target.TimeSeconds, 28800u);
    EXPECT_EQ(target.Name(), QStringLiteral("Break"));
    EXPECT_TRUE(target.Mon && !target.Tue && target.Wed && !target.Thu && !target.Fri &&
                !target.Sat && target.Sun);
    EXPECT_EQ(target.AudioFile, source.AudioFile);
    EXPECT_EQ(target.AudioDevice, 3);
    EXPECT_EQ(target.Status(), csStopped);
    EXPECT_EQ(target.Stream(), stream);
    EXPECT_EQ(target.UID(), -1);
    EXPECT_TRUE(audio.calls().empty()) << "the stream must not be touched";
    EXPECT_EQ(heard, (std::vector<Heard>{{-1, csStopped, true}}));
}

// The end of a stream comes on the library's thread and takes effect on the
// UI thread, through BASS_ChannelIsActive.
TEST_F(EventTest, EndNoticeRefreshesTheStatusOnTheUiThread)
{
    struct Case {
        uint32_t answer;
        TCueStatus status;
    };
    const Case cases[] = {{kAudioInactive, csStopped}, {kAudioPlaying, csPlaying},
                          {kAudioStalled, csPlaying}, {kAudioPaused, csPaused}, {9, csPlaying}};
    for (const Case &c : cases) {
        TEvent e;
        listen(e);
        e.AudioFile = file(QStringLiteral("bell.wav"));
        ASSERT_TRUE(e.Play());
        heard.clear();
        audio.setActive(e.Stream(), c.answer);
        audio.runEndSyncs(e.Stream());
        EXPECT_EQ(e.Status(), csPlaying) << "changed before the UI thread took the notice";
        QCoreApplication::processEvents();
        EXPECT_EQ(e.Status(), c.status) << c.answer;
        for (const Heard &h : heard)
            EXPECT_TRUE(h.onUiThread);
    }
}

TEST_F(EventTest, NoticeOfAnOlderStreamIsDropped)
{
    TEvent e;
    e.AudioFile = file(QStringLiteral("bell.wav"));
    ASSERT_TRUE(e.Play());
    const uint32_t old = e.Stream();
    ASSERT_TRUE(e.Stop());
    audio.setActive(old, kAudioInactive);
    audio.runEndSyncs(old); // queued while the old stream still exists
    ASSERT_TRUE(e.Play());
    audio.clearCalls();
    QCoreApplication::processEvents();
    EXPECT_TRUE(audio.calls().empty());
    EXPECT_EQ(e.Status(), csPlaying);
}

TEST_F(EventTest, DestroyingAnEventFreesItsStreamAndDropsItsPendingNotice)
{
    auto e = std::make_unique<TEvent>();
    bool heardAfterDeath = false;
    e->SetOnStatusChange([&](int32_t, TCueStatus) { heardAfterDeath = true; });
    e->AudioFile = file(QStringLiteral("bell.wav"));
    ASSERT_TRUE(e->Play());
    heardAfterDeath = false;
    const uint32_t stream = e->Stream();
    audio.setActive(stream, kAudioInactive);
    audio.runEndSyncs(stream);

    audio.clearCalls();
    e.reset(); // with the notice still queued
    EXPECT_EQ(audio.calls(), Calls{"BASS_StreamFree(" + std::to_string(stream) + ")"});
    QCoreApplication::processEvents(); // would touch freed memory if the notice were not dropped
    EXPECT_FALSE(heardAfterDeath);
    EXPECT_EQ(audio.calls().size(), 1u);
}

} // namespace
