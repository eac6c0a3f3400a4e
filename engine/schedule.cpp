#include "schedule.h"

TSchedule::TSchedule(const Clock *clock) : Events(clock) {}

void TSchedule::SetPaused(bool Value)
{
    fPaused = Value;
    Events.SetTickerEnabled(!Value);
}

void TSchedule::SetAudioDevice(int32_t Value)
{
    fAudioDevice = Value;
    Events.UpdateAudioDevice(Value);
}
