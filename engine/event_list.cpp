#include "event_list.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kTickMs = 500;
// Ticks land this long after a whole or half second, so that a timer that
// fires a hair early still reads the new second.
constexpr int kTickLateMs = 2;

bool DueOn(const TEvent &e, int weekday)
{
    switch (weekday) {
    case 1:
        return e.Mon;
    case 2:
        return e.Tue;
    case 3:
        return e.Wed;
    case 4:
        return e.Thu;
    case 5:
        return e.Fri;
    case 6:
        return e.Sat;
    case 7:
        return e.Sun;
    }
    return false;
}

} // namespace

int32_t CompareEventTimes(const TEvent &a, const TEvent &b)
{
    if (a.TimeSeconds == b.TimeSeconds)
        return 0;
    return a.TimeSeconds > b.TimeSeconds ? 1 : -1;
}

TEventList::TEventList(const Clock *clock) : fClock(clock ? *clock : SystemClock::instance())
{
    fTicker.setSingleShot(true);
    fTicker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&fTicker, &QTimer::timeout, &fTicker, [this] { Tick(); });
    ArmTicker();
}

TEventList::~TEventList() = default;

TEvent *TEventList::Items(int32_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw std::out_of_range(QStringLiteral("List index out of bounds (%1)").arg(Index).toStdString());
    return fItems[size_t(Index)].get();
}

void TEventList::Add(std::unique_ptr<TEvent> Event)
{
    fItems.push_back(std::move(Event));
}

void TEventList::Delete(int32_t Index)
{
    Items(Index); // the same range check
    fItems.erase(fItems.begin() + Index);
}

void TEventList::SortByTime()
{
    if (fItems.empty())
        return;
    std::stable_sort(fItems.begin(), fItems.end(),
                     [](const auto &a, const auto &b) { return CompareEventTimes(*a, *b) < 0; });
    SetUIDs();
}

void TEventList::SetUIDs()
{
    for (size_t i = 0; i < fItems.size(); ++i)
        fItems[i]->fUID = int32_t(i);
}

void TEventList::StopAll()
{
    for (const auto &e : fItems)
        e->Stop();
}

bool TEventList::AllStopped() const
{
    return std::all_of(fItems.begin(), fItems.end(),
                       [](const auto &e) { return e->Status() == csStopped; });
}

void TEventList::UpdateAudioDevice(int32_t Value)
{
    for (const auto &e : fItems)
        e->AudioDevice = Value;
}

void TEventList::SetTickerEnabled(bool Enabled)
{
    if (!Enabled) {
        fTicker.stop();
        for (const auto &e : fItems)
            e->Unprepare(); // nothing will play them
    } else if (!fTicker.isActive())
        ArmTicker();
}

// One-shot, set afresh at every tick from the clock, so ticks stay on the
// clock's half seconds after it is changed or the machine wakes from sleep.
void TEventList::ArmTicker()
{
    const int ms = fClock.now().time().msecsSinceStartOfDay();
    fTicker.start(kTickMs - ms % kTickMs + kTickLateMs);
}

void TEventList::Tick()
{
    ArmTicker();
    TickerTimer();
}

void TEventList::TickerTimer()
{
    if (fItems.empty())
        return;
    const QDateTime now = fClock.now(); // one reading for the whole tick
    const uint32_t second = uint32_t(now.time().msecsSinceStartOfDay() / 1000);
    const int weekday = now.date().dayOfWeek();
    // Events of the coming second open their streams now, so that all of
    // them, however many, start together at their tick. (Where the clock
    // skips an hour, those of the first second after the skip open at their
    // own tick instead.)
    const bool lastOfDay = second == kSecondsPerDay - 1;
    const uint32_t nextSecond = lastOfDay ? 0 : second + 1;
    const int nextWeekday = lastOfDay ? weekday % 7 + 1 : weekday;
    const size_t n = fItems.size();
    for (size_t i = 0; i < n; ++i) {
        TEvent &e = *fItems[i];
        if (e.TimeSeconds == second && DueOn(e, weekday)) {
            e.Play();
            e.Unprepare(); // left over when the event could not play
        } else if (e.TimeSeconds == nextSecond && DueOn(e, nextWeekday)) {
            e.Prepare();
        } else if (e.PreparedStream()) {
            e.Unprepare(); // its second went by unplayed: the clock moved, or it changed
        }
    }
}
