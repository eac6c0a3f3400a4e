// The event list with its ticker, the schedule and the output devices, on a
// simulated clock with the recording audio double.

#include "audio_devices.h"
#include "recording_backend.h"
#include "schedule.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

namespace {

using Calls = std::vector<std::string>;

const QDate kMonday(2026, 12, 7);

QDateTime at(QDate day, int h, int m, int s, int ms = 0)
{
    return QDateTime(day, QTime(h, m, s, ms));
}

class ScheduleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // An event in the list, at `seconds`, on the weekdays given as "MTWTFSS"
    // with '-' for a day off.
    TEvent *add(TEventList &list, uint32_t seconds, const char *days = "MTWTF--",
                const char *name = "bell.wav")
    {
        auto e = std::make_unique<TEvent>();
        e->TimeSeconds = seconds;
        bool *flags[] = {&e->Mon, &e->Tue, &e->Wed, &e->Thu, &e->Fri, &e->Sat, &e->Sun};
        for (int i = 0; i < 7; ++i)
            *flags[i] = days[i] != '-';
        e->AudioFile = file(QString::fromLatin1(name));
        e->SetName(QString::fromLatin1(name));
        TEvent *raw = e.get();
        list.Add(std::move(e));
        return raw;
    }

    QString file(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }

    // Which files were opened, in order.
    std::vector<std::string> opened() const
    {
        std::vector<std::string> names;
        for (const std::string &c : audio.calls())
            if (c.starts_with("BASS_StreamCreateFile("))
                names.push_back(c.substr(c.rfind('/') + 1, c.find(',') - c.rfind('/') - 1));
        return names;
    }

    // The stream ends: the library says so and its notice is taken.
    void end(TEvent *e)
    {
        audio.setActive(e->Stream(), kAudioInactive);
        audio.runEndSyncs(e->Stream());
        QCoreApplication::processEvents();
    }

    RecordingAudioBackend audio;
    QTemporaryDir dir;
    ManualClock clock{at(kMonday, 7, 59, 59, 700)};
};

TEST_F(ScheduleTest, PlaysAtTheFirstTickOfItsSecondAndNotAgainWhilePlaying)
{
    TEventList list(&clock);
    TEvent *e = add(list, 8 * 3600);
    list.TickerTimer(); // 07:59:59.7
    EXPECT_EQ(opened(), Calls{"bell.wav"}) << "opened ahead of its second";
    const uint32_t ahead = e->PreparedStream();
    ASSERT_NE(ahead, 0u);
    EXPECT_EQ(e->Status(), csStopped);
    for (const std::string &c : audio.calls())
        EXPECT_FALSE(c.starts_with("BASS_ChannelPlay(")) << "nothing starts before its second";
    clock.advance(500); // 08:00:00.2
    list.TickerTimer();
    EXPECT_EQ(opened(), Calls{"bell.wav"}) << "the stream opened ahead is the one that plays";
    EXPECT_EQ(e->Stream(), ahead);
    EXPECT_EQ(e->PreparedStream(), 0u);
    EXPECT_EQ(audio.calls().back(), "BASS_ChannelPlay(" + std::to_string(ahead) + ", false)");
    EXPECT_EQ(e->Status(), csPlaying);
    clock.advance(500); // 08:00:00.7
    list.TickerTimer();
    EXPECT_EQ(opened().size(), 1u);
    clock.advance(500); // 08:00:01.2
    list.TickerTimer();
    EXPECT_EQ(opened().size(), 1u);
}

// A stream opened ahead that its second does not use is freed, and one for a
// file or output the event no longer has is never played.
TEST_F(ScheduleTest, StreamsOpenedAheadAndNotPlayedAreFreed)
{
    auto freed = [&](uint32_t h) {
        const std::string call = "BASS_StreamFree(" + std::to_string(h) + ")";
        const Calls calls = audio.calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    };
    // An 08:00:00 event in `list`, ticked at 07:59:59.7: its stream opened ahead.
    auto openAhead = [&](TEventList &list) {
        clock.set(at(kMonday, 7, 59, 59, 700));
        TEvent *e = add(list, 8 * 3600);
        list.TickerTimer();
        return std::pair{e, e->PreparedStream()};
    };
    {
        SCOPED_TRACE("the clock jumps past the second");
        TEventList list(&clock);
        const auto [e, ahead] = openAhead(list);
        ASSERT_NE(ahead, 0u);
        clock.set(at(kMonday, 9, 0, 0));
        list.TickerTimer();
        EXPECT_TRUE(freed(ahead));
        EXPECT_EQ(e->PreparedStream(), 0u);
    }
    {
        SCOPED_TRACE("paused");
        TEventList list(&clock);
        const uint32_t ahead = openAhead(list).second;
        list.SetTickerEnabled(false);
        EXPECT_TRUE(freed(ahead));
    }
    {
        SCOPED_TRACE("the file and the output changed");
        TEventList list(&clock);
        const auto [e, ahead] = openAhead(list);
        e->AudioFile = file(QStringLiteral("other.wav"));
        e->AudioDevice = 1;
        clock.advance(500);
        audio.clearCalls();
        list.TickerTimer();
        EXPECT_TRUE(freed(ahead));
        EXPECT_EQ(opened(), Calls{"other.wav"});
        EXPECT_NE(e->Stream(), ahead);
        EXPECT_EQ(audio.deviceOf(e->Stream()), 2u);
    }
    {
        SCOPED_TRACE("destroyed with the list");
        uint32_t ahead = 0;
        {
            TEventList list(&clock);
            ahead = openAhead(list).second;
        }
        EXPECT_TRUE(freed(ahead));
    }
}

