#pragma once
// The audio outputs the user can choose from.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The outputs that opened, in device order. A device that failed to open is
// left out, and each name keeps its device beside it, so that choosing a
// name plays on that very device.
struct TAudioDeviceList {
    QStringList Names;
    QList<int32_t> DeviceIndexes; // output device index of Names[i]

    // The output device index of the name at `position`; -1 for none.
    int32_t DeviceIndexAt(qsizetype position) const;
    // Where the output with device index `index` stands; -1 when absent.
    qsizetype PositionOf(int32_t index) const;
};

// Shows a message and returns once the user has seen it.
using TShowMessage = std::function<void(const QString &Message)>;

// Lists the audio library's output devices and opens each one for the rest
// of the run. For a device that fails, ShowMessage hears "Error initializing
// audio device " and its number, and the list goes on with the next one.
void GetAudioDevices(TAudioDeviceList &Devices, const TShowMessage &ShowMessage);
