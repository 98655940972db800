#include "JpegFixtures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace jpegfixtures {

namespace {

// Small deterministic generator, so fixtures are the same on every run.
struct Random
{
    std::uint32_t state;
    std::uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

unsigned char clampByte(double v)
{
    return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Fixture helpers may abort the test program on misuse: they only ever see
// well-formed input of our own making.
void fixtureError(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    std::fprintf(stderr, "jpeg fixture: %s\n", message);
    std::abort();
}

Bytes compress(const unsigned char *pixels, int width, int height, int components, J_COLOR_SPACE space, int quality,
               Subsampling sampling, bool progressive)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    error.error_exit = &fixtureError;
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (components == 3) {
        info.comp_info[0].h_samp_factor = sampling == Subsampling::S444 ? 1 : 2;
        info.comp_info[0].v_samp_factor = sampling == Subsampling::S420 ? 2 : 1;
        for (int c = 1; c < 3; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = std::size_t(width) * std::size_t(components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(pixels) + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes result(out, out + outSize);
    std::free(out);
    return result;
}

} // namespace

Bytes photoPixels(int width, int height, std::uint32_t seed)
{
    Bytes rgb(std::size_t(width) * std::size_t(height) * 3);
    Random random{seed * 2654435761u + 12345u};
    // A few soft colour patches over a sky-to-ground gradient.
    struct Patch
    {
        double cx, cy, radius, r, g, b;
    };
    Patch patches[6];
    for (Patch &p : patches) {
        p.cx = (random.next() % 1000) / 1000.0 * width;
        p.cy = (random.next() % 1000) / 1000.0 * height;
        p.radius = (0.05 + (random.next() % 1000) / 4000.0) * width;
        p.r = random.next() % 256;
        p.g = random.next() % 256;
        p.b = random.next() % 256;
    }
    for (int y = 0; y < height; ++y) {
        const double v = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            double r = 60 + 150 * (1 - v) + 30 * std::sin(u * 9.0);
            double g = 90 + 120 * (1 - v) * (0.5 + 0.5 * u);
            double b = 200 * (1 - v) + 40 * v + 20 * std::cos(v * 13.0 + u * 5.0);
            for (const Patch &p : patches) {
                const double dx = x - p.cx;
                const double dy = y - p.cy;
                const double d2 = (dx * dx + dy * dy) / (p.radius * p.radius);
                if (d2 < 1) {
                    const double a = 1 - d2;
                    r = r * (1 - a) + p.r * a;
                    g = g * (1 - a) + p.g * a;
                    b = b * (1 - a) + p.b * a;
                }
            }
            // Fine texture and sensor noise.
            const double texture = 12 * std::sin(x * 0.37 + y * 0.11) * std::sin(y * 0.23);
            const double noise = int(random.next() % 17) - 8;
            unsigned char *p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            p[0] = clampByte(r + texture + noise);
            p[1] = clampByte(g + texture + noise * 0.8);
            p[2] = clampByte(b + texture + noise * 1.2);
        }
    }
    return rgb;
}

Bytes solidPixels(int width, int height, unsigned char r, unsigned char g, unsigned char b)
{
    Bytes rgb(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = r;
        rgb[i + 1] = g;
        rgb[i + 2] = b;
    }
    return rgb;
}

Bytes encodeRgb(const Bytes &rgb, int width, int height, int quality, Subsampling sampling, bool progressive)
{
    return compress(rgb.data(), width, height, 3, JCS_RGB, quality, sampling, progressive);
}

Bytes photoJpeg(int width, int height, std::uint32_t seed, Subsampling sampling, int quality)
{
    return encodeRgb(photoPixels(width, height, seed), width, height, quality, sampling);
}

Bytes greyJpeg(int width, int height, std::uint32_t seed)
{
    const Bytes rgb = photoPixels(width, height, seed);
    Bytes grey(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<unsigned char>((rgb[i * 3] + rgb[i * 3 + 1] + rgb[i * 3 + 2]) / 3);
    return compress(grey.data(), width, height, 1, JCS_GRAYSCALE, 95, Subsampling::S444, false);
}

Bytes cmykJpeg(int width, int height)
{
    Bytes cmyk(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < cmyk.size(); ++i)
        cmyk[i] = static_cast<unsigned char>(i * 7);
    return compress(cmyk.data(), width, height, 4, JCS_CMYK, 90, Subsampling::S444, false);
}

Bytes referenceDecode(const Bytes &jpeg, unsigned denominator, int &width, int &height)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    error.error_exit = &fixtureError;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.scale_num = 1;
    info.scale_denom = denominator;
    jpeg_start_decompress(&info);
    width = int(info.output_width);
    height = int(info.output_height);
    Bytes rgb(std::size_t(width) * std::size_t(height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgb.data() + std::size_t(info.output_scanline) * std::size_t(width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return rgb;
}

} // namespace jpegfixtures