TEST_F(ScheduleTest, AClipShorterThanATickPlaysTwiceInItsSecond)
{
    TEventList list(&clock);
    TEvent *e = add(list, 8 * 3600);
    clock.set(at(kMonday, 8, 0, 0, 100));
    list.TickerTimer();
    end(e);
    EXPECT_EQ(e->Status(), csStopped);
    clock.advance(500);
    list.TickerTimer();
    EXPECT_EQ(opened(), (Calls{"bell.wav", "bell.wav"}));
}

TEST_F(ScheduleTest, EventsOfOneSecondPlayInListOrder)
{
    TEventList list(&clock);
    add(list, 8 * 3600, "MTWTF--", "second.wav");
    add(list, 8 * 3600 + 60, "MTWTF--", "later.wav");
    add(list, 8 * 3600, "MTWTF--", "first.wav");
    clock.set(at(kMonday, 8, 0, 0, 300));
    list.TickerTimer();
    EXPECT_EQ(opened(), (Calls{"second.wav", "first.wav"}));
}

TEST_F(ScheduleTest, WeekdaysAndTimesThatNeverPlay)
{
    struct Case {
        uint32_t seconds;
        const char *days;
        QDateTime now;
        bool plays;
    };
    const QDate tuesday = kMonday.addDays(1), sunday = kMonday.addDays(6);
    const Case cases[] = {
        // Midnight belongs to the new day.
        {0, "-T-----", at(tuesday, 0, 0, 0, 200), true},
        {0, "M------", at(tuesday, 0, 0, 0, 200), false},
        {86399, "M------", at(kMonday, 23, 59, 59, 900), true},
        // Opened ahead a second before: across midnight, for the new day.
        {0, "-T-----", at(kMonday, 23, 59, 59, 600), true},
        {0, "M------", at(kMonday, 23, 59, 59, 600), false},
        {3600, "------S", at(sunday, 1, 0, 0), true},
        {3600, "MTWTFS-", at(sunday, 1, 0, 0), false},
        {3600, "-------", at(kMonday, 1, 0, 0), false},
        {86400, "MTWTFSS", at(tuesday, 0, 0, 0), false},
        {86400, "MTWTFSS", at(kMonday, 23, 59, 59, 999), false},
        {4294967295u, "MTWTFSS", at(kMonday, 23, 59, 59), false},
    };
    for (const Case &c : cases) {
        TEventList list(&clock);
        add(list, c.seconds, c.days);
        clock.set(c.now);
        audio.clearCalls();
        list.TickerTimer();
        EXPECT_EQ(opened().size(), c.plays ? 1u : 0u)
            << c.seconds << " " << c.days << " " << c.now.toString().toStdString();
    }
}

TEST_F(ScheduleTest, SortingOrdersByTimeKeepsEqualTimesAndNumbersRows)
{
    TEventList list(&clock);
    add(list, 3600, "MTWTF--", "a.wav");
    add(list, 60, "MTWTF--", "b.wav");
    add(list, 3600, "MTWTF--", "c.wav");
    list.SortByTime();
    std::vector<std::pair<uint32_t, int32_t>> got;
    QStringList names;
    for (int i = 0; i < list.Count(); ++i) {
        got.emplace_back(list.Items(i)->TimeSeconds, list.Items(i)->UID());
        names << list.Items(i)->Name();
    }
    EXPECT_EQ(got, (std::vector<std::pair<uint32_t, int32_t>>{{60, 0}, {3600, 1}, {3600, 2}}));
    EXPECT_EQ(names, (QStringList{QStringLiteral("b.wav"), QStringLiteral("a.wav"), QStringLiteral("c.wav")}));

    TEventList one(&clock);
    TEvent *only = add(one, 5);
    EXPECT_EQ(only->UID(), -1);
    one.SortByTime();
    EXPECT_EQ(only->UID(), 0);

    TEvent x, y;
    x.TimeSeconds = 1;
    y.TimeSeconds = 4294967295u; // compared unsigned
    EXPECT_EQ(CompareEventTimes(x, y), -1);
    EXPECT_EQ(CompareEventTimes(y, x), 1);
    EXPECT_EQ(CompareEventTimes(x, x), 0);
}

