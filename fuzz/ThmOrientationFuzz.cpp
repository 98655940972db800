// The THM Orientation patch on a copy of the input: at most the four bytes
// of one field change, and the file keeps its length.
#include "FuzzTempFile.h"

#include "ThmOrientation.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > FUZZ_MAX_INPUT)
        return 0;
    const std::string path = fuzzWriteFile("IMG.THM", data, size);
    const bool patched = patchThmOrientation(path, 270);
    const std::vector<uint8_t> after = fuzzReadFile(path);
    if (after.size() != size)
        std::abort();
    size_t first = size, last = 0;
    for (size_t i = 0; i < size; ++i) {
        if (after[i] != data[i]) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first != size && (!patched || last - first >= 4))
        std::abort();
    return 0;
}
