// The camera's CF card as a folder on disk: DCIM/100CANON holds IMG_nnnn.JPG,
// or CRW_nnnn.CRW with its CRW_nnnn.THM, as the camera writes them. The small
// thumbnail the camera keeps of each JPEG lives beside the card
// (<card>.thumbnails), since a JPEG of this camera carries none of its own.
#ifndef QUILLOMAT_SIMCAM_CARDFOLDER_H
#define QUILLOMAT_SIMCAM_CARDFOLDER_H

#include "ShotImages.h"
#include "ShotPlan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simcam {

class CardFolder {
public:
    struct Entry {
        std::string name;     // "IMG_0001.JPG", or a folder's name
        bool isFolder = false;
        uint64_t size = 0;
        int64_t modified = 0; // seconds, the file's time
    };

    explicit CardFolder(std::string root);

    // The per-user default: $XDG_DATA_HOME/quillomat-simcam/card.
    static std::string defaultRoot();

    const std::string &root() const { return m_root; }
    // Creates the card's folders; false with the reason when it cannot.
    bool prepare(std::string *error);

    // The number after the highest IMG_/CRW_ number on the card (1 on an empty card).
    uint32_t nextFileNumber() const;
    // Writes the shot's files (never replacing one); the file names written.
    bool store(const ShotPlan &plan, const ShotImages &images, std::vector<std::string> *written,
               std::string *error);

    // Paths are relative to the card, with '/' between parts ("DCIM/100CANON").
    std::optional<std::vector<Entry>> list(const std::string &folder) const;
    std::optional<std::vector<uint8_t>> read(const std::string &file) const;
    std::optional<std::vector<uint8_t>> thumbnailOf(const std::string &file) const;
    bool remove(const std::string &file);
    uint64_t bytesUsed() const;

    // A relative card path from the camera's own form ("D:\DCIM\100CANON"),
    // or nothing when it leaves the card or names something odd.
    static std::optional<std::string> fromCameraPath(const std::string &cameraPath);

private:
    std::string absolute(const std::string &relative) const;
    std::string thumbnailPath(const std::string &file) const;

    std::string m_root;
};

} // namespace simcam

#endif
