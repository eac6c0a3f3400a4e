// The real backend: FFmpeg decodes, SDL plays. Device 1 is the desktop's
// default output, 2, 3, ... SDL's named outputs. Each open device mixes every
// playing stream created on it.

#include "audio_backend.h"
#include "real_stream.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr uint16_t kPeriodFrames = 1024;
constexpr int kRingSeconds = 1;

struct Device {
    std::string name;
    std::string driver;      // SDL's name; empty for the default output
    bool isDefault = false;
    SDL_AudioDeviceID id = 0; // 0 until opened
    int rate = 0;
    std::vector<RealStream *> streams; // changed only under SDL's device lock
};

class RealBackend final : public AudioBackend {
public:
    ~RealBackend() override;

    bool getDeviceInfo(uint32_t device, AudioDeviceInfo *info) override;
    bool init(int device, uint32_t freq) override;
    bool setDevice(uint32_t device) override;
    uint32_t streamCreateFile(AudioCreator creator, bool mem, const void *file, uint64_t offset,
                              uint64_t length, uint32_t flags) override;
    bool streamFree(uint32_t handle) override;
    uint32_t channelSetSync(uint32_t handle, uint32_t type, uint64_t param, AudioSyncProc proc,
                            void *user) override;
    bool channelPlay(uint32_t handle, bool restart) override;
    bool channelStop(uint32_t handle) override;
    uint32_t channelIsActive(uint32_t handle) override;

private:
    struct Entry {
        std::shared_ptr<RealStream> stream;
        Device *device;
    };

    bool enumerate(); // under mutex_
    std::shared_ptr<RealStream> find(uint32_t handle);
    static void SDLCALL mix(void *userdata, Uint8 *out, int bytes);

    std::mutex mutex_; // guards everything below; never held while decoding
    bool sdlReady_ = false;
    bool enumerated_ = false;
    std::vector<std::unique_ptr<Device>> devices_; // [0] is device 1
    std::map<uint32_t, Entry> streams_;
    uint32_t lastHandle_ = 0;
};

thread_local uint32_t currentDevice = 1;

bool RealBackend::enumerate()
{
    if (enumerated_)
        return true;
    if (!sdlReady_) {
        // SDL would otherwise take SIGINT and SIGTERM for itself, and the
        // program would no longer end when the system asks it to.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            SetAudioLastError(std::string("Cannot start audio output: ") + SDL_GetError());
            return false;
        }
        sdlReady_ = true;
    }
    auto def = std::make_unique<Device>();
    def->name = "Default output";
    def->isDefault = true;
    devices_.push_back(std::move(def));
    const int n = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < n; ++i) {
        const char *name = SDL_GetAudioDeviceName(i, 0);
        if (!name)
            continue;
        auto d = std::make_unique<Device>();
        d->name = name;
        d->driver = name;
        devices_.push_back(std::move(d));
    }
    enumerated_ = true;
    return true;
}

