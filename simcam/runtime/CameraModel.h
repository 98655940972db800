// The camera models the simulated runtime can be: what differs between them.
#ifndef QUILLOMAT_SIMCAM_CAMERAMODEL_H
#define QUILLOMAT_SIMCAM_CAMERAMODEL_H

#include <cstdint>
#include <string>

namespace simcam {

struct ImageSize {
    int width = 0;
    int height = 0;
};

struct CameraModel {
    std::string name;              // as the camera reports it, e.g. "EOS D60"
    uint32_t modelId = 0;
    bool isD60 = false;            // D60 numbering, ISO 1000, medium size
    bool hasMediumSize = false;
    bool hasParameterSets = false; // the D30's three parameter sets
    ImageSize large;
    ImageSize medium;
    ImageSize small;
    std::string firmware;          // "1.0.3"
    uint32_t serialNumber = 0;
    uint16_t usbProduct = 0x3060;  // with Canon's vendor id 0x04a9

    // "Canon EOS D60": the EXIF Model text.
    std::string exifModel() const { return "Canon " + name; }
    ImageSize sizeFor(uint8_t sizeCode) const;
    // The size code is one this model records.
    bool offersSize(uint8_t sizeCode) const;

    // A model by name: the EOS D30 and D60 with their own data; any other name
    // (the program refuses those) behaves like a D60 under its own name.
    static CameraModel byName(const std::string &name);
};

} // namespace simcam

#endif
