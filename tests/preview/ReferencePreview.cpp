#include "ReferencePreview.h"

#include <cmath>
#include <cstdio>

#include <jpeglib.h>

namespace reference {

namespace {

int imageWidthOf(const jpegfixtures::Bytes &jpeg)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    const int width = int(info.image_width);
    jpeg_destroy_decompress(&info);
    return width;
}

} // namespace

Picture preview(const jpegfixtures::Bytes &jpeg, int rotation, Counts &counts)
{
    const int imageWidth = imageWidthOf(jpeg);
    unsigned num = 1;
    unsigned denom = 1;
    int w = imageWidth;
    while (w >= 1440 && denom < 8) {
        denom *= 2;
        w = int(unsigned(imageWidth) * num / denom);
    }
    int W = 0;
    int H = 0;
    const jpegfixtures::Bytes rgb = jpegfixtures::referenceDecode(jpeg, denom, W, H);
    auto p = [&](int x, int y, int c) { return double(rgb[(std::size_t(y) * W + x) * 3 + c]); };

    Picture shown;
    if (W > 720) {
        shown.width = 720;
        shown.height = 480;
        shown.bgr.resize(720 * 480 * 3);
        const double sx = double(W) / 720;
        const double sy = double(H) / 480;
        for (int i = 0; i < 480; ++i) {
            const double y = sy / 2 + i * sy;
            const int ty = int(std::floor(y));
            const double fy = y - ty;
            const int ty1 = ty + 1 < H ? ty + 1 : H - 1;
            for (int j = 0; j < 720; ++j) {
                const double x = sx / 2 + j * sx;
                const int tx = int(std::floor(x));
                const double fx = x - tx;
                const int tx1 = tx + 1 < W ? tx + 1 : W - 1;
                unsigned char rgbOut[3];
                for (int c = 0; c < 3; ++c) {
                    const double v = (1 - fx) * (1 - fy) * p(tx, ty, c) + fx * (1 - fy) * p(tx1, ty, c)
                                     + (1 - fx) * fy * p(tx, ty1, c) + fx * fy * p(tx1, ty1, c);
                    rgbOut[c] = static_cast<unsigned char>(int(v));
                }
                unsigned char *out = &shown.bgr[(std::size_t(i) * 720 + j) * 3];
                out[0] = rgbOut[2];
                out[1] = rgbOut[1];
                out[2] = rgbOut[0];
            }
        }
    } else {
        shown.width = W;
        shown.height = H;
        shown.bgr.resize(std::size_t(W) * H * 3);
        for (std::size_t i = 0; i < shown.bgr.size(); i += 3) {
            shown.bgr[i] = rgb[i + 2];
            shown.bgr[i + 1] = rgb[i + 1];
            shown.bgr[i + 2] = rgb[i];
        }
    }
    for (std::size_t i = 0; i < shown.bgr.size(); i += 3)
        counts.add(shown.bgr[i + 2], shown.bgr[i + 1], shown.bgr[i]);

    if (rotation != 90 && rotation != 180 && rotation != 270)
        return shown;
    Picture turned;
    const int sw = shown.width;
    const int sh = shown.height;
    turned.width = rotation == 180 ? sw : sh;
    turned.height = rotation == 180 ? sh : sw;
    turned.bgr.resize(shown.bgr.size());
    for (int y = 0; y < turned.height; ++y) {
        for (int x = 0; x < turned.width; ++x) {
            int sx = 0;
            int sy = 0;
            if (rotation == 90) {
                sx = y;
                sy = sh - 1 - x;
            } else if (rotation == 270) {
                sx = sw - 1 - y;
                sy = x;
            } else {
                // The pixel order reversed.
                const std::size_t index = std::size_t(sw) * sh - 1 - (std::size_t(y) * sw + x);
                sx = int(index % sw);
                sy = int(index / sw);
            }
            for (int c = 0; c < 3; ++c)
                turned.bgr[(std::size_t(y) * turned.width + x) * 3 + c] = shown.bgr[(std::size_t(sy) * sw + sx) * 3 + c];
        }
    }
    return turned;
}

} // namespace reference
