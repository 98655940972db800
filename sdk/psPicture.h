// psCPicture: one picture of an image file, with the files that make it up
// (a JPEG alone; a CRW with the THM beside it) and its property list.
//
// The properties are read from the main file through the parse library on
// first use and again after every successful change.
#ifndef QUILLOMAT_SDK_PSPICTURE_H
#define QUILLOMAT_SDK_PSPICTURE_H

#include "psPictureProps.h"

#include <cstdint>
#include <string>
#include <vector>

class psCPicture {
public:
    psCPicture(std::string mainFile, std::vector<std::string> otherFiles);
    psCPicture(const psCPicture &) = delete;
    psCPicture &operator=(const psCPicture &) = delete;

    const std::string &mainFile() const { return m_mainFile; }
    const std::vector<std::string> &otherFiles() const { return m_otherFiles; }

    // Loads the property list if it is not loaded (or stale); false when the
    // file cannot be parsed. Never raises.
    bool loadProperties();
    // Property `number` into buffer (at most size bytes); returns its length.
    // Raises hlsdk PROPERTIES_NOT_LOADED without a property list and
    // PROPERTIES_UNAVAILABLE when the picture has no such property.
    uint32_t getProperty(uint16_t number, void *buffer, uint32_t size);
    // Writes property `number` into the main file and then into each other
    // file; raises the word of the last write made when it is not 0.
    void setProperty(uint16_t number, const void *data, uint32_t length);

private:
    std::string m_mainFile;
    std::vector<std::string> m_otherFiles;
    psCPictureProperties m_properties;
    bool m_loaded = false;
};

#endif
