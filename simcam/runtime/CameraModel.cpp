#include "CameraModel.h"

namespace simcam {

ImageSize CameraModel::sizeFor(uint8_t sizeCode) const
{
    switch (sizeCode) {
    case 1: return hasMediumSize ? medium : large;
    case 2: return small;
    default: return large;
    }
}

bool CameraModel::offersSize(uint8_t sizeCode) const
{
    return sizeCode == 0 || sizeCode == 2 || (sizeCode == 1 && hasMediumSize);
}

CameraModel CameraModel::byName(const std::string &name)
{
    CameraModel model;
    model.name = name;
    if (name == "EOS D30") {
        model.modelId = 0x01140000;
        model.hasParameterSets = true;
        model.large = {2160, 1440};
        model.medium = model.large;
        model.small = {1080, 720};
        model.firmware = "1.0.6";
        model.serialNumber = (0x45u << 16) | 12345u;
        model.usbProduct = 0x3044;
        return model;
    }
    model.isD60 = true;
    model.hasMediumSize = true;
    model.large = {3072, 2048};
    model.medium = {2048, 1360};
    model.small = {1536, 1024};
    model.firmware = "1.0.3";
    model.serialNumber = 560104321u;
    if (name == "EOS D60")
        model.modelId = 0x01168000;
    else if (name == "EOS 10D")
        model.usbProduct = 0x3083;
    else if (name == "EOS-1D")
        model.modelId = 0x01100000;
    else if (name == "PowerShot G2")
        model.modelId = 0x01110000;
    else
        model.modelId = 0x01FF0000;
    return model;
}

} // namespace simcam