RealBackend::~RealBackend()
{
    // The process is ending: silence every stream, then close the devices.
    std::map<uint32_t, Entry> streams;
    {
        std::lock_guard lock(mutex_);
        streams.swap(streams_);
    }
    for (auto &[handle, entry] : streams)
        entry.stream->shutdown();
    for (auto &d : devices_)
        if (d->id)
            SDL_CloseAudioDevice(d->id);
    if (sdlReady_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool RealBackend::getDeviceInfo(uint32_t device, AudioDeviceInfo *info)
{
    std::lock_guard lock(mutex_);
    if (!enumerate() || device == 0 || device > devices_.size())
        return false;
    const Device &d = *devices_[device - 1];
    if (info) {
        info->name = d.name.c_str();
        info->driver = d.driver.c_str();
        info->flags = kAudioDeviceEnabled | (d.isDefault ? uint32_t(kAudioDeviceDefault) : 0u) |
                      (d.id ? uint32_t(kAudioDeviceInitialised) : 0u);
    }
    return true;
}

bool RealBackend::init(int device, uint32_t freq)
{
    std::lock_guard lock(mutex_);
    if (!enumerate())
        return false;
    if (device <= 0 || size_t(device) > devices_.size()) {
        SetAudioLastError("No audio device " + std::to_string(device));
        return false;
    }
    currentDevice = uint32_t(device);
    Device &d = *devices_[size_t(device) - 1];
    if (d.id)
        return true;

    SDL_AudioSpec want{}, have{};
    want.freq = freq ? int(freq) : 44100;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = kPeriodFrames;
    want.callback = &RealBackend::mix;
    want.userdata = &d;
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(d.isDefault ? nullptr : d.driver.c_str(), 0,
                                                     &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (id == 0) {
        SetAudioLastError(d.name + ": " + SDL_GetError());
        return false;
    }
    d.id = id;
    d.rate = have.freq;
    SDL_PauseAudioDevice(id, 0); // runs from now on, silent while nothing plays
    return true;
}

bool RealBackend::setDevice(uint32_t device)
{
    currentDevice = device;
    std::lock_guard lock(mutex_);
    return device > 0 && device <= devices_.size() && devices_[device - 1]->id != 0;
}

uint32_t RealBackend::streamCreateFile(AudioCreator creator, bool mem, const void *file,
                                       uint64_t offset, uint64_t length, uint32_t flags)
{
    if (mem || offset || length || (flags & kAudioStreamLoop) || !file) {
        SetAudioLastError("Only whole files, played once, are supported");
        return 0;
    }
    const uint32_t deviceNumber = currentDevice;
    Device *device = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (deviceNumber > 0 && deviceNumber <= devices_.size() && devices_[deviceNumber - 1]->id)
            device = devices_[deviceNumber - 1].get();
    }
    if (!device) {
        SetAudioLastError("Audio device " + std::to_string(deviceNumber) + " is not ready");
        return 0;
    }

    // Opening and the first block of decoding happen here, outside the lock.
    auto decoder = std::make_unique<Decoder>();
    std::string error;
    if (!decoder->open(AudioFileNameUtf8(file, flags), creator, device->rate, &error)) {
        SetAudioLastError(error);
        return 0;
    }
    uint32_t handle;
    {
        std::lock_guard lock(mutex_);
        handle = ++lastHandle_;
        if (handle == 0)
            handle = ++lastHandle_;
    }
    auto stream = std::make_shared<RealStream>(handle, std::move(decoder),
                                               size_t(device->rate) * kChannels * kRingSeconds);
    stream->start(stream);

    SDL_LockAudioDevice(device->id);
    device->streams.push_back(stream.get());
    SDL_UnlockAudioDevice(device->id);
    std::lock_guard lock(mutex_);
    streams_.emplace(handle, Entry{std::move(stream), device});
    return handle;
}

std::shared_ptr<RealStream> RealBackend::find(uint32_t handle)
{
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second.stream;
}

bool RealBackend::streamFree(uint32_t handle)
{
    Entry entry;
    {
        std::lock_guard lock(mutex_);
        auto it = streams_.find(handle);
        if (it == streams_.end())
            return false;
        entry = std::move(it->second);
        streams_.erase(it);
    }
    Device &d = *entry.device;
    SDL_LockAudioDevice(d.id);
    d.streams.erase(std::remove(d.streams.begin(), d.streams.end(), entry.stream.get()),
                    d.streams.end());
    SDL_UnlockAudioDevice(d.id);
    entry.stream->shutdown();
    return true;
}

uint32_t RealBackend::channelSetSync(uint32_t handle, uint32_t type, uint64_t, AudioSyncProc proc,
                                     void *user)
{
    auto stream = find(handle);
    if (!stream || type != kAudioSyncEnd || !proc)
        return 0;
    return stream->addSync(proc, user);
}

bool RealBackend::channelPlay(uint32_t handle, bool)
{
    auto stream = find(handle);
    return stream && stream->play();
}

bool RealBackend::channelStop(uint32_t handle)
{
    auto stream = find(handle);
    return stream && stream->stop();
}

uint32_t RealBackend::channelIsActive(uint32_t handle)
{
    auto stream = find(handle);
    return stream ? stream->isActive() : kAudioInactive;
}

// SDL's audio thread, under the device lock: mixing only.
void SDLCALL RealBackend::mix(void *userdata, Uint8 *out, int bytes)
{
    auto *device = static_cast<Device *>(userdata);
    auto *samples = reinterpret_cast<float *>(out);
    const size_t count = size_t(bytes) / sizeof(float);
    std::fill(samples, samples + count, 0.0f);
    for (RealStream *s : device->streams)
        s->mixInto(samples, count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = std::clamp(samples[i], -1.0f, 1.0f);
}

} // namespace

AudioBackend &RealAudioBackend()
{
    static RealBackend backend;
    return backend;
}
