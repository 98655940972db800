// The shooting information of one image, decoded from the EXIF block and the
// Canon maker note of a JPEG (or of the THM beside a raw CRW file).
//
// Every number starts at 0 and every text empty; whatever a file does not
// hold stays that way. Building never fails and never throws: a malformed
// or truncated file leaves the fields decoded before the fault.
#ifndef QUILLOMAT_IMAGEINFO_IMAGEINFO_H
#define QUILLOMAT_IMAGEINFO_IMAGEINFO_H

#include <cstddef>
#include <cstdint>
#include <string>

class ImageInfo {
public:
    ImageInfo() = default;
    // From a saved file: a JPEG, a THM, or a CRW (whose THM is read, and whose
    // own comment replaces the THM's). A missing file leaves the record empty.
    explicit ImageInfo(const std::string &path);
    // From JPEG bytes in memory; the caller keeps the bytes.
    ImageInfo(const uint8_t *data, size_t length);

    int32_t m_dataLength = 0;           // length of the bytes parsed; 0 when none are attached
    double m_selfTimer = 0;             // seconds
    double m_focalLength = 0;           // mm
    double m_lensLongEnd = 0;           // mm
    double m_lensShortEnd = 0;          // mm
    double m_subjectDistance = 0;       // metres
    double m_aperture = 0;              // f-number
    double m_exposureTime = 0;          // seconds
    double m_exposureCompensation = 0;  // EV
    double m_flashExposureCompensation = 0; // EV
    std::string m_dateTime;
    std::string m_model;
    std::string m_make;
    std::string m_serialNumber;
    std::string m_firmware;
    std::string m_meteringMode;
    std::string m_owner;
    std::string m_flash;
    std::string m_driveMode;
    std::string m_afMode;
    std::string m_quality;
    std::string m_contrast;
    std::string m_saturation;
    std::string m_sharpness;
    std::string m_tone;
    std::string m_iso;
    std::string m_exposureMode;
    std::string m_whiteBalance;
    std::string m_focusPoint;
    std::string m_customFunctions;
    std::string m_userComment;
    int32_t m_imageWidth = 0;
    int32_t m_imageHeight = 0;
    bool m_littleEndian = false;        // byte order of the last TIFF block parsed

private:
    void parseJpeg(const uint8_t *data, size_t length);
};

// Size taken for the raw image of a raw shot, whose THM only carries the
// thumbnail's size.
constexpr int32_t RAW_IMAGE_WIDTH = 2160;
constexpr int32_t RAW_IMAGE_HEIGHT = 1440;
constexpr int32_t RAW_IMAGE_WIDTH_D60 = 3072;
constexpr int32_t RAW_IMAGE_HEIGHT_D60 = 2048;

#endif
