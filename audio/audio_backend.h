#pragma once
// What answers the calls of audio_library.h. The real backend (FFmpeg + SDL) is
// used unless another is installed; tests install the recording double.

#include "audio_library.h"

#include <string>

// The four stream creators differ only in the containers they accept.
enum class AudioCreator { Plain, Wma, Flac, Mp4 };

class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    virtual bool getDeviceInfo(uint32_t device, AudioDeviceInfo *info) = 0;
    virtual bool init(int device, uint32_t freq) = 0;
    virtual bool setDevice(uint32_t device) = 0;
    virtual uint32_t streamCreateFile(AudioCreator creator, bool mem, const void *file,
                                      uint64_t offset, uint64_t length, uint32_t flags) = 0;
    virtual bool streamFree(uint32_t handle) = 0;
    virtual uint32_t channelSetSync(uint32_t handle, uint32_t type, uint64_t param,
                                    AudioSyncProc proc, void *user) = 0;
    virtual bool channelPlay(uint32_t handle, bool restart) = 0;
    virtual bool channelStop(uint32_t handle) = 0;
    virtual uint32_t channelIsActive(uint32_t handle) = 0;
};

// Installs `backend` for every later call; nullptr goes back to the real one.
// The caller keeps ownership and must uninstall it before destroying it.
// Not to be called while another thread is inside the library.
void SetAudioBackend(AudioBackend *backend);

// The real backend, created on first use and kept for the rest of the run.
AudioBackend &RealAudioBackend();

// Sets the text AudioLastError() answers on this thread.
void SetAudioLastError(std::string text);

// Decodes the file name the creators receive: UTF-16 when `flags` holds
// kAudioStreamUnicode, else UTF-8. Answers UTF-8.
std::string AudioFileNameUtf8(const void *file, uint32_t flags);
