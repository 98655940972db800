// One libjpeg decompression of JPEG bytes in memory, always producing B, G, R
// pixels (grey images are expanded to three equal channels).
//
// libjpeg reports errors through a callback that must not return. The error
// manager here formats the message and longjmps back into the method that made
// the library call; every method sets its own jump point and keeps no objects
// with destructors alive across the library calls, so nothing is skipped when
// a decode is abandoned. The first warning aborts too: a damaged or truncated
// image is refused rather than shown half grey. After a failure the object only
// reports its error; the destructor releases everything.
#ifndef QUILLOMAT_PREVIEW_JPEGDECOMPRESSOR_H
#define QUILLOMAT_PREVIEW_JPEGDECOMPRESSOR_H

#include "JpegMemorySource.h"

#include <QString>

#include <csetjmp>
#include <cstddef>

#include <jpeglib.h>

class JpegDecompressor
{
public:
    JpegDecompressor(const unsigned char *data, std::size_t length);
    ~JpegDecompressor();
    JpegDecompressor(const JpegDecompressor &) = delete;
    JpegDecompressor &operator=(const JpegDecompressor &) = delete;

    // Reads the header and refuses images the program cannot show.
    bool readHeader();
    int imageWidth() const { return int(m_info.image_width); }
    int imageHeight() const { return int(m_info.image_height); }

    // DCT scaling 1/denominator; the output size is libjpeg's (rounded up).
    bool setScale(unsigned denominator);
    int outputWidth() const { return int(m_info.output_width); }
    int outputHeight() const { return int(m_info.output_height); }

    bool start();
    // Reads up to `count` rows into `rows`; returns the number read, or -1 on error.
    int readRows(unsigned char **rows, int count);
    int rowsRead() const { return int(m_info.output_scanline); }
    bool finish();

    const QString &errorText() const { return m_error; }

private:
    struct ErrorManager
    {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
        char message[JMSG_LENGTH_MAX];
    };

    static void outputMessage(j_common_ptr info);
    static void errorExit(j_common_ptr info);
    static void progress(j_common_ptr info);
    bool failed();
    bool fail(const char *text);

    jpeg_decompress_struct m_info{};
    ErrorManager m_errorManager{};
    jpeg_progress_mgr m_progress{};
    JpegMemorySource m_source;
    bool m_created = false;
    bool m_usable = true;
    QString m_error;
};

#endif
