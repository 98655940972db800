#include "JpegDecompressor.h"

#include <cstring>

#include <jerror.h>

namespace {

// Larger images are refused: nothing the program handles comes near this, and
// a forged header must not make it allocate gigabytes.
constexpr unsigned long long kMaxImagePixels = 100'000'000ULL;
// libjpeg's own working memory (whole-image buffers of progressive JPEGs).
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;
// Progressive files may repeat scans; a forged one must not run for ever.
constexpr int kMaxScans = 1000;

} // namespace

JpegDecompressor::JpegDecompressor(const unsigned char *data, std::size_t length)
    : m_source(data, length)
{
    m_info.err = jpeg_std_error(&m_errorManager.manager);
    m_errorManager.manager.output_message = &JpegDecompressor::outputMessage;
    m_errorManager.manager.error_exit = &JpegDecompressor::errorExit;
    if (data == nullptr || length == 0) {
        fail("There is no JPEG data.");
        return;
    }
    if (setjmp(m_errorManager.jump)) {
        failed();
        return;
    }
    jpeg_create_decompress(&m_info);
    m_created = true;
    m_info.mem->max_memory_to_use = kMaxDecoderMemory;
    m_progress.progress_monitor = &JpegDecompressor::progress;
    m_info.progress = &m_progress;
    m_source.attach(m_info);
}

JpegDecompressor::~JpegDecompressor()
{
    if (m_created)
        jpeg_destroy_decompress(&m_info);
}

void JpegDecompressor::outputMessage(j_common_ptr info)
{
    // The error manager is the first member of ErrorManager.
    auto *self = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, self->message);
    std::longjmp(self->jump, 1);
}

void JpegDecompressor::errorExit(j_common_ptr info)
{
    (*info->err->output_message)(info);
}

void JpegDecompressor::progress(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        auto *self = reinterpret_cast<ErrorManager *>(info->err);
        std::snprintf(self->message, sizeof self->message, "The JPEG image has too many scans.");
        std::longjmp(self->jump, 1);
    }
}

bool JpegDecompressor::failed()
{
    m_errorManager.message[sizeof m_errorManager.message - 1] = '\0';
    return fail(m_errorManager.message);
}

bool JpegDecompressor::fail(const char *text)
{
    m_usable = false;
    m_error = QString::fromLocal8Bit(text);
    return false;
}

bool JpegDecompressor::readHeader()
{
    if (!m_usable)
        return false;
    if (setjmp(m_errorManager.jump))
        return failed();
    jpeg_read_header(&m_info, TRUE);
    switch (m_info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        return fail("CMYK JPEG images cannot be shown.");
    default:
        return fail("The JPEG image has a colour space that cannot be shown.");
    }
    if (static_cast<unsigned long long>(m_info.image_width) * m_info.image_height > kMaxImagePixels)
        return fail("The JPEG image is too large to be shown.");
    // Grey images come out grey in all three channels.
    m_info.out_color_space = JCS_EXT_BGR;
    return true;
}

bool JpegDecompressor::setScale(unsigned denominator)
{
    if (!m_usable)
        return false;
    if (setjmp(m_errorManager.jump))
        return failed();
    m_info.scale_num = 1;
    m_info.scale_denom = denominator;
    jpeg_calc_output_dimensions(&m_info);
    return true;
}

bool JpegDecompressor::start()
{
    if (!m_usable)
        return false;
    if (setjmp(m_errorManager.jump))
        return failed();
    jpeg_start_decompress(&m_info);
    if (m_info.output_components != 3)
        return fail("The JPEG image has a colour format that cannot be shown.");
    return true;
}

int JpegDecompressor::readRows(unsigned char **rows, int count)
{
    if (!m_usable)
        return -1;
    if (setjmp(m_errorManager.jump)) {
        failed();
        return -1;
    }
    return int(jpeg_read_scanlines(&m_info, rows, JDIMENSION(count)));
}

bool JpegDecompressor::finish()
{
    if (!m_usable)
        return false;
    if (setjmp(m_errorManager.jump))
        return failed();
    jpeg_finish_decompress(&m_info);
    return true;
}
