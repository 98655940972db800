// First-in, first-out queue of image events with its own lock. The driver's
// thread fills one per release and hands it over in one move to the queue the
// release thread drains.
#ifndef QUILLOMAT_CAPTURE_IMAGEEVENTQUEUE_H
#define QUILLOMAT_CAPTURE_IMAGEEVENTQUEUE_H

#include "ReleasedImageRecord.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

enum class ImageEventKind : uint32_t {
    Thumbnail = 1,
    FullView = 2,
};

struct ImageEvent {
    ImageEventKind kind = ImageEventKind::Thumbnail;
    ReleasedImageRecord record;
    // The camera's whole name for the image (the record keeps only its start),
    // so that an image that is never fetched can be named in the log.
    std::string fileName;
};

class ImageEventQueue {
public:
    ImageEventQueue() = default;
    ImageEventQueue(const ImageEventQueue &) = delete;
    ImageEventQueue &operator=(const ImageEventQueue &) = delete;

    void append(ImageEventKind kind, const ReleasedImageRecord &record, std::string fileName = {});
    // Removes the oldest entry into `event`; false when the queue is empty.
    bool takeFirst(ImageEvent &event);
    void clear();
    std::size_t countFullViews() const;
    std::size_t size() const;
    // Appends every entry of `other` in order. Both queues stay locked for the
    // whole move, so a reader of this queue sees all of them or none.
    void appendAll(const ImageEventQueue &other);

private:
    mutable std::mutex m_mutex;
    std::deque<ImageEvent> m_entries;
};

#endif
