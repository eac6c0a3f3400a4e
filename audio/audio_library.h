#pragma once
// The audio library as the rest of Tavolin sees it: twelve calls, each with
// the contract the engine relies on. Which backend answers them is chosen with
// SetAudioBackend (see audio_backend.h); by default it is the real one, which
// decodes with FFmpeg and plays through SDL.
//
// Threads. Every call may be made from any thread. A sync procedure runs on a
// thread of the library's own, never on the device's mixing thread. Inside a
// sync procedure every call is allowed; BASS_StreamFree of the stream that is
// ending is allowed too and takes effect once the procedure returns.
// BASS_StreamFree made from any other thread waits for a sync procedure of that
// stream that is running, so a procedure must never wait for the thread that
// frees its stream.
//
// Handles. A stream handle is never reused within a run; 0 means no stream.
// Every call refuses a handle that is 0, freed, or never existed: it answers
// false or 0 and touches no other stream.

#include <cstdint>

// Filled by BASS_GetDeviceInfo. The texts are UTF-8 and stay valid for the run.
struct AudioDeviceInfo {
    const char *name = nullptr;   // what the user sees in the device choice
    const char *driver = nullptr; // the system's own name of the device
    uint32_t flags = 0;           // AudioDeviceFlag bits
};

enum AudioDeviceFlag : uint32_t {
    kAudioDeviceEnabled = 1,
    kAudioDeviceDefault = 2,     // the desktop's default output
    kAudioDeviceInitialised = 4, // BASS_Init has made it ready
};

// Stream creation flags.
constexpr uint32_t kAudioStreamLoop = 4;
constexpr uint32_t kAudioStreamUnicode = 0x80000000u; // the file name is UTF-16

// Sync types.
constexpr uint32_t kAudioSyncEnd = 2; // the stream has played to its end

// Answers of BASS_ChannelIsActive.
constexpr uint32_t kAudioInactive = 0; // stopped, ended, or no such stream
constexpr uint32_t kAudioPlaying = 1;
constexpr uint32_t kAudioStalled = 2;  // playing, but the decoder fell behind
constexpr uint32_t kAudioPaused = 3;   // reported by backends that can pause

// Called on a library thread: (sync handle, stream handle, data, user data).
using AudioSyncProc = void (*)(uint32_t sync, uint32_t channel, uint32_t data, void *user);

// Describes output device number `device` (1, 2, ...). Device 1 is the
// desktop's default output; 2, 3, ... are the named outputs, in the system's
// order. The list is read once per run, so numbers stay stable. False when
// there is no such device; device 0 never exists.
bool BASS_GetDeviceInfo(uint32_t device, AudioDeviceInfo *info);

// Opens output device `device` for the rest of the run at (about) `freq`
// samples per second. True when the device is ready, also when it already was.
// `flags`, `window` and `clsid` are accepted for the caller's sake and unused.
bool BASS_Init(int device, uint32_t freq, uint32_t flags, void *window, const void *clsid);

// Chooses the device on which this thread's next streams are created. Any
// number is accepted; creating a stream on a device that is not ready fails.
bool BASS_SetDevice(uint32_t device);

// Open the whole file (`offset` and `length` 0) as a stream on this thread's
// current device, decoded ahead so that its first block is ready on return.
// `file` is UTF-16 when `flags` holds kAudioStreamUnicode, else UTF-8.
// Each creator accepts only its own containers: BASS_StreamCreateFile WAV,
// AIFF, MP3 and Ogg; the others WMA, FLAC and MP4. `mem` true and looping are
// not supported. Answers the stream handle, or 0 when the file cannot be
// opened as audio; AudioLastError() then says why.
uint32_t BASS_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                               uint32_t flags);
uint32_t BASS_WMA_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                                   uint32_t flags);
uint32_t BASS_FLAC_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                                    uint32_t flags);
uint32_t BASS_MP4_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                                   uint32_t flags);

// Stops and releases a stream. On return it no longer sounds and none of its
// sync procedures runs any more (see Threads above for the one exception).
bool BASS_StreamFree(uint32_t handle);

// Asks for `proc` to be called once the stream has played to its end, on a
// library thread, after its last sample has gone to the device. Only
// kAudioSyncEnd is supported. Answers a sync handle, or 0.
uint32_t BASS_ChannelSetSync(uint32_t handle, uint32_t type, uint64_t param, AudioSyncProc proc,
                             void *user);

// Starts a stream, or resumes a stopped one where it stopped. The sound begins
// at the device's next period. False for a stream that has already ended.
bool BASS_ChannelPlay(uint32_t handle, bool restart);

// Stops a stream; it stays allocated and no end sync is called for it.
bool BASS_ChannelStop(uint32_t handle);

// kAudioPlaying while the stream plays; kAudioInactive once it has ended or
// been stopped, before it started, and for a handle that is no stream.
uint32_t BASS_ChannelIsActive(uint32_t handle);

// Why this thread's last failed call failed, in the words of the library
// underneath (FFmpeg, SDL) where it had any. Not one of the twelve calls.
const char *AudioLastError();
