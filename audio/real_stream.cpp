#include "real_stream.h"

namespace {
std::atomic<uint32_t> nextSyncHandle{1};
}

RealStream::RealStream(uint32_t handle, std::unique_ptr<Decoder> decoder, size_t ringSamples)
    : handle_(handle), decoder_(std::move(decoder)), ring_(ringSamples)
{
}

RealStream::~RealStream()
{
    if (thread_.joinable())
        thread_.detach(); // only when the thread itself drops the last reference
}

void RealStream::start(std::shared_ptr<RealStream> self)
{
    // A quarter of the ring is enough to start on; the thread does the rest.
    decoded_.store(decoder_->fill(ring_, ring_.capacity() / 4), std::memory_order_release);
    thread_ = std::thread(&RealStream::run, this, std::move(self));
}

void RealStream::shutdown()
{
    quit_.store(true);
    wake();
    if (!thread_.joinable())
        return;
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

bool RealStream::play()
{
    int expected = Ready;
    if (state_.compare_exchange_strong(expected, Playing))
        return true;
    expected = Stopped;
    return state_.compare_exchange_strong(expected, Playing) || expected == Playing;
}

bool RealStream::stop()
{
    int s = state_.load();
    while (s == Ready || s == Playing) {
        if (state_.compare_exchange_weak(s, Stopped))
            return true;
    }
    return s == Stopped;
}

uint32_t RealStream::isActive() const
{
    if (state_.load() != Playing)
        return kAudioInactive;
    return starved_.load() ? kAudioStalled : kAudioPlaying;
}

bool RealStream::needsDevice() const
{
    const int s = state_.load();
    return s == Ready || s == Playing;
}

uint32_t RealStream::addSync(AudioSyncProc proc, void *user)
{
    std::lock_guard lock(syncMutex_);
    const uint32_t h = nextSyncHandle.fetch_add(1);
    syncs_.push_back({h, proc, user});
    return h;
}

void RealStream::mixInto(float *out, size_t samples)
{
    if (state_.load(std::memory_order_relaxed) != Playing)
        return;
    // Read `decoded_` before emptiness: once it is set, the ring holds the rest.
    const bool decoded = decoded_.load(std::memory_order_acquire);
    const size_t got = ring_.mixInto(out, samples);
    if (got < samples && decoded && ring_.available() == 0) {
        int expected = Playing;
        state_.compare_exchange_strong(expected, Ended);
        wake();
        return;
    }
    starved_.store(got < samples && !decoded, std::memory_order_relaxed);
    if (!decoded && ring_.space() >= ring_.capacity() / 2)
        wake();
}

void RealStream::wake()
{
    wakeups_.fetch_add(1, std::memory_order_release);
    wakeups_.notify_one();
}

void RealStream::run(std::shared_ptr<RealStream> self)
{
    for (;;) {
        const int seen = wakeups_.load(std::memory_order_acquire);
        if (quit_.load())
            break;
        if (!decoded_.load(std::memory_order_relaxed))
            decoded_.store(decoder_->fill(ring_), std::memory_order_release);
        if (state_.load() == Ended && !endSynced_) {
            endSynced_ = true;
            fireEndSyncs();
            continue; // the sync may have freed us
        }
        wakeups_.wait(seen, std::memory_order_acquire);
    }
    decoder_.reset(); // files closed on this thread, not the freeing one
    self.reset();
}

void RealStream::fireEndSyncs()
{
    std::vector<Sync> syncs;
    {
        std::lock_guard lock(syncMutex_);
        syncs = syncs_;
    }
    for (const Sync &s : syncs) {
        if (quit_.load())
            return;
        s.proc(s.handle, handle_, 0, s.user);
    }
}
