#pragma once
// The root of the program's state: everything the schedule file holds.

#include "event_list.h"

#include <QString>

// The main window's position and size, in pixels.
class TFormPos {
public:
    int32_t Top = 0;
    int32_t Left = 0;
    int32_t Height = 0;
    int32_t Width = 0;
};

// UI thread only.
class TSchedule {
public:
    // The ticker runs from here on; without a clock it reads the system's.
    explicit TSchedule(const Clock *clock = nullptr);

    bool Paused() const { return fPaused; }
    // Switches the ticker off or on. Sounds that play go on.
    void SetPaused(bool Value);
    int32_t AudioDevice() const { return fAudioDevice; }
    // Hands the index to every event of the list, not to Defaults.
    void SetAudioDevice(int32_t Value);

    QString FileName;
    TFormPos MainFormPos;
    TEventList Events;
    TEvent Defaults; // the template for new events; never played
    bool MinimiseToTray = false;
    bool StartMinimised = false;

private:
    bool fPaused = false;
    int32_t fAudioDevice = 0;
};
