#pragma once
// Reads one audio file with FFmpeg and hands out interleaved stereo float
// samples at the device's rate. Used by one thread at a time.

#include "audio_backend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct SwrContext;
struct AVPacket;
struct AVFrame;

class SampleRing;

class Decoder {
public:
    Decoder() = default;
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;
    ~Decoder();

    // Opens `path` if its container is one that `creator` accepts and it holds
    // an audio stream we can decode. On failure `error` says why.
    bool open(const std::string &path, AudioCreator creator, int outputRate, std::string *error);

    // Decodes into `ring` until it holds `upTo` samples (or is full), or the
    // file has ended. Answers true once every sample of the file has been
    // written. Damaged data is skipped; a read error ends the file there.
    bool fill(SampleRing &ring, size_t upTo = SIZE_MAX);

private:
    bool decodeNext(); // produces more `pending_` samples; false at the end
    bool convert(const AVFrame *frame);
    bool flushResampler();

    AVFormatContext *format_ = nullptr;
    AVCodecContext *codec_ = nullptr;
    SwrContext *swr_ = nullptr;
    AVPacket *packet_ = nullptr;
    AVFrame *frame_ = nullptr;
    int streamIndex_ = -1;
    int outputRate_ = 48000;
    int swrInRate_ = 0, swrInFormat_ = -1, swrInChannels_ = 0;
    bool inputEnded_ = false;   // no more packets
    bool finished_ = false;
    int errorRun_ = 0;          // consecutive undecodable packets
    std::vector<float> pending_; // converted, not yet in the ring
    size_t pendingPos_ = 0;
};
