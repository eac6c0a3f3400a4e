#pragma once
// Lock-free ring of interleaved float samples between one producer (a stream's
// decoder thread) and one consumer (the device's mixing callback).

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class SampleRing {
public:
    explicit SampleRing(size_t capacity) : buf_(capacity) {}

    size_t capacity() const { return buf_.size(); }
    size_t available() const
    {
        return size_t(written_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed));
    }
    size_t space() const
    {
        return capacity() -
               size_t(written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire));
    }

    // Producer side.
    size_t write(const float *data, size_t n)
    {
        const uint64_t w = written_.load(std::memory_order_relaxed);
        n = std::min(n, space());
        const size_t at = size_t(w % buf_.size());
        const size_t first = std::min(n, buf_.size() - at);
        std::copy(data, data + first, buf_.begin() + at);
        std::copy(data + first, data + n, buf_.begin());
        written_.store(w + n, std::memory_order_release);
        return n;
    }

    // Consumer side: adds up to `n` samples onto `out`, answers how many.
    size_t mixInto(float *out, size_t n)
    {
        const uint64_t r = read_.load(std::memory_order_relaxed);
        n = std::min(n, available());
        const size_t at = size_t(r % buf_.size());
        const size_t first = std::min(n, buf_.size() - at);
        for (size_t i = 0; i < first; ++i)
            out[i] += buf_[at + i];
        for (size_t i = first; i < n; ++i)
            out[i] += buf_[i - first];
        read_.store(r + n, std::memory_order_release);
        return n;
    }

private:
    std::vector<float> buf_;
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> read_{0};
};
