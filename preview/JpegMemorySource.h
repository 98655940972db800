// A libjpeg data source over bytes already in memory. The whole buffer is
// handed over at once; when the decoder asks for more, it gets an end-of-image
// marker and a premature-end warning (which aborts the decode), so a truncated
// JPEG is never read past its last byte.
#ifndef QUILLOMAT_PREVIEW_JPEGMEMORYSOURCE_H
#define QUILLOMAT_PREVIEW_JPEGMEMORYSOURCE_H

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

class JpegMemorySource
{
public:
    JpegMemorySource(const unsigned char *data, std::size_t length);
    JpegMemorySource(const JpegMemorySource &) = delete;
    JpegMemorySource &operator=(const JpegMemorySource &) = delete;

    // Installs this source in `info`; it must outlive the decompression.
    void attach(jpeg_decompress_struct &info);

private:
    static void initSource(j_decompress_ptr info);
    static boolean fillInputBuffer(j_decompress_ptr info);
    static void skipInputData(j_decompress_ptr info, long count);
    static void termSource(j_decompress_ptr info);

    jpeg_source_mgr m_manager{};
    const unsigned char *m_data;
    std::size_t m_length;
};

#endif
