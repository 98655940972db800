// Arbitrary bytes as a JPEG for the main preview and the full-size preview
// window: each must end in a picture or a clean error.
#include "Histogram.h"
#include "PreviewDecoder.h"

#include <cstddef>
#include <cstdint>

namespace {

// Camera JPEGs are far larger, but small inputs explore the decoder faster.
constexpr std::size_t kMaxInput = 256 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    // The rotation comes from the input's length so every turn gets exercised.
    const int rotation = int(size % 4) * 90;
    Histogram histogram;
    QImage bitmap;
    QString error;
    if (decodePreviewBitmap(data, size, histogram, rotation, bitmap, error)) {
        if (bitmap.isNull() || histogram.total() <= 0)
            __builtin_trap();
    } else if (error.isEmpty()) {
        __builtin_trap();
    }
    QImage full;
    QString fullError;
    if (!decodeFullImage(data, size, rotation, full, fullError) && fullError.isEmpty())
        __builtin_trap();
    return 0;
}
