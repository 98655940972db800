#include "JpegPicture.h"

#include "ExposureTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <jpeglib.h>

namespace simcam {
namespace {

// 5x7 glyphs, one byte per row, bit 4 the leftmost column.
struct Glyph {
    char c;
    std::array<uint8_t, 7> rows;
};

constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}}, {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'"', {0x0A, 0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00}}, {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
};

const Glyph *glyphFor(char c)
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    for (const Glyph &glyph : kFont)
        if (glyph.c == c)
            return &glyph;
    return nullptr;   // blank
}

// 24 reference colours of a photographic colour chart.
constexpr uint8_t kChart[24][3] = {
    {115, 82, 68}, {194, 150, 130}, {98, 122, 157}, {87, 108, 67}, {133, 128, 177}, {103, 189, 170},
    {214, 126, 44}, {80, 91, 166}, {193, 90, 99}, {94, 60, 108}, {157, 188, 64}, {224, 163, 46},
    {56, 61, 150}, {70, 148, 73}, {175, 54, 60}, {231, 199, 31}, {187, 86, 149}, {8, 133, 161},
    {243, 243, 242}, {200, 200, 200}, {160, 160, 160}, {122, 122, 121}, {85, 85, 85}, {52, 52, 52},
};

uint64_t nextRandom(uint64_t &state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// How bright the camera's settings make the scene: automatic modes meter it
// right (plus compensation); manual exposure is judged against a sunny scene
// of EV 13 at ISO 100.
double exposureGain(const CameraState &s)
{
    double stops = 0;
    if (s.exposureMode == ModeManual) {
        const double t = exposureTime(s.tv).value();
        const double f = fNumber(s.av).value();
        const int iso = isoSpeed(s.iso, s.model.isD60);
        if (t > 0 && f > 0 && iso > 0)
            stops = 13.0 - std::log2(f * f / t) + std::log2(iso / 100.0);
    } else if (!s.isImageZone()) {
        stops = compensationEv(s.exposureCompensation).value();
    }
    return std::pow(2.0, std::clamp(stops, -5.0, 5.0));
}

class SceneRenderer {
public:
    SceneRenderer(const ShotPlan &shot, const JpegOptions &options)
        : m_width(options.width), m_height(options.height), m_seed(shot.seed() | 1)
    {
        m_pictureHeight = options.letterbox ? std::min(m_height, m_width * 2 / 3) : m_height;
        m_top = (m_height - m_pictureHeight) / 2;
        const double gain = exposureGain(shot.state);
        for (int v = 0; v < 256; ++v)
            m_lut[v] = static_cast<uint8_t>(std::min(255.0, v * gain));

        // Hills along the horizon: a few slow waves whose phases follow the seed.
        m_hill.resize(static_cast<size_t>(m_width));
        uint64_t random = m_seed;
        const double phase1 = (nextRandom(random) % 628) / 100.0;
        const double phase2 = (nextRandom(random) % 628) / 100.0;
        for (int x = 0; x < m_width; ++x) {
            const double u = static_cast<double>(x) / m_width;
            const double h = 0.50 - 0.07 * std::sin(u * 5.3 + phase1) - 0.04 * std::sin(u * 13.1 + phase2);
            m_hill[static_cast<size_t>(x)] = static_cast<int>(h * m_pictureHeight);
        }
        m_horizon = static_cast<int>(0.58 * m_pictureHeight);

        // The chart sits in the lower right, 6 by 4 patches.
        m_chartX0 = m_width * 56 / 100;
        m_chartX1 = m_width * 95 / 100;
        m_chartY0 = m_pictureHeight * 64 / 100;
        m_chartY1 = m_pictureHeight * 93 / 100;

        const CameraState &s = shot.state;
        m_lines = {
            shot.fileName() + " #" + std::to_string(shot.fileNumber),
            shutterText(s.tv) + " F" + apertureText(s.av) + " ISO " +
                std::to_string(isoSpeed(s.iso, s.model.isD60)) + " " + compensationText(s.exposureCompensation),
            shot.dateTime(),
            s.model.exifModel(),
        };
        m_scale = std::max(1, m_pictureHeight / 200);
        m_textX = m_scale * 4;
        m_textY = m_scale * 4;
        size_t longest = 0;
        for (const std::string &line : m_lines)
            longest = std::max(longest, line.size());
        m_textW = static_cast<int>(longest) * 6 * m_scale + 2 * m_scale;
        m_textH = static_cast<int>(m_lines.size()) * 9 * m_scale + m_scale;
    }

    void row(int y, uint8_t *out)
    {
        const int py = y - m_top;
        if (py < 0 || py >= m_pictureHeight) {
            std::memset(out, 0, static_cast<size_t>(m_width) * 3);
            return;
        }
        uint64_t random = m_seed ^ (static_cast<uint64_t>(py + 1) * 0x9E3779B97F4A7C15ull);
        nextRandom(random);
        const double v = static_cast<double>(py) / m_pictureHeight;
        const int sky[3] = {static_cast<int>(40 + 150 * v), static_cast<int>(90 + 120 * v), static_cast<int>(190 + 50 * v)};
        const int hill[3] = {50, static_cast<int>(70 + 30 * v), 60};
        const double g = v - 0.58;
        const int ground[3] = {static_cast<int>(70 + 140 * g), static_cast<int>(120 - 60 * g), static_cast<int>(40 + 40 * g)};
        const bool inChartRows = py >= m_chartY0 && py < m_chartY1;
        const int chartRow = inChartRows ? (py - m_chartY0) * 4 / (m_chartY1 - m_chartY0) : 0;
        const int chartRowY = inChartRows ? (py - m_chartY0) * 4 % (m_chartY1 - m_chartY0) : 0;
        const bool chartGapRow = inChartRows && chartRowY < (m_chartY1 - m_chartY0) / 10;

        uint64_t bits = 0;
        int bitsLeft = 0;
        for (int x = 0; x < m_width; ++x) {
            const int *base;
            if (py < m_hill[static_cast<size_t>(x)])
                base = sky;
            else if (py < m_horizon)
                base = hill;
            else
                base = ground;
            int r = base[0], gg = base[1], b = base[2];
            if (inChartRows && x >= m_chartX0 && x < m_chartX1) {
                const int span = m_chartX1 - m_chartX0;
                const int col = (x - m_chartX0) * 6 / span;
                const bool gap = chartGapRow || (x - m_chartX0) * 6 % span < span / 12;
                const uint8_t *patch = kChart[chartRow * 6 + col];
                r = gap ? 20 : patch[0];
                gg = gap ? 20 : patch[1];
                b = gap ? 20 : patch[2];
            }
            if (bitsLeft == 0) {
                bits = nextRandom(random);
                bitsLeft = 16;
            }
            const int noise = static_cast<int>(bits & 7) - 3;
            bits >>= 4;
            --bitsLeft;
            out[3 * x] = m_lut[std::clamp(r + noise, 0, 255)];
            out[3 * x + 1] = m_lut[std::clamp(gg + noise, 0, 255)];
            out[3 * x + 2] = m_lut[std::clamp(b + noise, 0, 255)];
        }
        drawText(py, out);
    }

private:
    void drawText(int py, uint8_t *out) const
    {
        if (py < m_textY || py >= m_textY + m_textH)
            return;
        const int xEnd = std::min(m_width, m_textX + m_textW);
        for (int x = m_textX; x < xEnd; ++x)
            for (int c = 0; c < 3; ++c)
                out[3 * x + c] = static_cast<uint8_t>(out[3 * x + c] / 3);
        const int unitY = (py - m_textY) / m_scale;
        const size_t line = static_cast<size_t>(unitY / 9);
        const int glyphRow = unitY % 9 - 1;
        if (line >= m_lines.size() || glyphRow < 0 || glyphRow >= 7)
            return;
        const std::string &text = m_lines[line];
        for (int x = m_textX + m_scale; x < xEnd; ++x) {
            const int unitX = (x - m_textX - m_scale) / m_scale;
            const size_t index = static_cast<size_t>(unitX / 6);
            const int column = unitX % 6;
            if (index >= text.size() || column >= 5)
                continue;
            const Glyph *glyph = glyphFor(text[index]);
            if (glyph && (glyph->rows[static_cast<size_t>(glyphRow)] >> (4 - column)) & 1)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = 250;
        }
    }

    int m_width;
    int m_height;
    int m_pictureHeight = 0;
    int m_top = 0;
    uint64_t m_seed;
    uint8_t m_lut[256] = {};
    std::vector<int> m_hill;
    int m_horizon = 0;
    int m_chartX0 = 0, m_chartX1 = 0, m_chartY0 = 0, m_chartY1 = 0;
    std::vector<std::string> m_lines;
    int m_scale = 1;
    int m_textX = 0, m_textY = 0, m_textW = 0, m_textH = 0;
};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info)
{
    auto *manager = reinterpret_cast<ErrorManager *>(info->err);
    std::longjmp(manager->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// Kept apart from renderJpeg so that no object with a destructor lives in
// the frame that longjmp returns to.
bool compress(jpeg_compress_struct &cinfo, ErrorManager &errors, SceneRenderer &scene,
              const JpegOptions &options, std::vector<uint8_t> &rows, unsigned char **buffer,
              unsigned long *size)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = static_cast<JDIMENSION>(options.width);
    cinfo.image_height = static_cast<JDIMENSION>(options.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    cinfo.write_JFIF_header = FALSE;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    if (options.app1)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, options.app1->data(),
                          static_cast<unsigned int>(options.app1->size()));
    constexpr int kBatch = 16;
    const size_t stride = static_cast<size_t>(options.width) * 3;
    JSAMPROW pointers[kBatch];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int first = static_cast<int>(cinfo.next_scanline);
        const int count = std::min(kBatch, options.height - first);
        for (int i = 0; i < count; ++i) {
            pointers[i] = rows.data() + static_cast<size_t>(i) * stride;
            scene.row(first + i, pointers[i]);
        }
        jpeg_write_scanlines(&cinfo, pointers, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

} // namespace

std::vector<uint8_t> renderJpeg(const ShotPlan &shot, const JpegOptions &options)
{
    if (options.width <= 0 || options.height <= 0 || options.width > 0xFFFF || options.height > 0xFFFF)
        return {};
    if (options.app1 && options.app1->size() > 65533)
        return {};
    SceneRenderer scene(shot, options);
    std::vector<uint8_t> rows(static_cast<size_t>(options.width) * 3 * 16);
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onJpegError;
    errors.pub.output_message = ignoreMessage;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const bool ok = compress(cinfo, errors, scene, options, rows, &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> result;
    if (ok && buffer)
        result.assign(buffer, buffer + size);
    std::free(buffer);
    return result;
}

} // namespace simcam
