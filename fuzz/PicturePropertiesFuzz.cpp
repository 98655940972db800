// The picture property collection and replacement on a file: the first
// input byte picks JPEG or CRW, the rest is the file. Every change must stay
// inside the file: its length never changes.
#include "FuzzTempFile.h"

#include "ImageComment.h"
#include "ImageRotation.h"

#include "psError.h"
#include "psLLAPI.h"
#include "psPictureArray.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Refused properties are the normal case here; their trace lines would drown the run.
    static const bool quiet = (psSetErrorTrace(0), true);
    (void)quiet;
    if (size < 1 || size > FUZZ_MAX_INPUT)
        return 0;
    const bool raw = data[0] & 1;
    const std::string path = fuzzWriteFile(raw ? "IMG.CRW" : "IMG.JPG", data + 1, size - 1);

    uint8_t small[16];
    uint32_t length = 0;
    PSParseReadProperties(path.c_str(), small, sizeof small, &length);

    psCPictureArray pictures;
    if (collectFilePictures(path, pictures)) {
        uint8_t buffer[300];
        try {
            pictures.at(0).getProperty(PS_PROPERTY_COMMENT, buffer, sizeof buffer);
        } catch (const psCException &) {
        }
    }
    (void)readImageComment(path);
    (void)readImageRotation(path);
    writeImageComment(path, "fuzzed comment\nsecond line");
    writeImageRotation(path, 90);
    (void)readImageRotation(path);
    if (fuzzReadFile(path).size() != size - 1)
        std::abort();
    return 0;
}
