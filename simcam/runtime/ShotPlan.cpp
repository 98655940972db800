#include "ShotPlan.h"

#include <cstdio>
#include <ctime>

namespace simcam {

std::string ShotPlan::fileName() const
{
    char name[16];
    std::snprintf(name, sizeof name, isRaw() ? "CRW_%04u.CRW" : "IMG_%04u.JPG", fileNumber % 10000);
    return name;
}

std::string ShotPlan::thumbnailFileName() const
{
    char name[16];
    std::snprintf(name, sizeof name, isRaw() ? "CRW_%04u.THM" : "IMG_%04u.THM", fileNumber % 10000);
    return name;
}

std::string ShotPlan::dateTime() const
{
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &parts);
    return text;
}

uint64_t ShotPlan::seed() const
{
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](uint64_t value) {
        hash ^= value;
        hash *= 1099511628211ull;
    };
    for (char c : state.model.name)
        mix(static_cast<uint8_t>(c));
    mix(fileNumber);
    mix(static_cast<uint64_t>(unixTime));
    for (uint8_t byte : state.blockBytes())
        mix(byte);
    return hash;
}

} // namespace simcam
