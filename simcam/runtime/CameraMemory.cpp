#include "CameraMemory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace simcam {
namespace {

// Each remembered field once, by name, with its place in the state.
struct Field {
    const char *name;
    uint16_t CameraState::*wide;
    uint8_t CameraState::*narrow;
};

constexpr Field kFields[] = {
    {"quality", nullptr, &CameraState::quality},
    {"imagetype", nullptr, &CameraState::imageType},
    {"imagesize", nullptr, &CameraState::imageSize},
    {"beep", nullptr, &CameraState::beep},
    {"exposuremode", nullptr, &CameraState::exposureMode},
    {"imagezone", nullptr, &CameraState::imageZone},
    {"drive", nullptr, &CameraState::drive},
    {"metering", nullptr, &CameraState::metering},
    {"afpoint", &CameraState::afPoint, nullptr},
    {"whitebalance", nullptr, &CameraState::whiteBalance},
    {"afmode", nullptr, &CameraState::afMode},
    {"parameterset", &CameraState::parameterSet, nullptr},
    {"iso", &CameraState::iso, nullptr},
    {"av", &CameraState::av, nullptr},
    {"tv", &CameraState::tv, nullptr},
    {"exposurecompensation", nullptr, &CameraState::exposureCompensation},
    {"flashcompensation", nullptr, &CameraState::flashCompensation},
};

} // namespace

std::string CameraMemory::pathBeside(const std::string &cardRoot)
{
    return cardRoot + ".settings";
}

bool CameraMemory::save(const std::string &path, std::string *error) const
{
    std::ostringstream text;
    for (const Field &field : kFields)
        text << field.name << '=' << (field.wide ? unsigned{state.*field.wide} : unsigned{state.*field.narrow})
             << '\n';
    for (size_t i = 1; i < state.customFunctions.size(); ++i)
        text << "cfn" << i << '=' << unsigned{state.customFunctions[i]} << '\n';
    text << "clockoffset=" << clockOffset << '\n' << "owner=" << owner << '\n';

    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text.str();
        if (!out.flush()) {
            if (error)
                *error = temporary + ": " + std::strerror(errno);
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

void CameraMemory::restore(const std::string &path, SimConfig &config)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "owner") {
            config.owner = value.substr(0, 31);
            continue;
        }
        char *end = nullptr;
        const long long number = std::strtoll(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0')
            continue;
        if (key == "clockoffset") {
            config.clockOffset = number;
            continue;
        }
        if (key.rfind("cfn", 0) == 0) {
            const long index = std::strtol(key.c_str() + 3, &end, 10);
            if (*end == '\0' && index >= 1 && index < static_cast<long>(config.state.customFunctions.size()) &&
                number >= 0 && number <= 0xFF)
                config.state.customFunctions[static_cast<size_t>(index)] = static_cast<uint8_t>(number);
            continue;
        }
        for (const Field &field : kFields) {
            if (key != field.name || number < 0 || number > (field.wide ? 0xFFFF : 0xFF))
                continue;
            if (field.wide)
                config.state.*field.wide = static_cast<uint16_t>(number);
            else
                config.state.*field.narrow = static_cast<uint8_t>(number);
        }
    }
}

bool CameraMemory::operator==(const CameraMemory &other) const
{
    return state.blockBytes() == other.state.blockBytes() && state.customFunctions == other.state.customFunctions &&
           owner == other.owner && clockOffset == other.clockOffset;
}

} // namespace simcam
