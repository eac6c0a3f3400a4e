// A week of a thousand events on the simulated clock, ticked as the real
// ticker would, twice a second: each event plays at its second on its days
// and never otherwise, and can play again on its next day.

#include "recording_backend.h"
#include "schedule.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int kEvents = 1000;
constexpr int kDays = 7;
constexpr int kTickMs = 500;

TEST(SoakTest, AWeekOfAThousandEventsPlaysEachAtItsSecondOnItsDaysOnly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("bell.wav"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    RecordingAudioBackend audio;
    // UTC, so that no change of summer time shifts the simulated week.
    const QDateTime monday(QDate(2026, 12, 7), QTime(0, 0), QTimeZone::utc());
    ManualClock clock(monday.addMSecs(2)); // the first tick: 00:00:00.002
    TEventList list(&clock);
    list.SetTickerEnabled(false); // this test ticks by hand

    std::mt19937 random(20261207);
    struct Play {
        int day;
        uint32_t second;
    };
    std::vector<std::vector<Play>> plays(kEvents);
    std::vector<int> clipTicks(kEvents); // how many ticks a clip lasts
    std::vector<TEvent *> playing;
    int day = 0;
    uint32_t second = 0;
    for (int i = 0; i < kEvents; ++i) {
        auto e = std::make_unique<TEvent>();
        e->TimeSeconds = std::uniform_int_distribution<uint32_t>(0, 86399)(random);
        bool *flags[] = {&e->Mon, &e->Tue, &e->Wed, &e->Thu, &e->Fri, &e->Sat, &e->Sun};
        for (bool *f : flags)
            *f = random() % 2;
        e->AudioFile = file;
        // Shorter than a tick, it plays again at the second tick of its
        // second; longer, it is still playing then and must not restart.
        clipTicks[size_t(i)] = i % 2 ? 1 : 2;
        TEvent *raw = e.get();
        e->SetOnStatusChange([&, i, raw](int32_t, TCueStatus s) {
            if (s == csPlaying) {
                plays[size_t(i)].push_back({day, second});
                playing.push_back(raw);
            }
        });
        list.Add(std::move(e));
    }
    list.SetUIDs();

    // Every tick of the week, on the real ticker's phase (.002 and .502).
    std::vector<std::pair<TEvent *, int>> ending; // event, ticks left
    const int ticks = kDays * 86400 * (1000 / kTickMs);
    for (int t = 0; t < ticks; ++t, clock.advance(kTickMs)) {
        day = t / (86400 * 2);
        second = uint32_t(t / 2 % 86400);
        list.TickerTimer();
        for (TEvent *e : playing)
            ending.emplace_back(e, clipTicks[size_t(e->UID())]);
        playing.clear();
        // The clips that are over end, as the library would report it.
        for (size_t k = 0; k < ending.size();) {
            if (--ending[k].second > 0) {
                ++k;
                continue;
            }
            TEvent *e = ending[k].first;
            audio.setActive(e->Stream(), kAudioInactive);
            audio.runEndSyncs(e->Stream());
            QCoreApplication::processEvents();
            ASSERT_EQ(e->Status(), csStopped) << e->UID();
            ending[k] = ending.back();
            ending.pop_back();
        }
    }
    ASSERT_EQ(clock.now(), monday.addDays(kDays).addMSecs(2));

    int total = 0;
    for (int i = 0; i < kEvents; ++i) {
        const TEvent &e = *list.Items(i);
        const bool on[] = {e.Mon, e.Tue, e.Wed, e.Thu, e.Fri, e.Sat, e.Sun};
        std::vector<int> perDay(kDays);
        for (const Play &p : plays[size_t(i)]) {
            EXPECT_EQ(p.second, e.TimeSeconds) << "event " << i << " played at the wrong second";
            ++perDay[size_t(p.day)];
        }
        for (int d = 0; d < kDays; ++d)
            EXPECT_EQ(perDay[size_t(d)], on[d] ? 3 - clipTicks[size_t(i)] : 0)
                << "event " << i << " at " << e.TimeSeconds << " s on day " << d;
        total += int(plays[size_t(i)].size());
    }
    // The double saw one stream opened per play, and no other: every stream
    // opened ahead of its second was the one played then.
    int created = 0, started = 0;
    for (const std::string &c : audio.calls()) {
        created += c.starts_with("BASS_StreamCreateFile(");
        started += c.starts_with("BASS_ChannelPlay(");
    }
    EXPECT_EQ(created, total);
    EXPECT_EQ(started, total);
    std::printf("%d ticks, %d plays\n", ticks, total);
}

} // namespace
