#include "decoder.h"

#include "sample_ring.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int kOutputChannels = 2;
constexpr int kMaxErrorRun = 200; // undecodable packets in a row before we give up
// Beyond these a header is lying: the resampler would try to allocate gigabytes.
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxChannels = 64;

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Demuxers each creator accepts. Naming them also keeps FFmpeg from reading a
// playlist or another container that could pull in other files.
const char *containersOf(AudioCreator creator)
{
    switch (creator) {
    case AudioCreator::Plain:
        return "wav,aiff,mp3,ogg";
    case AudioCreator::Wma:
        return "asf";
    case AudioCreator::Flac:
        return "flac";
    case AudioCreator::Mp4:
        return "mov";
    }
    return "";
}

} // namespace

Decoder::~Decoder()
{
    swr_free(&swr_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
}

bool Decoder::open(const std::string &path, AudioCreator creator, int outputRate, std::string *error)
{
    // FFmpeg's own chatter goes nowhere; what matters reaches the caller.
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    outputRate_ = outputRate;
    auto fail = [&](const std::string &why) {
        *error = path + ": " + why;
        return false;
    };

    AVDictionary *options = nullptr;
    av_dict_set(&options, "format_whitelist", containersOf(creator), 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // "file:" keeps a colon in the name from being read as another protocol.
    int rc = avformat_open_input(&format_, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0)
        return fail(avError(rc));
    if ((rc = avformat_find_stream_info(format_, nullptr)) < 0)
        return fail(avError(rc));

    const AVCodec *codec = nullptr;
    streamIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex_ < 0)
        return fail(avError(streamIndex_));
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (int(i) != streamIndex_)
            format_->streams[i]->discard = AVDISCARD_ALL;

    const AVCodecParameters *par = format_->streams[streamIndex_]->codecpar;
    if (par->sample_rate > kMaxSampleRate || par->ch_layout.nb_channels > kMaxChannels)
        return fail("implausible audio format (" + std::to_string(par->sample_rate) + " Hz, " +
                    std::to_string(par->ch_layout.nb_channels) + " channels)");

    codec_ = avcodec_alloc_context3(codec);
    if (!codec_)
        return fail(avError(AVERROR(ENOMEM)));
    if ((rc = avcodec_parameters_to_context(codec_, format_->streams[streamIndex_]->codecpar)) < 0)
        return fail(avError(rc));
    if ((rc = avcodec_open2(codec_, codec, nullptr)) < 0)
        return fail(avError(rc));

    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_)
        return fail(avError(AVERROR(ENOMEM)));
    return true;
}

bool Decoder::fill(SampleRing &ring, size_t upTo)
{
    while (!finished_ && ring.space() > 0 && ring.available() < upTo) {
        if (pendingPos_ < pending_.size()) {
            pendingPos_ += ring.write(pending_.data() + pendingPos_, pending_.size() - pendingPos_);
            continue;
        }
        pending_.clear();
        pendingPos_ = 0;
        if (!decodeNext())
            finished_ = true;
    }
    return finished_;
}

bool Decoder::decodeNext()
{
    while (pending_.empty()) {
        int rc = avcodec_receive_frame(codec_, frame_);
        if (rc == 0) {
            errorRun_ = 0;
            const bool ok = convert(frame_);
            av_frame_unref(frame_);
            if (!ok)
                return false;
            continue;
        }
        if (rc == AVERROR_EOF)
            return flushResampler();
        if (rc != AVERROR(EAGAIN)) {
            if (++errorRun_ > kMaxErrorRun)
                return false;
            continue;
        }
        if (inputEnded_)
            return false; // drained, yet the decoder asks for more

        // The decoder wants input.
        rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            // End of file, or a read error: either way the sound ends here.
            inputEnded_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == streamIndex_) {
            rc = avcodec_send_packet(codec_, packet_);
            if (rc < 0 && rc != AVERROR(EAGAIN) && ++errorRun_ > kMaxErrorRun) {
                av_packet_unref(packet_);
                return false;
            }
        }
        av_packet_unref(packet_);
    }
    return true;
}

bool Decoder::convert(const AVFrame *frame)
{
    const int channels = frame->ch_layout.nb_channels;
    if (frame->nb_samples <= 0 || channels <= 0 || frame->sample_rate <= 0)
        return true; // nothing usable in this frame; carry on
    if (frame->sample_rate > kMaxSampleRate || channels > kMaxChannels)
        return false; // a damaged stream: end the sound here
    if (!swr_ || frame->sample_rate != swrInRate_ || frame->format != swrInFormat_ ||
        channels != swrInChannels_) {
        if (swr_ && !flushResampler())
            return false;
        swr_free(&swr_);
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, channels);
        else
            av_channel_layout_copy(&in, &frame->ch_layout);
        AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
        int rc = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_FLT, outputRate_, &in,
                                     AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        if (rc < 0 || swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        swrInRate_ = frame->sample_rate;
        swrInFormat_ = frame->format;
        swrInChannels_ = channels;
    }
    const int room = swr_get_out_samples(swr_, frame->nb_samples);
    if (room < 0)
        return false;
    const size_t base = pending_.size();
    pending_.resize(base + size_t(room) * kOutputChannels);
    uint8_t *dst = reinterpret_cast<uint8_t *>(pending_.data() + base);
    const int got = swr_convert(swr_, &dst, room, const_cast<const uint8_t **>(frame->extended_data),
                                frame->nb_samples);
    pending_.resize(base + size_t(std::max(got, 0)) * kOutputChannels);
    return got >= 0;
}

// Takes out what the resampler still holds. Answers whether anything came.
bool Decoder::flushResampler()
{
    if (!swr_)
        return false;
    const int room = swr_get_out_samples(swr_, 0);
    if (room <= 0)
        return false;
    const size_t base = pending_.size();
    pending_.resize(base + size_t(room) * kOutputChannels);
    uint8_t *dst = reinterpret_cast<uint8_t *>(pending_.data() + base);
    const int got = swr_convert(swr_, &dst, room, nullptr, 0);
    pending_.resize(base + size_t(std::max(got, 0)) * kOutputChannels);
    return got > 0;
}
