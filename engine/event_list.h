#pragma once
// The schedule's events in row order, with the ticker that plays them.

#include "clock.h"
#include "project_classes.h"

#include <QTimer>

#include <memory>
#include <vector>

// -1, 0 or 1 as a's TimeSeconds is below, equal to or above b's.
int32_t CompareEventTimes(const TEvent &a, const TEvent &b);

// Owns its events: one deleted from the list, or left in it when the list is
// destroyed, is destroyed with it, which silences its sound and drops any
// end notice still on its way. UI thread only.
class TEventList {
public:
    // Ticks from now on, twice a second, aligned to the clock's whole and half
    // seconds. Without a clock it reads the system's.
    explicit TEventList(const Clock *clock = nullptr);
    ~TEventList();
    TEventList(const TEventList &) = delete;
    TEventList &operator=(const TEventList &) = delete;

    int32_t Count() const { return int32_t(fItems.size()); }
    // Throws std::out_of_range for a position outside 0 .. Count() - 1.
    TEvent *Items(int32_t Index) const;
    // Takes the event; it goes last.
    void Add(std::unique_ptr<TEvent> Event);
    // Destroys the event at Index; later events move up one place.
    void Delete(int32_t Index);

    // Sorts by TimeSeconds, keeping the order of equal times, and renumbers.
    void SortByTime();
    // Gives every event its position as row number.
    void SetUIDs();
    void StopAll();
    bool AllStopped() const;
    void UpdateAudioDevice(int32_t Value);

    // Appends one event per child of the root's first "Events".
    void ReadFromXML(pugi::xml_node Root);
    // Appends "Events" to Root, with one "Event" per event in list order.
    void WriteToXML(pugi::xml_node Root) const;

    // Switching the ticker; the schedule's Paused does this. Switching it off
    // frees the streams opened ahead.
    void SetTickerEnabled(bool Enabled);
    bool TickerEnabled() const { return fTicker.isActive(); }

    // Plays every event due at the clock's current second and weekday, and
    // opens ahead the streams of those due at the next second. Runs at every
    // tick; public so tests can run a tick at a moment of their choosing.
    void TickerTimer();

private:
    void ArmTicker();
    void Tick();

    std::vector<std::unique_ptr<TEvent>> fItems;
    const Clock &fClock;
    QTimer fTicker;
};
