#include "recording_backend.h"

#include <cstdio>
#include <thread>

namespace {

std::string hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", v);
    return text;
}

const char *creatorName(AudioCreator c)
{
    switch (c) {
    case AudioCreator::Plain:
        return "BASS_StreamCreateFile";
    case AudioCreator::Wma:
        return "BASS_WMA_StreamCreateFile";
    case AudioCreator::Flac:
        return "BASS_FLAC_StreamCreateFile";
    case AudioCreator::Mp4:
        return "BASS_MP4_StreamCreateFile";
    }
    return "?";
}

} // namespace

RecordingAudioBackend::RecordingAudioBackend()
{
    SetAudioBackend(this);
}

RecordingAudioBackend::~RecordingAudioBackend()
{
    SetAudioBackend(nullptr);
}

void RecordingAudioBackend::log(std::string line)
{
    calls_.push_back(std::move(line));
}

void RecordingAudioBackend::setActive(uint32_t handle, uint32_t state)
{
    std::lock_guard lock(mutex_);
    streams_[handle].active = state;
}

void RecordingAudioBackend::runEndSyncs(uint32_t handle)
{
    std::vector<std::pair<AudioSyncProc, void *>> syncs;
    {
        std::lock_guard lock(mutex_);
        auto it = streams_.find(handle);
        if (it == streams_.end())
            return;
        syncs = it->second.syncs;
    }
    std::thread([&] {
        uint32_t sync = 0;
        for (auto [proc, user] : syncs)
            proc(++sync, handle, 0, user);
    }).join();
}

std::vector<std::string> RecordingAudioBackend::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

void RecordingAudioBackend::clearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

uint32_t RecordingAudioBackend::lastHandle() const
{
    std::lock_guard lock(mutex_);
    return lastHandle_;
}

uint32_t RecordingAudioBackend::deviceOf(uint32_t handle) const
{
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? 0 : it->second.device;
}

bool RecordingAudioBackend::getDeviceInfo(uint32_t device, AudioDeviceInfo *info)
{
    std::lock_guard lock(mutex_);
    log("BASS_GetDeviceInfo(" + std::to_string(device) + ")");
    if (device == 0 || device > devices.size())
        return false;
    if (info) {
        info->name = devices[device - 1].name.c_str();
        info->driver = info->name;
        info->flags = kAudioDeviceEnabled;
    }
    return true;
}

bool RecordingAudioBackend::init(int device, uint32_t freq)
{
    std::lock_guard lock(mutex_);
    log("BASS_Init(" + std::to_string(device) + ", " + std::to_string(freq) + ")");
    return device > 0 && size_t(device) <= devices.size() && devices[size_t(device) - 1].initSucceeds;
}

bool RecordingAudioBackend::setDevice(uint32_t device)
{
    std::lock_guard lock(mutex_);
    log("BASS_SetDevice(" + std::to_string(device) + ")");
    currentDevice_ = device;
    return true;
}

uint32_t RecordingAudioBackend::streamCreateFile(AudioCreator creator, bool, const void *file,
                                                 uint64_t, uint64_t, uint32_t flags)
{
    std::lock_guard lock(mutex_);
    log(std::string(creatorName(creator)) + "(" + AudioFileNameUtf8(file, flags) + ", " +
        hex(flags) + ")");
    if (!createSucceeds)
        return 0;
    streams_[++lastHandle_].device = currentDevice_;
    return lastHandle_;
}

bool RecordingAudioBackend::streamFree(uint32_t handle)
{
    std::lock_guard lock(mutex_);
    log("BASS_StreamFree(" + std::to_string(handle) + ")");
    return streams_.erase(handle) > 0;
}

uint32_t RecordingAudioBackend::channelSetSync(uint32_t handle, uint32_t type, uint64_t,
                                               AudioSyncProc proc, void *user)
{
    std::lock_guard lock(mutex_);
    log("BASS_ChannelSetSync(" + std::to_string(handle) + ", " + std::to_string(type) + ")");
    auto it = streams_.find(handle);
    if (it == streams_.end())
        return 0;
    it->second.syncs.emplace_back(proc, user);
    return ++lastSync_;
}

bool RecordingAudioBackend::channelPlay(uint32_t handle, bool restart)
{
    std::lock_guard lock(mutex_);
    log("BASS_ChannelPlay(" + std::to_string(handle) + ", " + (restart ? "true" : "false") + ")");
    auto it = streams_.find(handle);
    if (it == streams_.end())
        return false;
    it->second.active = kAudioPlaying;
    return true;
}

bool RecordingAudioBackend::channelStop(uint32_t handle)
{
    std::lock_guard lock(mutex_);
    log("BASS_ChannelStop(" + std::to_string(handle) + ")");
    auto it = streams_.find(handle);
    if (it == streams_.end())
        return false;
    it->second.active = kAudioInactive;
    return true;
}

uint32_t RecordingAudioBackend::channelIsActive(uint32_t handle)
{
    std::lock_guard lock(mutex_);
    log("BASS_ChannelIsActive(" + std::to_string(handle) + ")");
    auto it = streams_.find(handle);
    return it == streams_.end() ? kAudioInactive : it->second.active;
}
