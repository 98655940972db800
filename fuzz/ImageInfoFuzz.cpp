// ImageInfo from JPEG bytes in memory, and both texts of the result.
#include "FuzzTempFile.h"

#include "ImageInfo.h"
#include "InfoText.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > FUZZ_MAX_INPUT)
        return 0;
    // An exact-size copy so that any read past the end is caught.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    std::copy(data, data + size, copy.get());
    ImageInfo info(copy.get(), size);
    const std::string shortText = shotInfoText(info);
    const std::string longText = cameraInfoText(info);
    if (shortText.empty() || longText.empty())
        std::abort();
    return 0;
}
