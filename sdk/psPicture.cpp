#include "psPicture.h"

#include "psError.h"
#include "psLLAPI.h"

namespace {

const char *const kFile = "PSPICT";

} // namespace

psCPicture::psCPicture(std::string mainFile, std::vector<std::string> otherFiles)
    : m_mainFile(std::move(mainFile)), m_otherFiles(std::move(otherFiles))
{
}

bool psCPicture::loadProperties()
{
    if (m_loaded)
        return true;
    uint32_t length = 0;
    psResult result = PSParseReadProperties(m_mainFile.c_str(), nullptr, 0, &length);
    if (result != 0 && psErrorCode(result) != psERR_INVALID_LENGTH)
        return false;
    std::vector<uint8_t> records(length);
    uint32_t read = 0;
    result = PSParseReadProperties(m_mainFile.c_str(), records.data(), length, &read);
    if (result != 0 || read != length)
        return false;
    m_properties = psCPictureProperties(std::move(records));
    m_loaded = true;
    return true;
}

uint32_t psCPicture::getProperty(uint16_t number, void *buffer, uint32_t size)
{
    if (!loadProperties())
        throw psCPropException(psMakeError(psCOMPONENT_HLSDK, psERR_PROPERTIES_NOT_LOADED), kFile, __LINE__);
    return m_properties.get(number, buffer, size);
}

void psCPicture::setProperty(uint16_t number, const void *data, uint32_t length)
{
    const std::vector<uint8_t> record = psCPictureProperties::makeRecord(number, data, length);
    const void *recordAddress = record.data();
    psResult result = PSParseReplaceProperties(m_mainFile.c_str(), 0, 0, 0, &recordAddress);
    if (result == 0) {
        for (const std::string &file : m_otherFiles) {
            result = PSParseReplaceProperties(file.c_str(), 0, 0, 0, &recordAddress);
            if (result != 0)
                break;
        }
    }
    // The file may have changed even when a later file failed.
    m_loaded = false;
    psRaiseIfError(result, kFile, __LINE__);
}
