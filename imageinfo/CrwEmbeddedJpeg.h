// Finds the full-size JPEG a CRW (CIFF) raw file carries in its root
// directory, straight from the received bytes. Every offset and size is
// checked against the data: an entry that points outside it is skipped,
// and a header or directory outside it yields nothing.
#ifndef QUILLOMAT_IMAGEINFO_CRWEMBEDDEDJPEG_H
#define QUILLOMAT_IMAGEINFO_CRWEMBEDDEDJPEG_H

#include <cstdint>
#include <span>
#include <vector>

// Every root-directory entry with the embedded-JPEG tag, in directory order.
std::vector<std::span<const uint8_t>> crwEmbeddedJpegs(std::span<const uint8_t> data);

#endif
