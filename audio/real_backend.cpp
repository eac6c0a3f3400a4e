// The real backend: FFmpeg decodes, SDL plays. Device 1 is the desktop's
// default output, 2, 3, ... SDL's named outputs. Each open device mixes every
// playing stream created on it.
//
// An open output costs a thread that wakes every period and a stream in the
// sound server, even while it plays silence. So an output with nothing to play
// for a few seconds is closed, and opened again by the next stream created or
// started on it. The engine creates a bell's stream ahead of its second, which
// wakes the output in time.

#include "audio_backend.h"
#include "real_stream.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kChannels = 2;
// 512 frames (11.6 ms at 44.1 kHz): a sound started now is on its way to the
// speaker within a period or two. SDL keeps about one period queued in the
// sound server, so a shorter period starves the output whenever the machine
// is busy for a few milliseconds (256 frames dropped samples under load).
constexpr uint16_t kPeriodFrames = 512;
constexpr int kRingSeconds = 1;
constexpr auto kQuietCheck = std::chrono::seconds(1);
constexpr auto kCloseWhenQuietFor = std::chrono::seconds(4);

struct Device {
    std::string name;
    std::string driver;       // SDL's name; empty for the default output
    bool isDefault = false;
    bool initialised = false; // BASS_Init succeeded; stays so while the output is closed
    SDL_AudioDeviceID id = 0; // the open output, 0 while closed
    int rate = 0;             // chosen at the first opening, kept for every later one
    SteadyClock::time_point quietSince{}; // zero while something needs the output
    // Changed under the backend's mutex and, while open, SDL's device lock.
    std::vector<RealStream *> streams;
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
        Device *device = nullptr;
    };

    // All of these run under mutex_.
    bool enumerate();
    bool openOutput(Device &d, int freq, bool firstTime);
    bool wakeOutput(Device &d);
    static void closeOutput(Device &d);
    static void attach(Device &d, RealStream *s);
    static void detach(Device &d, RealStream *s);

    Entry find(uint32_t handle);
    void closeQuietOutputs(); // the watcher thread
    static void SDLCALL mix(void *userdata, Uint8 *out, int bytes);

    std::mutex mutex_; // guards everything below; never held while decoding
    bool sdlReady_ = false;
    bool enumerated_ = false;
    std::vector<std::unique_ptr<Device>> devices_; // [0] is device 1
    std::map<uint32_t, Entry> streams_;
    uint32_t lastHandle_ = 0;
    std::condition_variable outputOpened_;
    bool quit_ = false;
    std::thread watcher_;
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
        quit_ = true;
    }
    outputOpened_.notify_all();
    if (watcher_.joinable())
        watcher_.join();
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
                      (d.initialised ? uint32_t(kAudioDeviceInitialised) : 0u);
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
    if (d.initialised)
        return true;
    if (!openOutput(d, freq ? int(freq) : 44100, true))
        return false;
    d.initialised = true;
    return true;
}

bool RealBackend::openOutput(Device &d, int freq, bool firstTime)
{
    SDL_AudioSpec want{}, have{};
    want.freq = freq;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = kPeriodFrames;
    want.callback = &RealBackend::mix;
    want.userdata = &d;
    // Later openings keep the first rate, which the open streams decode to.
    const SDL_AudioDeviceID id =
        SDL_OpenAudioDevice(d.isDefault ? nullptr : d.driver.c_str(), 0, &want, &have,
                            firstTime ? SDL_AUDIO_ALLOW_FREQUENCY_CHANGE : 0);
    if (id == 0) {
        SetAudioLastError(d.name + ": " + SDL_GetError());
        return false;
    }
    d.id = id;
    d.rate = have.freq;
    d.quietSince = {};
    SDL_PauseAudioDevice(id, 0); // runs from now on, silent while nothing plays
    if (!watcher_.joinable())
        watcher_ = std::thread(&RealBackend::closeQuietOutputs, this);
    outputOpened_.notify_one();
    return true;
}

bool RealBackend::wakeOutput(Device &d)
{
    d.quietSince = {};
    // An output that went away (unplugged, server restarted) is opened afresh.
    if (d.id && SDL_GetAudioDeviceStatus(d.id) == SDL_AUDIO_STOPPED)
        closeOutput(d);
    return d.id || openOutput(d, d.rate, false);
}

