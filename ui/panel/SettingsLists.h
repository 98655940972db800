// The camera settings panel's lists as plain data: the fixed lists with the
// camera's code of each entry, the lists that depend on the camera model, the
// step tables of apertures, shutter speeds and compensation for both increment
// modes, the lists shown before a camera is connected, and the exposure-mode
// names. The panel's widgets are filled from these.
#ifndef QUILLOMAT_UI_PANEL_SETTINGSLISTS_H
#define QUILLOMAT_UI_PANEL_SETTINGSLISTS_H

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

enum class CameraModelKind { D30, D60 };
enum class IncrementMode { HalfStop, ThirdStop };

struct ListEntry {
    QString text;
    std::optional<uint32_t> value;  // the camera's code; none for lists that carry no item values

    bool operator==(const ListEntry &) const = default;
};
using ListEntries = std::vector<ListEntry>;

namespace SettingsLists {

ListEntries whiteBalance();
ListEntries meteringMode();
ListEntries driveMode();
ListEntries afPoint();
ListEntries afMode();
ListEntries storeImagesOn();  // "PC only", "PC + CF", "CF only", no values
ListEntries iso(CameraModelKind model);
ListEntries sizeQuality(CameraModelKind model);  // values 0..4 (D30) / 0..6 (D60)
ListEntries startupCompensation();               // "-2" ... "+2", 13 entries, no values
ListEntries startupAperture();                   // "Auto", "2.0" ... "8.0", no values
ListEntries apertures(IncrementMode mode);       // 28 / 41, "Auto" 0xFFFF last
ListEntries shutterSpeeds(IncrementMode mode);   // 37 / 54, "Bulb" 0x04 first, "Auto" 0xFFFF last
ListEntries compensation(IncrementMode mode);    // 13 / 19, "+3" 0x00 first ... "-3" 0x30

// Name of the camera's exposure mode (block byte 8); mode 0 is an image-zone
// mode named by `imageZoneMode` (byte 9). Unknown codes give "???".
QString exposureModeName(uint8_t exposureMode, uint8_t imageZoneMode);

}  // namespace SettingsLists

// Block bytes (quality, image type, size) of a Size/Quality position for the
// model, and the position the camera's bytes show.
struct SizeQualityBytes {
    uint8_t quality;
    uint8_t imageType;
    uint8_t size;

    bool operator==(const SizeQualityBytes &) const = default;
};
// None for a position outside the model's list.
std::optional<SizeQualityBytes> sizeQualityBytes(CameraModelKind model, int position);
// The list position for the quality byte (offset 1) and size byte (offset 3).
int sizeQualityPosition(CameraModelKind model, uint8_t quality, uint8_t size);

#endif
