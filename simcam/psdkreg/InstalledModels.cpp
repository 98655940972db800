#include "InstalledModels.h"

#include <cstdlib>
#include <fstream>

namespace psdkreg {
namespace {

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::string registrationRecordPath()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config)
        base = config;
    else if (const char *home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        return {};
    return base + "/psdk-runtime/registration";
}

std::vector<InstalledModel> installedModels()
{
    static const std::vector<InstalledModel> kBuiltIn = {
        {0x01140000, "EOS D30"},      {0x01168000, "EOS D60"},        {0x01100000, "EOS-1D"},
        {0x01110000, "PowerShot G2"}, {0x01090000, "PowerShot Pro90 IS"}, {0x01030000, "PowerShot 350"},
    };
    const std::string path = registrationRecordPath();
    std::ifstream in(path);
    if (path.empty() || !in)
        return kBuiltIn;
    std::vector<InstalledModel> models;
    std::string line;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#' || t.rfind("model=", 0) != 0)
            continue;
        const std::string value = t.substr(6);
        const auto blank = value.find(' ');
        if (blank == std::string::npos)
            continue;
        const std::string idText = value.substr(0, blank);
        char *end = nullptr;
        const unsigned long id = std::strtoul(idText.c_str(), &end, 16);
        const std::string name = trim(value.substr(blank + 1));
        if (id == 0 || name.empty() || *end != '\0')
            continue;
        models.push_back({static_cast<uint32_t>(id), name});
    }
    return models;
}

} // namespace psdkreg
