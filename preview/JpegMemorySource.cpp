#include "JpegMemorySource.h"

#include <jerror.h>

namespace {

// Handed out once the real data has run out: the decoder sees the image end.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

} // namespace

JpegMemorySource::JpegMemorySource(const unsigned char *data, std::size_t length)
    : m_data(data), m_length(length)
{
    m_manager.init_source = &JpegMemorySource::initSource;
    m_manager.fill_input_buffer = &JpegMemorySource::fillInputBuffer;
    m_manager.skip_input_data = &JpegMemorySource::skipInputData;
    m_manager.resync_to_restart = &jpeg_resync_to_restart;
    m_manager.term_source = &JpegMemorySource::termSource;
    m_manager.next_input_byte = m_data;
    m_manager.bytes_in_buffer = m_length;
}

void JpegMemorySource::attach(jpeg_decompress_struct &info)
{
    info.src = &m_manager;
}

void JpegMemorySource::initSource(j_decompress_ptr) {}

void JpegMemorySource::termSource(j_decompress_ptr) {}

boolean JpegMemorySource::fillInputBuffer(j_decompress_ptr info)
{
    // Only called once every byte has been consumed. Supplying zero bytes
    // would make the decoder read past the buffer; an inserted end marker
    // ends the image instead, and the warning aborts the decode.
    WARNMS(info, JWRN_JPEG_EOF);
    info->src->next_input_byte = kEndOfImage;
    info->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

void JpegMemorySource::skipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr *source = info->src;
    if (static_cast<unsigned long>(count) > source->bytes_in_buffer) {
        // Skipping past the end: what follows is the inserted end marker.
        fillInputBuffer(info);
        return;
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<std::size_t>(count);
}
