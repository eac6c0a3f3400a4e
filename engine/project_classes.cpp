#include "project_classes.h"

#include "audio_library.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>

#include <atomic>

namespace {

// Events alive now, by serial; touched on the UI thread only. An end notice
// finds its event here, or learns that it is gone.
QHash<quint64, TEvent *> &liveEvents()
{
    static QHash<quint64, TEvent *> events;
    return events;
}

quint64 nextSerial()
{
    static quint64 serial = 0;
    return ++serial;
}

} // namespace

TEvent::TEvent() : fSerial(nextSerial())
{
    liveEvents().insert(fSerial, this);
}

TEvent::~TEvent()
{
    liveEvents().remove(fSerial);
    // Once this returns, the stream is silent and its sync will not run again.
    if (fStream)
        BASS_StreamFree(fStream);
    Unprepare();
}

void TEvent::SetName(const QString &Value)
{
    qsizetype begin = 0, end = Value.size();
    while (begin < end && Value.at(begin).unicode() < 33)
        ++begin;
    while (end > begin && Value.at(end - 1).unicode() < 33)
        --end;
    fName = Value.mid(begin, end - begin);
}

void TEvent::SetStatus(TCueStatus Value)
{
    if (Value == fStatus)
        return;
    fStatus = Value;
    if (fOnStatusChange)
        fOnStatusChange(fUID, Value);
}

void TEvent::Assign(const TEvent &Source)
{
    TimeSeconds = Source.TimeSeconds;
    SetName(Source.fName);
    Mon = Source.Mon;
    Tue = Source.Tue;
    Wed = Source.Wed;
    Thu = Source.Thu;
    Fri = Source.Fri;
    Sat = Source.Sat;
    Sun = Source.Sun;
    AudioFile = Source.AudioFile;
    AudioDevice = Source.AudioDevice;
    fOnStatusChange = Source.fOnStatusChange;
    SetStatus(csStopped);
}

void TEvent::Clear()
{
    TimeSeconds = 0;
    SetName(QString());
    Mon = Tue = Wed = Thu = Fri = Sat = Sun = false;
    AudioFile.clear();
}

bool TEvent::Play()
{
    if (!QFileInfo(AudioFile).isFile())
        return false;
    if (fStatus != csStopped)
        return false;
    BASS_StreamFree(fStream);
    if (PreparedFits()) {
        fStream = fPrepared;
        fPrepared = 0;
    } else {
        Unprepare(); // opened for a file or device the event no longer has
        CreateAudioStream(fStream, AudioDevice, AudioFile, false);
    }
    if (fStream == 0)
        return false;
    BASS_ChannelSetSync(fStream, kAudioSyncEnd, 0, StreamEndSync, this);
    BASS_ChannelPlay(fStream, false);
    SetStatus(csPlaying);
    return true;
}

bool TEvent::Stop()
{
    if (fStatus == csStopped)
        return false;
    BASS_ChannelStop(fStream);
    SetStatus(csStopped);
    return true;
}

void TEvent::Prepare()
{
    if (fStatus != csStopped)
        return;
    if (PreparedFits())
        return;
    Unprepare();
    if (!QFileInfo(AudioFile).isFile())
        return;
    CreateAudioStream(fPrepared, AudioDevice, AudioFile, false);
    fPreparedFile = AudioFile;
    fPreparedDevice = AudioDevice;
}

bool TEvent::PreparedFits() const
{
    return fPrepared && fPreparedFile == AudioFile && fPreparedDevice == AudioDevice;
}

void TEvent::Unprepare()
{
    if (!fPrepared)
        return;
    BASS_StreamFree(fPrepared);
    fPrepared = 0;
}

void TEvent::RefreshStatus()
{
    switch (BASS_ChannelIsActive(fStream)) {
    case kAudioInactive:
        SetStatus(csStopped);
        break;
    case kAudioPlaying:
        SetStatus(csPlaying);
        break;
    case kAudioPaused:
        SetStatus(csPaused);
        break;
    default: // stalled, or an answer we do not know: leave the status alone
        break;
    }
}

void StreamEndSync(uint32_t, uint32_t channel, uint32_t, void *user)
{
    // The event outlives this call (its destructor frees the stream, which
    // waits for us), but not necessarily the queued call: that carries the
    // serial and the stream, and checks both on arrival.
    const quint64 serial = static_cast<TEvent *>(user)->fSerial;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [serial, channel] {
            TEvent *event = liveEvents().value(serial);
            if (event && event->fStream == channel)
                event->RefreshStatus();
        },
        Qt::QueuedConnection);
}

void CreateAudioStream(uint32_t &stream, int32_t deviceIndex, const QString &fileName, bool loop)
{
    BASS_SetDevice(uint32_t(deviceIndex) + 1u);
    const uint32_t flags = kAudioStreamUnicode | (loop ? kAudioStreamLoop : 0u);
    const void *name = fileName.utf16();
    switch (MediaKindOfFile(fileName)) {
    case mkAiff:
    case mkMp3:
    case mkOgg:
    case mkWav:
        stream = BASS_StreamCreateFile(false, name, 0, 0, flags);
        break;
    case mkFlac:
        stream = BASS_FLAC_StreamCreateFile(false, name, 0, 0, flags);
        break;
    case mkMp4:
        stream = BASS_MP4_StreamCreateFile(false, name, 0, 0, flags);
        break;
    case mkWma:
        stream = BASS_WMA_StreamCreateFile(false, name, 0, 0, flags);
        break;
    default:
        stream = 0;
        break;
    }
}