TEST_F(ScheduleTest, AnEmptyListDoesNothing)
{
    TEventList list(&clock);
    EXPECT_TRUE(list.AllStopped());
    list.SortByTime();
    list.SetUIDs();
    list.StopAll();
    list.UpdateAudioDevice(3);
    list.TickerTimer();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(audio.calls().empty());
    EXPECT_THROW(list.Items(0), std::out_of_range);
}

TEST_F(ScheduleTest, StopAllStopsWhatPlaysAndTellsItsListenerOnce)
{
    TEventList list(&clock);
    TEvent *quiet = add(list, 100);
    TEvent *playing = add(list, 200);
    list.SetUIDs();
    std::vector<std::pair<int32_t, TCueStatus>> heard;
    for (TEvent *e : {quiet, playing})
        e->SetOnStatusChange([&](int32_t uid, TCueStatus s) { heard.emplace_back(uid, s); });
    ASSERT_TRUE(playing->Play());
    EXPECT_FALSE(list.AllStopped());
    heard.clear();
    audio.clearCalls();

    list.StopAll();
    EXPECT_TRUE(list.AllStopped());
    EXPECT_EQ(heard, (std::vector<std::pair<int32_t, TCueStatus>>{{1, csStopped}}));
    EXPECT_EQ(audio.calls(), Calls{"BASS_ChannelStop(" + std::to_string(playing->Stream()) + ")"});
}

