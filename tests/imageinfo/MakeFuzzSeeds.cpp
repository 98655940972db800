// Writes the generated seed inputs of the image-information fuzz targets
// (fuzz/corpus/<target>/gen-*) from the same builder the tests use.
// Usage: imageinfo_fuzz_seeds <fuzz/corpus directory>
#include "ExifBuilder.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

std::vector<uint8_t> prefixed(uint8_t first, const std::vector<uint8_t> &bytes)
{
    std::vector<uint8_t> out(bytes.size() + 1);
    out[0] = first;
    std::copy(bytes.begin(), bytes.end(), out.begin() + 1);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: imageinfo_fuzz_seeds <fuzz/corpus directory>\n", stderr);
        return 2;
    }
    const std::string out = argv[1];
    TestShot le;
    le.userComment = TestShot::defaultUserComment("seed comment");
    TestShot be = le;
    be.littleEndian = false;
    be.model = "Canon EOS D30";
    be.cameraSettings[3] = 4;
    be.cameraSettings[29] = 0x4088;
    be.flash = 1;
    be.cameraSettings[4] = 1;
    be.customFunctions = {26, 1, 2, 1, 1, 1, 1, 3, 1, 2, 1, 1, 3};
    TestShot shortArrays = le;
    shortArrays.cameraSettings.resize(12);
    shortArrays.shotInfo.resize(9);
    shortArrays.userComment = TestShot::defaultUserComment("x", 20);
    const auto jpegLe = buildShotJpeg(le);
    const auto jpegBe = buildShotJpeg(be);
    const auto jpegShort = buildShotJpeg(shortArrays);
    const auto crw = buildCrw("raw comment", 256, 90, true, jpegLe);
    const auto crwBe = buildCrw("raw", 64, 0, false);
    try {
        for (const char *target : {"ImageInfoFuzz", "ThmOrientationFuzz"}) {
            writeFile(out + "/" + target + "/gen-le-d60.jpg", jpegLe);
            writeFile(out + "/" + target + "/gen-be-d30-raw.jpg", jpegBe);
            writeFile(out + "/" + target + "/gen-short-arrays.jpg", jpegShort);
        }
        writeFile(out + "/LoadImageJpegFuzz/gen-le.crw", crw);
        writeFile(out + "/LoadImageJpegFuzz/gen-be.crw", crwBe);
        // The property target's first byte picks the file type: 0 JPEG, 1 CRW.
        writeFile(out + "/PicturePropertiesFuzz/gen-le-d60.jpg", prefixed(0, jpegLe));
        writeFile(out + "/PicturePropertiesFuzz/gen-be-d30.jpg", prefixed(0, jpegBe));
        writeFile(out + "/PicturePropertiesFuzz/gen-le.crw", prefixed(1, crw));
        writeFile(out + "/PicturePropertiesFuzz/gen-be.crw", prefixed(1, crwBe));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "imageinfo_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
