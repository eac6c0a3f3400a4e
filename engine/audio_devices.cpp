#include "audio_devices.h"

#include "audio_library.h"

namespace {
constexpr uint32_t kLastDevice = 255; // device numbers are counted in 8 bits
}

int32_t TAudioDeviceList::DeviceIndexAt(qsizetype position) const
{
    return position >= 0 && position < DeviceIndexes.size() ? DeviceIndexes[position] : -1;
}

qsizetype TAudioDeviceList::PositionOf(int32_t index) const
{
    return DeviceIndexes.indexOf(index);
}

void GetAudioDevices(TAudioDeviceList &Devices, const TShowMessage &ShowMessage)
{
    Devices.Names.clear();
    Devices.DeviceIndexes.clear();
    AudioDeviceInfo info;
    for (uint32_t n = 1; n <= kLastDevice && BASS_GetDeviceInfo(n, &info); ++n) {
        if (BASS_Init(int(n), 44100, 0, nullptr, nullptr)) {
            // Device n is output device index n - 1.
            Devices.Names.append(QString::fromUtf8(info.name));
            Devices.DeviceIndexes.append(int32_t(n) - 1);
        } else if (ShowMessage) {
            ShowMessage(QStringLiteral("Error initializing audio device ") + QString::number(n));
        }
    }
}
