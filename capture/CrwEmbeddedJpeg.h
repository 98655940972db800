// Finds the full-size JPEG a CRW (CIFF) raw file carries in its root
// directory, straight from the received bytes. Every offset and size is
// checked against the data: an entry that points outside it is skipped,
// and a header or directory outside it yields nothing.
#ifndef QUILLOMAT_CAPTURE_CRWEMBEDDEDJPEG_H
#define QUILLOMAT_CAPTURE_CRWEMBEDDEDJPEG_H

#include <cstdint>
#include <span>
#include <vector>

// The tag of the root-directory entry holding the embedded JPEG.
constexpr uint16_t kCrwEmbeddedJpegTag = 0x2007;

// Every root-directory entry with that tag, in directory order.
std::vector<std::span<const uint8_t>> crwEmbeddedJpegs(std::span<const uint8_t> data);

#endif
