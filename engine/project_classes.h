#pragma once
// The schedule's objects. Everything here lives on the UI thread; the one
// exception is StreamEndSync, which the audio library calls on its own thread.

#include "global.h"

#include <QString>

#include <pugixml.hpp>

#include <cstdint>
#include <functional>

enum TCueStatus : uint8_t {
    csStopped = 0,
    csPlaying = 1,
    csPaused = 2,
    csError = 3, // never set; kept so the values match what is stored elsewhere
};

// Hears every change of an event's status, with the event's row number.
using TOnStatusChange = std::function<void(int32_t UID, TCueStatus Status)>;

// One scheduled sound.
class TEvent {
public:
    TEvent();
    // Frees the stream; an end notice still on its way is dropped.
    ~TEvent();
    TEvent(const TEvent &) = delete;
    TEvent &operator=(const TEvent &) = delete;

    // Copies time, name, weekdays, file, device and listener; then reports
    // csStopped. The stream and the row number stay this event's own.
    void Assign(const TEvent &Source);
    void Clear();

    // Opens the file on the event's device and starts it. False when the file
    // is missing, the event is not stopped, or no stream could be opened.
    bool Play();
    // False when already stopped. The stream stays allocated.
    bool Stop();

    // Opening a file takes milliseconds; the ticker has this event open its
    // stream a moment before its second, so that Play only has to start it.
    // Does nothing unless the event is stopped and its file exists.
    void Prepare();
    // Frees a stream opened ahead and not played.
    void Unprepare();
    uint32_t PreparedStream() const { return fPrepared; }

    const QString &Name() const { return fName; }
    void SetName(const QString &Value); // drops characters below 33 at both ends
    TCueStatus Status() const { return fStatus; }
    void SetStatus(TCueStatus Value);   // calls the listener on a change
    const TOnStatusChange &OnStatusChange() const { return fOnStatusChange; }
    void SetOnStatusChange(TOnStatusChange Value) { fOnStatusChange = std::move(Value); }
    int32_t UID() const { return fUID; }
    uint32_t Stream() const { return fStream; }

    // Time, name, weekdays and file from the node's attributes, each with its
    // default when absent or malformed.
    void ReadFromXML(pugi::xml_node Node);
    // Adds the ten attributes to Element.
    void WriteToXML(pugi::xml_node Element) const;

    uint32_t TimeSeconds = 0;
    bool Mon = false, Tue = false, Wed = false, Thu = false, Fri = false, Sat = false, Sun = false;
    QString AudioFile;
    int32_t AudioDevice = 0;

private:
    friend class TEventList;
    friend void StreamEndSync(uint32_t, uint32_t, uint32_t, void *);

    void RefreshStatus();
    // A stream opened ahead for the file and device the event has now.
    bool PreparedFits() const;

    uint32_t fStream = 0;
    uint32_t fPrepared = 0; // opened ahead of time on fPreparedFile and fPreparedDevice
    QString fPreparedFile;
    int32_t fPreparedDevice = 0;
    QString fName;
    TCueStatus fStatus = csStopped;
    TOnStatusChange fOnStatusChange;
    int32_t fUID = -1;
    const quint64 fSerial; // names this event to end notices that cross threads
};

// End-of-stream callback handed to the audio library; `user` is the event.
// Runs on the library's thread and only queues the event's RefreshStatus on
// the UI thread.
void StreamEndSync(uint32_t sync, uint32_t channel, uint32_t data, void *user);

// Selects output device `deviceIndex` + 1 and opens `fileName` there with the
// creator its extension calls for. Writes the new handle, or 0, to `stream`.
void CreateAudioStream(uint32_t &stream, int32_t deviceIndex, const QString &fileName, bool loop);
