#pragma once
// The root of the program's state: everything the schedule file holds.

#include "event_list.h"
#include "safe_file.h"

#include <QString>

// The main window's position and size, in pixels.
class TFormPos {
public:
    int32_t Top = 0;
    int32_t Left = 0;
    int32_t Height = 0;
    int32_t Width = 0;

    // From the first "Window" of Settings; unchanged when there is none.
    void ReadFromXML(pugi::xml_node Settings);
    void WriteToXML(pugi::xml_node Settings) const;
};

// UI thread only.
class TSchedule {
public:
    // The ticker runs from here on; without a clock it reads the system's.
    explicit TSchedule(const Clock *clock = nullptr);

    // Reads the file named by FileName into this schedule; no file, nothing
    // read. A file that cannot be read or parsed is kept aside (so that no
    // save replaces it) and an EFileError says why and where it went.
    void LoadFromFile();
    // Replaces the file named by FileName with the whole schedule, atomically.
    // Throws EFileError, leaving the old file as it was.
    void SaveToFile();
    // The parsing half of LoadFromFile; `source` names the bytes in errors.
    void LoadFromBytes(const QByteArray &bytes, const QString &source);
    // The document SaveToFile writes.
    QByteArray ToBytes() const;

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
    void ReadFromXML(pugi::xml_node Root);

    bool fPaused = false;
    int32_t fAudioDevice = 0;
};
