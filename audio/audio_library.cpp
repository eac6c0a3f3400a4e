#include "audio_backend.h"

#include <atomic>

namespace {

std::atomic<AudioBackend *> installed{nullptr};

AudioBackend &backend()
{
    AudioBackend *b = installed.load(std::memory_order_acquire);
    return b ? *b : RealAudioBackend();
}

thread_local std::string lastError;

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const char16_t *s)
{
    std::string out;
    auto put = [&out](char32_t c) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    };
    for (; *s; ++s) {
        char32_t c = *s;
        if (c >= 0xD800 && c < 0xDC00 && s[1] >= 0xDC00 && s[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[1] - 0xDC00);
            ++s;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        put(c);
    }
    return out;
}

} // namespace

void SetAudioBackend(AudioBackend *b)
{
    installed.store(b, std::memory_order_release);
}

void SetAudioLastError(std::string text)
{
    lastError = std::move(text);
}

const char *AudioLastError()
{
    return lastError.c_str();
}

std::string AudioFileNameUtf8(const void *file, uint32_t flags)
{
    if (!file)
        return {};
    if (flags & kAudioStreamUnicode)
        return utf16ToUtf8(static_cast<const char16_t *>(file));
    return static_cast<const char *>(file);
}

bool BASS_GetDeviceInfo(uint32_t device, AudioDeviceInfo *info)
{
    return backend().getDeviceInfo(device, info);
}

bool BASS_Init(int device, uint32_t freq, uint32_t, void *, const void *)
{
    return backend().init(device, freq);
}

bool BASS_SetDevice(uint32_t device)
{
    return backend().setDevice(device);
}

uint32_t BASS_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                               uint32_t flags)
{
    return backend().streamCreateFile(AudioCreator::Plain, mem, file, offset, length, flags);
}

uint32_t BASS_WMA_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                                   uint32_t flags)
{
    return backend().streamCreateFile(AudioCreator::Wma, mem, file, offset, length, flags);
}

uint32_t BASS_FLAC_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                                    uint32_t flags)
{
    return backend().streamCreateFile(AudioCreator::Flac, mem, file, offset, length, flags);
}

uint32_t BASS_MP4_StreamCreateFile(bool mem, const void *file, uint64_t offset, uint64_t length,
                                   uint32_t flags)
{
    return backend().streamCreateFile(AudioCreator::Mp4, mem, file, offset, length, flags);
}

bool BASS_StreamFree(uint32_t handle)
{
    return backend().streamFree(handle);
}

uint32_t BASS_ChannelSetSync(uint32_t handle, uint32_t type, uint64_t param, AudioSyncProc proc,
                             void *user)
{
    return backend().channelSetSync(handle, type, param, proc, user);
}

bool BASS_ChannelPlay(uint32_t handle, bool restart)
{
    return backend().channelPlay(handle, restart);
}

bool BASS_ChannelStop(uint32_t handle)
{
    return backend().channelStop(handle);
}

uint32_t BASS_ChannelIsActive(uint32_t handle)
{
    return backend().channelIsActive(handle);
}
