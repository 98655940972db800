// Streams the runtime writes into: a C++ base over the runtime's pslStream,
// and the memory stream that receives released images.
#ifndef QUILLOMAT_SDK_PSCSTRMS_H
#define QUILLOMAT_SDK_PSCSTRMS_H

#include "psLLAPI.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// A pslStream whose operations call the virtual functions below. Hand
// stream() to the runtime. No exception leaves through the runtime: a
// psCException thrown by an override becomes its word, anything else
// hlsdk UNEXPECTED_EXCEPTION.
class psStream {
public:
    psStream();
    virtual ~psStream() = default;
    psStream(const psStream &) = delete;
    psStream &operator=(const psStream &) = delete;

    pslStream *stream() { return &m_adapter.base; }

protected:
    // Takes size bytes; a non-zero result aborts the runtime's transfer.
    virtual psResult write(const void *data, uint32_t size) = 0;
    // Transfer progress, 0 to 100.
    virtual void progress(uint32_t /*percent*/) {}

private:
    struct Adapter {
        pslStream base;         // first, so that a pslStream* is an Adapter*
        psStream *owner;
    };
    static psResult writeEntry(pslStream *stream, const void *data, uint32_t size);
    static psResult progressEntry(pslStream *stream, uint32_t percent);

    Adapter m_adapter;
};

// Collects one transfer in memory. The buffer starts at 4 MiB and grows
// geometrically, so a runtime writing in small pieces does not copy the image
// over and over. Progress values go to the listener on the writer's thread.
// cancel() may be called from any thread: the next write then answers
// hlsdk OPERATION_CANCELLED and the runtime gives up the transfer.
class psMemoryStream : public psStream {
public:
    using ProgressListener = std::function<void(uint32_t percent)>;

    static constexpr size_t kInitialCapacity = 4u * 1024u * 1024u;
    static constexpr size_t kMinimumGrowth = 10240u;
    static constexpr size_t kMaximumSizeHint = 512u * 1024u * 1024u;

    psMemoryStream();

    void setProgressListener(ProgressListener listener) { m_listener = std::move(listener); }
    // Makes room for an image whose size the camera announced, so that it is
    // received without regrowing. A hint beyond kMaximumSizeHint is not
    // trusted (the buffer then grows as the bytes come). Returns false when
    // the memory could not be had; writing still works then.
    bool reserve(size_t expectedSize);
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // Bytes written so far.
    size_t size() const { return m_data.size(); }
    size_t capacity() const { return m_data.capacity(); }
    std::span<const uint8_t> data() const { return m_data; }
    // Hands the bytes over without copying; the stream is empty afterwards.
    std::vector<uint8_t> takeData();

protected:
    psResult write(const void *data, uint32_t size) override;
    void progress(uint32_t percent) override;

private:
    std::vector<uint8_t> m_data;
    ProgressListener m_listener;
    std::atomic<bool> m_cancelled{false};
};

#endif
