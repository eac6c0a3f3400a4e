#pragma once
// One playing (or playable) file of the real backend. Its decoder thread keeps
// the ring ahead of the device and calls the end syncs; the device callback
// only takes samples out of the ring.

#include "decoder.h"
#include "sample_ring.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class RealStream {
public:
    RealStream(uint32_t handle, std::unique_ptr<Decoder> decoder, size_t ringSamples);
    ~RealStream();

    uint32_t handle() const { return handle_; }

    // Decodes the first block on the calling thread, then hands decoding to
    // the stream's own thread, which holds `self` until it is shut down.
    void start(std::shared_ptr<RealStream> self);

    // Stops the thread. Called from the stream's own thread (inside a sync),
    // the thread is let go and ends by itself once the sync returns.
    void shutdown();

    bool play();
    bool stop();
    uint32_t isActive() const;
    // Created and not yet started, or playing: its device must be running.
    bool needsDevice() const;
    uint32_t addSync(AudioSyncProc proc, void *user);

    // Device callback: adds this stream's next samples onto `out`.
    void mixInto(float *out, size_t samples);

private:
    enum State { Ready, Playing, Stopped, Ended };
    struct Sync {
        uint32_t handle;
        AudioSyncProc proc;
        void *user;
    };

    void run(std::shared_ptr<RealStream> self);
    void wake();
    void fireEndSyncs();

    const uint32_t handle_;
    std::unique_ptr<Decoder> decoder_; // the stream's thread only, once started
    SampleRing ring_;
    std::atomic<int> state_{Ready};
    std::atomic<bool> decoded_{false}; // every sample of the file is in the ring
    std::atomic<bool> starved_{false};
    std::atomic<bool> quit_{false};
    std::atomic<int> wakeups_{0};
    bool endSynced_ = false; // the stream's thread only

    std::mutex syncMutex_;
    std::vector<Sync> syncs_;

    std::thread thread_;
};