TEST_F(ScheduleTest, DeletedOrDestroyedEventsFallSilentWithoutLateNotices)
{
    auto list = std::make_unique<TEventList>(&clock);
    TEvent *first = add(*list, 100, "MTWTF--", "first.wav");
    TEvent *second = add(*list, 200, "MTWTF--", "second.wav");
    TEvent *kept = add(*list, 300, "MTWTF--", "kept.wav");
    int notices = 0;
    for (TEvent *e : {first, second, kept}) {
        ASSERT_TRUE(e->Play());
        e->SetOnStatusChange([&](int32_t, TCueStatus) { ++notices; });
    }
    const uint32_t s1 = first->Stream(), s2 = second->Stream(), s3 = kept->Stream();
    for (uint32_t s : {s1, s2, s3}) {
        audio.setActive(s, kAudioInactive);
        audio.runEndSyncs(s); // notices on their way
    }
    audio.clearCalls();

    list->Delete(0);
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Items(0), second);
    EXPECT_EQ(audio.calls(), Calls{"BASS_StreamFree(" + std::to_string(s1) + ")"});
    list.reset();
    Calls freed = audio.calls();
    std::sort(freed.begin(), freed.end());
    EXPECT_EQ(freed, (Calls{"BASS_StreamFree(" + std::to_string(s1) + ")",
                            "BASS_StreamFree(" + std::to_string(s2) + ")",
                            "BASS_StreamFree(" + std::to_string(s3) + ")"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(notices, 0);
}

TEST_F(ScheduleTest, AFreshScheduleHoldsItsFirstValues)
{
    TSchedule s(&clock);
    EXPECT_FALSE(s.Paused());
    EXPECT_TRUE(s.Events.TickerEnabled());
    EXPECT_EQ(s.AudioDevice(), 0);
    EXPECT_TRUE(s.FileName.isEmpty());
    EXPECT_EQ(s.Events.Count(), 0);
    EXPECT_EQ(s.Defaults.TimeSeconds, 0u);
    EXPECT_TRUE(s.Defaults.Name().isEmpty());
    EXPECT_FALSE(s.Defaults.Mon || s.Defaults.Tue || s.Defaults.Wed || s.Defaults.Thu ||
                 s.Defaults.Fri || s.Defaults.Sat || s.Defaults.Sun);
    EXPECT_TRUE(s.Defaults.AudioFile.isEmpty());
    EXPECT_EQ(s.Defaults.AudioDevice, 0);
    EXPECT_EQ(s.Defaults.UID(), -1);
    EXPECT_FALSE(s.Defaults.OnStatusChange());
    EXPECT_FALSE(s.MinimiseToTray);
    EXPECT_FALSE(s.StartMinimised);
    EXPECT_EQ(s.MainFormPos.Top, 0);
    EXPECT_EQ(s.MainFormPos.Left, 0);
    EXPECT_EQ(s.MainFormPos.Height, 0);
    EXPECT_EQ(s.MainFormPos.Width, 0);
}

TEST_F(ScheduleTest, AudioDeviceReachesEveryEventButDefaults)
{
    TSchedule empty(&clock);
    empty.SetAudioDevice(4);
    EXPECT_EQ(empty.AudioDevice(), 4);

    TSchedule s(&clock);
    TEvent *playing = add(s.Events, 100);
    TEvent *other = add(s.Events, 200);
    ASSERT_TRUE(playing->Play());
    const uint32_t stream = playing->Stream();
    audio.clearCalls();
    s.SetAudioDevice(2);
    EXPECT_EQ(s.AudioDevice(), 2);
    EXPECT_EQ(playing->AudioDevice, 2);
    EXPECT_EQ(other->AudioDevice, 2);
    EXPECT_EQ(s.Defaults.AudioDevice, 0);
    EXPECT_TRUE(audio.calls().empty()) << "a playing stream is not moved";
    EXPECT_EQ(audio.deviceOf(stream), 1u);

    playing->Stop();
    ASSERT_TRUE(playing->Play());
    EXPECT_EQ(audio.deviceOf(playing->Stream()), 3u) << "the next play takes the new device";
}

// With the real ticker running on the simulated clock.
TEST_F(ScheduleTest, PausingStopsTicksAndASecondPassedWhilePausedIsNotCaughtUp)
{
    TSchedule s(&clock);
    TEvent *running = add(s.Events, 8 * 3600 + 5);
    clock.set(at(kMonday, 8, 0, 5, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return running->Status() == csPlaying; }, 2000))
        << "a running ticker plays the event";

    s.SetPaused(true);
    EXPECT_FALSE(s.Events.TickerEnabled());
    EXPECT_EQ(running->Status(), csPlaying) << "pausing leaves sounds playing";
    s.SetPaused(true); // again: nothing changes
    EXPECT_FALSE(s.Events.TickerEnabled());

    TEvent *missed = add(s.Events, 8 * 3600 + 6);
    clock.set(at(kMonday, 8, 0, 6, 100));
    QTest::qWait(1200);
    EXPECT_EQ(missed->Status(), csStopped) << "no tick while paused";

    clock.set(at(kMonday, 8, 0, 7, 100));
    s.SetPaused(false);
    EXPECT_TRUE(s.Events.TickerEnabled());
    QTest::qWait(1200);
    EXPECT_EQ(missed->Status(), csStopped) << "its second has passed";
}

// A clock that notes the moment of each reading.
class NotingClock final : public Clock {
public:
    QDateTime now() const override
    {
        const QDateTime t = QDateTime::currentDateTime();
        std::lock_guard lock(mutex);
        readings.push_back(t);
        return t;
    }
    mutable std::mutex mutex;
    mutable std::vector<QDateTime> readings;
};

TEST_F(ScheduleTest, TicksLandJustAfterWholeAndHalfSeconds)
{
    NotingClock noting;
    TEventList list(&noting); // empty: each tick reads the clock once, to re-arm
    ASSERT_TRUE(QTest::qWaitFor([&] { return noting.readings.size() > 21; }, 15000));
    std::vector<int> late;
    for (size_t i = 1; i <= 20; ++i)
        late.push_back(noting.readings[i].time().msecsSinceStartOfDay() % 500);
    for (int ms : late)
        EXPECT_LT(ms, 50) << "every tick within 50 ms after a whole or half second";
    const qint64 span = noting.readings[1].msecsTo(noting.readings[20]);
    EXPECT_NEAR(double(span), 19 * 500.0, 100.0) << "500 ms apart";
}

TEST_F(ScheduleTest, EveryOutputThatOpensIsListedWithItsOwnDevice)
{
    audio.devices = {{"Speakers", true}, {"Headset", false}, {"Hall", true}};
    QStringList messages;
    TAudioDeviceList devices;
    devices.Names << QStringLiteral("stale");
    GetAudioDevices(devices, [&](const QString &m) { messages << m; });
    EXPECT_EQ(messages, QStringList{QStringLiteral("Error initializing audio device 2")});
    EXPECT_EQ(devices.Names, (QStringList{QStringLiteral("Speakers"), QStringLiteral("Hall")}));
    EXPECT_EQ(devices.DeviceIndexAt(1), 2);
    EXPECT_EQ(devices.PositionOf(2), 1);
    EXPECT_EQ(devices.DeviceIndexAt(2), -1);

    TSchedule s(&clock);
    TEvent *e = add(s.Events, 100);
    s.SetAudioDevice(devices.DeviceIndexAt(1)); // the user picks "Hall"
    ASSERT_TRUE(e->Play());
    EXPECT_EQ(audio.deviceOf(e->Stream()), 3u) << "the second name plays on the third device";

    audio.devices.clear();
    messages.clear();
    GetAudioDevices(devices, [&](const QString &m) { messages << m; });
    EXPECT_TRUE(devices.Names.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
