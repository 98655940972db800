// loadImageJpeg on a CRW (and a JPEG) file, and ImageInfo from a THM path
// whose CRW holds the same bytes.
#include "FuzzTempFile.h"

#include "ImageInfo.h"
#include "LoadImageJpeg.h"

#include "psError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Refused properties are the normal case here; their trace lines would drown the run.
    static const bool quiet = (psSetErrorTrace(0), true);
    (void)quiet;
    if (size > FUZZ_MAX_INPUT)
        return 0;
    const std::string crw = fuzzWriteFile("IMG.CRW", data, size);
    const std::vector<uint8_t> jpeg = loadImageJpeg(crw);
    if (jpeg.size() > size)
        std::abort();
    const std::string jpg = fuzzWriteFile("IMG.JPG", data, size);
    const std::vector<uint8_t> whole = loadImageJpeg(jpg);
    if (whole.size() != size)
        std::abort();
    fuzzWriteFile("IMG.THM", data, size);
    ImageInfo info(crw);
    (void)info;
    return 0;
}
