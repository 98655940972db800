// The file-format constants shared by the readers and writers of JPEG, EXIF
// (TIFF) and CRW (CIFF) files, named once.
#ifndef QUILLOMAT_SDK_PSIMAGEFORMAT_H
#define QUILLOMAT_SDK_PSIMAGEFORMAT_H

#include <cstdint>

// JPEG markers: each is the prefix byte followed by one of these.
inline constexpr uint8_t kJpegMarkerPrefix = 0xFF;
inline constexpr uint8_t kJpegSoi = 0xD8;   // start of image
inline constexpr uint8_t kJpegEoi = 0xD9;   // end of image
inline constexpr uint8_t kJpegSos = 0xDA;   // start of scan: entropy-coded data follows
inline constexpr uint8_t kJpegApp1 = 0xE1;  // holds the EXIF data

// TIFF / EXIF.
inline constexpr uint16_t kTiffMagic = 42;       // follows the byte-order mark
inline constexpr uint32_t kTiffEntrySize = 12;   // bytes of one directory entry
// Field types.
inline constexpr uint16_t kTiffByte = 1;
inline constexpr uint16_t kTiffAscii = 2;
inline constexpr uint16_t kTiffShort = 3;
inline constexpr uint16_t kTiffLong = 4;
inline constexpr uint16_t kTiffRational = 5;
inline constexpr uint16_t kTiffUndefined = 7;
inline constexpr uint16_t kTiffSShort = 8;
inline constexpr uint16_t kTiffSRational = 10;
// Tags.
inline constexpr uint16_t kTiffTagOrientation = 0x0112;
inline constexpr uint16_t kTiffTagExifIfd = 0x8769;     // offset of the EXIF directory
inline constexpr uint16_t kExifTagMakerNote = 0x927C;
inline constexpr uint16_t kExifTagUserComment = 0x9286;

// CIFF (CRW): a heap is records of 10 bytes (tag, data size, data offset).
inline constexpr uint32_t kCiffRecordSize = 10;
inline constexpr uint64_t kCiffHeaderLengthOffset = 2;  // after the byte-order mark
// Tag bits 14-15 give where the data is (0x4000: in the record itself),
// bits 11-13 its type, bits 0-13 its identity.
inline constexpr uint16_t kCiffLocationMask = 0xC000;
inline constexpr uint16_t kCiffInRecord = 0x4000;
inline constexpr uint16_t kCiffTypeMask = 0x3800;
inline constexpr uint16_t kCiffIdMask = 0x3FFF;
// Types.
inline constexpr uint16_t kCiffAscii = 0x0800;
inline constexpr uint16_t kCiffShorts = 0x1000;
inline constexpr uint16_t kCiffLongs = 0x1800;
inline constexpr uint16_t kCiffMixed = 0x2000;
inline constexpr uint16_t kCiffSubHeapA = 0x2800;  // both hold a sub-heap
inline constexpr uint16_t kCiffSubHeapB = 0x3000;
// Tags.
inline constexpr uint16_t kCiffTagUserComment = 0x0805;  // also the description inside 0x2804
inline constexpr uint16_t kCiffTagImageInfo = 0x1810;
inline constexpr uint16_t kCiffTagRawData = 0x2005;
inline constexpr uint16_t kCiffTagJpeg = 0x2007;         // the embedded full-size JPEG
inline constexpr uint16_t kCiffTagImageDescription = 0x2804;
inline constexpr uint16_t kCiffTagImageProps = 0x300A;

#endif
