#pragma once
// A backend for tests: it plays nothing, logs every call with its arguments
// and answers as the test scripts it. While it lives it is the installed
// backend. Calls may come from any thread; the log is kept in call order.

#include "audio_backend.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

class RecordingAudioBackend final : public AudioBackend {
public:
    struct Device {
        std::string name;
        bool initSucceeds = true;
    };

    RecordingAudioBackend();
    ~RecordingAudioBackend() override;

    // --- scripting ---
    std::vector<Device> devices;  // device n is devices[n - 1]
    bool createSucceeds = true;   // creators answer a new handle, or 0

    // Makes BASS_ChannelIsActive answer `state` for `handle` from now on.
    void setActive(uint32_t handle, uint32_t state);
    // Calls the end syncs of `handle` on a thread of their own, as the real
    // library does, and waits for them to return. Leaves the answer of
    // BASS_ChannelIsActive as it is; set it first to end the stream.
    void runEndSyncs(uint32_t handle);

    // --- what happened ---
    // One line per call, e.g. "BASS_StreamCreateFile(/a.wav, 0x80000000)".
    std::vector<std::string> calls() const;
    void clearCalls();
    uint32_t lastHandle() const;
    uint32_t deviceOf(uint32_t handle) const; // the device a stream was created on

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
    struct Stream {
        uint32_t device = 0;
        uint32_t active = kAudioInactive;
        std::vector<std::pair<AudioSyncProc, void *>> syncs;
    };
    void log(std::string line);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::map<uint32_t, Stream> streams_;
    uint32_t lastHandle_ = 0;
    uint32_t lastSync_ = 0;
    uint32_t currentDevice_ = 1;
};
