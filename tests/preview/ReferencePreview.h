// A deliberately plain rendering of the preview rules, pixel by pixel, against
// which the decoder's fast path is compared.
#ifndef QUILLOMAT_TESTS_PREVIEW_REFERENCEPREVIEW_H
#define QUILLOMAT_TESTS_PREVIEW_REFERENCEPREVIEW_H

#include "JpegFixtures.h"

#include <array>
#include <cstdint>

namespace reference {

// Plain counts with the intensity bins as four additions per pixel.
struct Counts
{
    std::int32_t total = 0;
    std::array<std::int32_t, 256> red{}, green{}, blue{}, intensity{};
    void add(int r, int g, int b)
    {
        ++total;
        ++red[r];
        ++green[g];
        ++blue[b];
        ++intensity[r];
        ++intensity[g];
        ++intensity[b];
        ++intensity[(r + g + b) / 3];
    }
    // Clipped to 2 % of the total, intensity divided by 4 first.
    void finalise()
    {
        const std::int32_t cap = total / 50;
        for (int i = 0; i < 256; ++i) {
            intensity[i] /= 4;
            red[i] = red[i] > cap ? cap : red[i];
            green[i] = green[i] > cap ? cap : green[i];
            blue[i] = blue[i] > cap ? cap : blue[i];
            intensity[i] = intensity[i] > cap ? cap : intensity[i];
        }
    }
};

struct Picture
{
    int width = 0;
    int height = 0;
    jpegfixtures::Bytes bgr; // packed B, G, R
};

// Decode scale, resample to 720 x 480 (or keep), count, rotate: each step as
// the straightforward formula.
Picture preview(const jpegfixtures::Bytes &jpeg, int rotation, Counts &counts);

} // namespace reference

#endif