void RealBackend::closeOutput(Device &d)
{
    SDL_CloseAudioDevice(d.id); // waits for the device's thread to end
    d.id = 0;
}

void RealBackend::attach(Device &d, RealStream *s)
{
    if (d.id)
        SDL_LockAudioDevice(d.id);
    d.streams.push_back(s);
    if (d.id)
        SDL_UnlockAudioDevice(d.id);
}

void RealBackend::detach(Device &d, RealStream *s)
{
    if (d.id)
        SDL_LockAudioDevice(d.id);
    d.streams.erase(std::remove(d.streams.begin(), d.streams.end(), s), d.streams.end());
    if (d.id)
        SDL_UnlockAudioDevice(d.id);
}

void RealBackend::closeQuietOutputs()
{
    std::unique_lock lock(mutex_);
    while (!quit_) {
        bool anyOpen = false;
        const auto now = SteadyClock::now();
        for (auto &d : devices_) {
            if (!d->id)
                continue;
            const bool needed = std::any_of(d->streams.begin(), d->streams.end(),
                                            [](const RealStream *s) { return s->needsDevice(); });
            if (needed) {
                d->quietSince = {};
            } else if (d->quietSince == SteadyClock::time_point{}) {
                d->quietSince = now;
            } else if (now - d->quietSince >= kCloseWhenQuietFor) {
                closeOutput(*d);
                continue;
            }
            anyOpen = true;
        }
        if (anyOpen)
            outputOpened_.wait_for(lock, kQuietCheck);
        else
            outputOpened_.wait(lock);
    }
}

bool RealBackend::setDevice(uint32_t device)
{
    currentDevice = device;
    std::lock_guard lock(mutex_);
    return device > 0 && device <= devices_.size() && devices_[device - 1]->initialised;
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
    int rate = 0;
    {
        std::lock_guard lock(mutex_);
        if (deviceNumber > 0 && deviceNumber <= devices_.size() &&
            devices_[deviceNumber - 1]->initialised)
            device = devices_[deviceNumber - 1].get();
        if (!device) {
            SetAudioLastError("Audio device " + std::to_string(deviceNumber) + " is not ready");
            return 0;
        }
        // Opened now, so that it is running by the time the stream starts.
        if (!wakeOutput(*device))
            return 0;
        rate = device->rate;
    }

    // Opening and the first block of decoding happen here, outside the lock.
    auto decoder = std::make_unique<Decoder>();
    std::string error;
    if (!decoder->open(AudioFileNameUtf8(file, flags), creator, rate, &error)) {
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
                                               size_t(rate) * kChannels * kRingSeconds);
    stream->start(stream);

    std::lock_guard lock(mutex_);
    attach(*device, stream.get());
    // The output may have been closed while we decoded; the new stream keeps it open now.
    wakeOutput(*device);
    streams_.emplace(handle, Entry{std::move(stream), device});
    return handle;
}

RealBackend::Entry RealBackend::find(uint32_t handle)
{
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? Entry{} : it->second;
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
        detach(*entry.device, entry.stream.get());
    }
    entry.stream->shutdown();
    return true;
}

uint32_t RealBackend::channelSetSync(uint32_t handle, uint32_t type, uint64_t, AudioSyncProc proc,
                                     void *user)
{
    auto stream = find(handle).stream;
    if (!stream || type != kAudioSyncEnd || !proc)
        return 0;
    return stream->addSync(proc, user);
}

bool RealBackend::channelPlay(uint32_t handle, bool)
{
    Entry entry = find(handle);
    if (!entry.stream || !entry.stream->play())
        return false;
    std::lock_guard lock(mutex_);
    if (wakeOutput(*entry.device))
        return true;
    entry.stream->stop();
    return false;
}

bool RealBackend::channelStop(uint32_t handle)
{
    auto stream = find(handle).stream;
    return stream && stream->stop();
}

uint32_t RealBackend::channelIsActive(uint32_t handle)
{
    auto stream = find(handle).stream;
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
