#include "ReleasedImageRecord.h"

#include <cstddef>
#include <cstring>

static_assert(offsetof(psImageEventRecord, sequence) == offsetof(ReleasedImageRecord, sequence));
static_assert(offsetof(psImageEventRecord, format) == offsetof(ReleasedImageRecord, format));
static_assert(offsetof(psImageEventRecord, dataSize) == offsetof(ReleasedImageRecord, dataSize));
static_assert(offsetof(psImageEventRecord, fileName) == offsetof(ReleasedImageRecord, fileNameStart));

ReleasedImageRecord ReleasedImageRecord::fromEvent(const psImageEventRecord &event)
{
    ReleasedImageRecord record;
    std::memcpy(static_cast<void *>(&record), &event, sizeof record);
    return record;
}
