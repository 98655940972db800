// Writes the seed inputs of the preview decoder's fuzz target: small JPEGs of
// every kind the decoder meets, and damaged copies.
// Usage: make_preview_fuzz_seeds <directory>
#include "JpegFixtures.h"

#include <cstdio>
#include <fstream>
#include <string>

using jpegfixtures::Bytes;
using jpegfixtures::Subsampling;

namespace {

bool write(const std::string &directory, const std::string &name, const Bytes &bytes)
{
    std::ofstream out(directory + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    const Bytes photo422 = jpegfixtures::photoJpeg(96, 64, 1, Subsampling::S422, 75);
    ok &= write(dir, "photo-96x64-422.jpg", photo422);
    ok &= write(dir, "photo-80x48-420.jpg", jpegfixtures::photoJpeg(80, 48, 2, Subsampling::S420, 60));
    ok &= write(dir, "photo-33x17-444.jpg", jpegfixtures::photoJpeg(33, 17, 3, Subsampling::S444, 90));
    // Wide enough to be scaled down and resampled.
    ok &= write(dir, "wide-1500x24.jpg", jpegfixtures::photoJpeg(1500, 24, 4, Subsampling::S420, 30));
    ok &= write(dir, "wide-800x16.jpg", jpegfixtures::photoJpeg(800, 16, 5, Subsampling::S422, 30));
    ok &= write(dir, "progressive-64x48.jpg",
                jpegfixtures::encodeRgb(jpegfixtures::photoPixels(64, 48, 6), 64, 48, 70, Subsampling::S420, true));
    ok &= write(dir, "grey-40x30.jpg", jpegfixtures::greyJpeg(40, 30, 7));
    ok &= write(dir, "cmyk-16x16.jpg", jpegfixtures::cmykJpeg(16, 16));
    ok &= write(dir, "truncated-half.jpg", Bytes(photo422.begin(), photo422.begin() + std::ptrdiff_t(photo422.size() / 2)));
    ok &= write(dir, "truncated-header.jpg", Bytes(photo422.begin(), photo422.begin() + 120));
    Bytes corrupt = photo422;
    corrupt[corrupt.size() * 2 / 3] ^= 0x5A;
    corrupt[corrupt.size() * 2 / 3 + 7] = 0xFF;
    ok &= write(dir, "corrupt-entropy.jpg", corrupt);
    ok &= write(dir, "empty", Bytes{});
    return ok ? 0 : 1;
}
