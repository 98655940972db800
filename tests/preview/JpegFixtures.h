// Camera-like JPEGs made on the fly with libjpeg-turbo, for the preview tests,
// benchmarks and fuzz seeds: photographic-looking content (gradients, colour
// patches, sensor-like noise), grey and CMYK variants, truncated copies.
#ifndef QUILLOMAT_TESTS_PREVIEW_JPEGFIXTURES_H
#define QUILLOMAT_TESTS_PREVIEW_JPEGFIXTURES_H

#include <cstdint>
#include <vector>

namespace jpegfixtures {

enum class Subsampling { S444, S422, S420 };

using Bytes = std::vector<unsigned char>;

// Packed R, G, B pixels of a photo-like scene; `seed` varies the noise and patches.
Bytes photoPixels(int width, int height, std::uint32_t seed);
// Packed R, G, B pixels of one colour.
Bytes solidPixels(int width, int height, unsigned char r, unsigned char g, unsigned char b);

// Encodes packed R, G, B pixels.
Bytes encodeRgb(const Bytes &rgb, int width, int height, int quality = 95, Subsampling sampling = Subsampling::S422,
                bool progressive = false);
// A photo-like colour JPEG.
Bytes photoJpeg(int width, int height, std::uint32_t seed = 1, Subsampling sampling = Subsampling::S422,
                int quality = 95);
// A one-component JPEG of the photo's luminance-like content.
Bytes greyJpeg(int width, int height, std::uint32_t seed = 1);
// A four-component CMYK JPEG.
Bytes cmykJpeg(int width, int height);

// Decodes with libjpeg-turbo directly at scale 1/denominator into packed R, G, B.
Bytes referenceDecode(const Bytes &jpeg, unsigned denominator, int &width, int &height);

} // namespace jpegfixtures

#endif
