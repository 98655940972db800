#include "SimConfig.h"

#include "ExposureTables.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <unistd.h>
#include <utility>
#include <vector>

namespace simcam {
namespace {

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool fail(std::string *error, const std::string &text)
{
    if (error)
        *error = text;
    return false;
}

std::optional<long> parseNumber(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0')
        return std::nullopt;
    return value;
}

std::optional<bool> parseBool(const std::string &text)
{
    const std::string t = lower(text);
    if (t == "1" || t == "on" || t == "yes" || t == "true")
        return true;
    if (t == "0" || t == "off" || t == "no" || t == "false")
        return false;
    return std::nullopt;
}

template <typename T>
std::optional<T> lookup(const std::vector<std::pair<const char *, T>> &names, const std::string &text)
{
    const std::string t = lower(text);
    for (const auto &[name, value] : names)
        if (t == name)
            return value;
    return std::nullopt;
}

// (exposure mode, image-zone mode)
const std::vector<std::pair<const char *, std::pair<uint8_t, uint8_t>>> kModes = {
    {"p", {ModeProgram, 0}}, {"program", {ModeProgram, 0}}, {"tv", {ModeTv, 0}}, {"av", {ModeAv, 0}},
    {"m", {ModeManual, 0}}, {"manual", {ModeManual, 0}}, {"a-dep", {ModeDepth, 0}}, {"dep", {ModeDepth, 0}},
    {"auto", {ModeImageZone, 0}}, {"landscape", {ModeImageZone, 2}}, {"night", {ModeImageZone, 5}},
    {"portrait", {ModeImageZone, 8}}, {"sports", {ModeImageZone, 9}}, {"close-up", {ModeImageZone, 10}},
    {"macro", {ModeImageZone, 10}},
};

// (quality, type, size)
struct QualityBytes {
    uint8_t quality, type, size;
};
const std::vector<std::pair<const char *, QualityBytes>> kQualities = {
    {"raw", {4, 2, 0}}, {"large/fine", {3, 1, 0}}, {"large/normal", {2, 1, 0}},
    {"medium/fine", {3, 1, 1}}, {"medium/normal", {2, 1, 1}}, {"small/fine", {3, 1, 2}},
    {"small/normal", {2, 1, 2}},
};

const std::vector<std::pair<const char *, uint8_t>> kWhiteBalances = {
    {"auto", 0}, {"daylight", 1}, {"cloudy", 2}, {"tungsten", 3}, {"fluorescent", 4}, {"flash", 5}, {"custom", 6},
};
const std::vector<std::pair<const char *, uint8_t>> kMeterings = {
    {"evaluative", 3}, {"partial", 4}, {"center", 5}, {"centre", 5}, {"center-weighted", 5},
};
const std::vector<std::pair<const char *, uint8_t>> kDrives = {
    {"single", 0}, {"continuous", 1}, {"self-timer", 2},
};
const std::vector<std::pair<const char *, uint8_t>> kAfModes = {
    {"one-shot", 0}, {"ai-servo", 1}, {"ai-focus", 2}, {"manual", 3},
};
const std::vector<std::pair<const char *, uint16_t>> kAfPoints = {
    {"none", 0x3000}, {"auto", 0x3001}, {"right", 0x3002}, {"center", 0x3003}, {"centre", 0x3003}, {"left", 0x3004},
};
const std::vector<std::pair<const char *, FlashUse>> kFlashes = {
    {"off", FlashOff}, {"on", FlashBuiltIn}, {"built-in", FlashBuiltIn}, {"external", FlashExternal},
};

// "28-135" or "50"
bool parseRange(const std::string &text, long &low, long &high)
{
    const auto dash = text.find('-');
    const auto a = parseNumber(trim(text.substr(0, dash)));
    const auto b = dash == std::string::npos ? a : parseNumber(trim(text.substr(dash + 1)));
    if (!a || !b || *a <= 0 || *b < *a)
        return false;
    low = *a;
    high = *b;
    return true;
}

bool applyCustomFunctions(CameraState &state, const std::string &text, std::string *error)
{
    // "1:1,3:1"
    size_t start = 0;
    while (start < text.size()) {
        const size_t comma = text.find(',', start);
        const std::string item = trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        const auto colon = item.find(':');
        const auto number = colon == std::string::npos ? std::nullopt : parseNumber(item.substr(0, colon));
        const auto value = colon == std::string::npos ? std::nullopt : parseNumber(item.substr(colon + 1));
        if (!number || !value || *number < 1 || *number > 15 || *value < 0 || *value > 3)
            return fail(error, "bad custom function '" + item + "' (n:v, n 1 to 15, v 0 to 3)");
        state.customFunctions[static_cast<size_t>(*number)] = static_cast<uint8_t>(*value);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

bool applyParameterSet(CameraState &state, int number, const std::string &text, std::string *error)
{
    // "contrast,sharpness,saturation,tone" or "none"
    ParameterSet set;
    if (lower(text) != "none") {
        long values[4] = {};
        size_t start = 0;
        for (int i = 0; i < 4; ++i) {
            const size_t comma = text.find(',', start);
            const auto value = parseNumber(trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
            if (!value || *value < -2 || *value > 2 || (comma == std::string::npos && i < 3))
                return fail(error, "bad parameter set '" + text + "' (contrast,sharpness,saturation,tone from -2 to 2)");
            values[i] = *value;
            start = comma + 1;
        }
        set = {true, static_cast<int32_t>(values[0]), static_cast<int32_t>(values[1]),
               static_cast<int32_t>(values[2]), static_cast<int32_t>(values[3])};
    }
    state.parameterSets[static_cast<size_t>(number)] = set;
    return true;
}

} // namespace

bool setCameraValue(CameraState &s, const std::string &rawKey, const std::string &rawValue,
                    bool checked, std::string *error)
{
    const std::string key = lower(trim(rawKey));
    const std::string value = trim(rawValue);
    auto refused = [&]() { return fail(error, "the camera does not offer " + key + " " + value + " now"); };
    auto unknown = [&]() { return fail(error, "bad value '" + value + "' for " + key); };

    if (key == "mode") {
        const auto mode = lookup(kModes, value);
        if (!mode)
            return unknown();
        s.exposureMode = mode->first;
        s.imageZone = mode->second;
        return true;
    }
    if (key == "tv") {
        const auto code = parseShutter(value);
        if (!code)
            return unknown();
        if (checked)
            return s.setTv(*code) && s.tv == *code ? true : refused();
        s.tv = *code;
        return true;
    }
    if (key == "av") {
        const auto code = parseAperture(value);
        if (!code)
            return unknown();
        if (checked)
            return s.setAv(*code) && s.av == *code ? true : refused();
        s.av = *code;
        return true;
    }
    if (key == "iso") {
        const auto speed = parseNumber(value);
        const auto code = speed ? isoCode(static_cast<int>(*speed), s.model.isD60) : std::nullopt;
        if (!code)
            return unknown();
        if (checked)
            return s.setIso(*code) && s.iso == *code ? true : refused();
        s.iso = *code;
        return true;
    }
    if (key == "quality") {
        const auto q = lookup(kQualities, value);
        if (!q)
            return unknown();
        if (checked || !s.model.offersSize(q->size))
            return s.setQuality(q->quality, q->type, q->size) && s.quality == q->quality &&
                           s.imageSize == q->size && s.imageType == q->type
                       ? true
                       : refused();
        s.quality = q->quality;
        s.imageType = q->type;
        s.imageSize = q->size;
        return true;
    }
    if (key == "ev" || key == "flashcomp") {
        const auto code = parseCompensation(value);
        if (!code)
            return unknown();
        uint8_t &field = key == "ev" ? s.exposureCompensation : s.flashCompensation;
        if (checked) {
            const bool ok = key == "ev" ? s.setExposureCompensation(*code) : s.setFlashCompensation(*code);
            return ok && field == *code ? true : refused();
        }
        field = *code;
        return true;
    }
    auto byteSetting = [&](const auto &names, uint8_t &field, bool (CameraState::*setter)(uint8_t)) {
        const auto v = lookup(names, value);
        if (!v)
            return unknown();
        if (checked)
            return (s.*setter)(*v) && field == *v ? true : refused();
        field = *v;
        return true;
    };
    if (key == "wb")
        return byteSetting(kWhiteBalances, s.whiteBalance, &CameraState::setWhiteBalance);
    if (key == "metering")
        return byteSetting(kMeterings, s.metering, &CameraState::setMetering);
    if (key == "drive")
        return byteSetting(kDrives, s.drive, &CameraState::setDrive);
    if (key == "af")
        return byteSetting(kAfModes, s.afMode, &CameraState::setAfMode);
    if (key == "afpoint") {
        const auto v = lookup(kAfPoints, value);
        if (!v)
            return unknown();
        if (checked)
            return s.setAfPoint(*v) && s.afPoint == *v ? true : refused();
        s.afPoint = *v;
        return true;
    }
    if (key == "pset") {
        const auto v = parseNumber(value);
        if (!v || *v < 0 || *v > 3)
            return unknown();
        if (checked || *v > 0)
            return s.setParameterSet(static_cast<uint16_t>(*v)) && s.parameterSet == *v ? true : refused();
        s.parameterSet = 0;
        return true;
    }
    if (key == "pset1" || key == "pset2" || key == "pset3")
        return applyParameterSet(s, key[4] - '0', value, error);
    if (key == "beep") {
        const auto v = parseBool(value);
        if (!v)
            return unknown();
        s.beep = *v ? 1 : 0;
        return true;
    }
    if (key == "increments") {
        const std::string v = lower(value);
        if (v != "half" && v != "third")
            return unknown();
        s.customFunctions[4] = v == "third" ? 1 : 0;
        return true;
    }
    if (key == "mirror") {
        const auto v = parseBool(value);
        if (!v)
            return unknown();
        s.customFunctions[3] = *v ? 1 : 0;
        return true;
    }
    if (key == "cfn")
        return applyCustomFunctions(s, value, error);
    if (key == "lens") {
        long low = 0, high = 0;
        if (!parseRange(value, low, high) || high > 2000)
            return unknown();
        s.focalShort = static_cast<uint16_t>(low);
        s.focalLong = static_cast<uint16_t>(high);
        s.focalUnit = 1;
        s.focalLength = static_cast<uint16_t>(std::clamp<long>(s.focalLength, low, high));
        return true;
    }
    if (key == "focal") {
        const auto v = parseNumber(value);
        if (!v || *v < s.focalShort || *v > s.focalLong)
            return unknown();
        s.focalLength = static_cast<uint16_t>(*v);
        return true;
    }
    if (key == "aperture") {
        const auto dash = value.find('-');
        const auto low = dash == std::string::npos ? std::nullopt : parseAperture(value.substr(0, dash));
        const auto high = dash == std::string::npos ? std::nullopt : parseAperture(value.substr(dash + 1));
        if (!low || !high || *high < *low)
            return unknown();
        s.apertureMin = *low;
        s.apertureMax = *high;
        return true;
    }
    if (key == "flash") {
        const auto v = lookup(kFlashes, value);
        if (!v)
            return unknown();
        s.flash = *v;
        return true;
    }
    if (key == "distance") {
        char *end = nullptr;
        const double metres = std::strtod(value.c_str(), &end);
        if (end == value.c_str() || *end != '\0' || metres <= 0 || metres > 600)
            return unknown();
        s.subjectDistanceCm = static_cast<uint16_t>(metres * 100 + 0.5);
        return true;
    }
    return fail(error, "unknown setting '" + key + "'");
}

SimConfig SimConfig::forModel(const std::string &model)
{
    SimConfig config;
    config.state.model = CameraModel::byName(model);
    if (config.state.model.hasParameterSets) {
        config.state.parameterSets[1] = {true, 1, 1, 1, 0};
        config.state.parameterSets[2] = {true, -1, 0, 1, 0};
    }
    return config;
}

bool SimConfig::applyKey(const std::string &rawKey, const std::string &value, std::string *error)
{
    const std::string key = lower(trim(rawKey));
    auto bad = [&]() { return fail(error, "bad value '" + value + "' for " + key); };
    if (key == "model") {
        // A new model starts from that model's defaults, keeping the rest.
        const SimConfig fresh = forModel(trim(value));
        const CameraState old = state;
        state.model = fresh.state.model;
        state.parameterSets = fresh.state.parameterSets;
        if (!state.model.offersSize(state.imageSize))
            state.imageSize = 0;
        if (isoSpeed(old.iso, state.model.isD60) == 0)
            state.iso = 0x48;
        return true;
    }
    if (key == "attached") {
        const auto v = parseBool(value);
        return v ? (attached = *v, true) : bad();
    }
    if (key == "port2") {
        const auto v = parseBool(value);
        return v ? (serialPort = *v, true) : bad();
    }
    if (key == "card") {
        if (lower(trim(value)) == "none") {
            cardPresent = false;
            return true;
        }
        const auto v = parseNumber(trim(value));
        if (!v || *v < 0)
            return bad();
        cardPresent = true;
        cardShots = static_cast<uint32_t>(*v);
        return true;
    }
    if (key == "cardfolder") {
        if (trim(value).empty() || trim(value)[0] != '/')
            return bad();
        cardFolder = trim(value);
        return true;
    }
    if (key == "counter") {
        const auto v = parseNumber(trim(value));
        if (!v || *v < 1 || *v > 9999)
            return bad();
        counter = static_cast<uint32_t>(*v);
        return true;
    }
    if (key == "owner") {
        owner = value.substr(0, 31);
        return true;
    }
    if (key == "serial") {
        const auto v = parseNumber(trim(value));
        if (!v || *v < 0 || *v > 0xFFFFFFFFL)
            return bad();
        state.model.serialNumber = static_cast<uint32_t>(*v);
        return true;
    }
    if (key == "firmware") {
        state.model.firmware = trim(value).substr(0, 24);
        return true;
    }
    if (key == "transfer") {
        const std::string v = lower(trim(value));
        if (v == "fast") {
            transferBytesPerSecond = 0;
            return true;
        }
        if (v == "usb1") {
            transferBytesPerSecond = 1000000;
            return true;
        }
        const auto n = parseNumber(v);
        if (!n || *n < kSlowestTransfer || *n > 0xFFFFFFFFL)
            return bad();
        transferBytesPerSecond = static_cast<uint32_t>(*n);
        return true;
    }
    auto count = [&](uint32_t &field) {
        const auto v = parseNumber(trim(value));
        if (!v || *v < 0 || *v > 0xFFFFFFFFL)
            return bad();
        field = static_cast<uint32_t>(*v);
        return true;
    };
    if (key == "losethumbnail")
        return count(lostThumbnails);
    if (key == "losefullview")
        return count(lostFullViews);
    if (key == "busyrelease")
        return count(busyReleases);
    auto milliseconds = [&](std::chrono::milliseconds &field) {
        const auto v = parseNumber(trim(value));
        if (!v || *v < 0 || *v > 600000)
            return bad();
        field = std::chrono::milliseconds(*v);
        return true;
    };
    if (key == "exposurecap")
        return milliseconds(exposureCap);
    if (key == "mirrordelay")
        return milliseconds(mirrorDelay);
    if (key == "processdelay")
        return milliseconds(processingDelay);
    if (key == "timing") {
        if (lower(trim(value)) != "none")
            return bad();
        exposureCap = mirrorDelay = processingDelay = std::chrono::milliseconds(0);
        return true;
    }
    if (key == "poweroff") {
        const auto v = parseNumber(trim(value));
        if (!v || *v < 0)
            return bad();
        autoPowerOff = std::chrono::seconds(*v);
        return true;
    }
    if (key == "affail") {
        const auto v = parseBool(value);
        return v ? (afFailure = *v, true) : bad();
    }
    if (key == "menu") {
        const auto v = parseBool(value);
        return v ? (menuOpen = *v, true) : bad();
    }
    if (key == "clock") {
        const auto t = parseCameraTime(trim(value));
        if (!t)
            return bad();
        clock = *t;
        return true;
    }
    if (key == "capversion") {
        const auto v = parseNumber(trim(value));
        if (!v || *v < 0 || *v > 0xFFFF)
            return bad();
        capabilityVersion = static_cast<uint16_t>(*v);
        return true;
    }
    if (key == "properties") {
        const auto v = parseNumber(trim(value));
        if (!v || *v < 1 || *v > 4096)
            return bad();
        propertyCount = static_cast<uint32_t>(*v);
        return true;
    }
    if (key == "control") {
        const auto v = parseBool(value);
        return v ? (control = *v, true) : bad();
    }
    if (key == "socket") {
        socketPath = trim(value);
        return true;
    }
    if (key == "profile")
        return loadProfile(trim(value), error);
    return setCameraValue(state, key, value, false, error);
}

bool SimConfig::apply(const std::string &text, std::string *error)
{
    std::vector<std::pair<std::string, std::string>> items;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(';', start);
        const std::string item = trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!item.empty()) {
            const auto equals = item.find('=');
            if (equals == std::string::npos) {
                if (error)
                    *error = "expected key=value: '" + item + "'";
                items.emplace_back("", item);
            } else {
                items.emplace_back(trim(item.substr(0, equals)), trim(item.substr(equals + 1)));
            }
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    // The model decides the defaults the other keys change.
    std::stable_partition(items.begin(), items.end(),
                          [](const auto &item) { return lower(item.first) == "model"; });
    bool ok = true;
    for (const auto &[key, value] : items) {
        std::string why;
        if (key.empty() || !applyKey(key, value, &why)) {
            ok = false;
            if (error && !why.empty())
                *error = why;
        }
    }
    return ok;
}

bool SimConfig::loadProfile(const std::string &path, std::string *error)
{
    std::ifstream in(path);
    if (!in)
        return fail(error, "cannot read profile " + path);
    std::string line;
    std::string text;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        if (lower(t.substr(0, 8)) == "profile=")
            continue;   // no nesting
        text += t + ";";
    }
    return apply(text, error);
}

SimConfig SimConfig::fromEnvironment()
{
    SimConfig config = forModel("EOS D60");
    const char *profile = std::getenv("QUILLOMAT_SIMCAM_PROFILE");
    const char *text = std::getenv("QUILLOMAT_SIMCAM");
    std::string error;
    if (profile && *profile && !config.loadProfile(profile, &error))
        std::fprintf(stderr, "quillomat simcam: %s\n", error.c_str());
    if (text && *text && !config.apply(text, &error))
        std::fprintf(stderr, "quillomat simcam: QUILLOMAT_SIMCAM: %s\n", error.c_str());
    return config;
}

std::string defaultControlSocketPath()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/quillomat-simcam.sock";
    return "/tmp/quillomat-simcam-" + std::to_string(getuid()) + ".sock";
}

std::optional<int64_t> parseCameraTime(const std::string &text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep1 = 0, sep2 = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c%d %d:%d:%d", &y, &sep1, &mo, &sep2, &d, &h, &mi, &s) != 8)
        return std::nullopt;
    if (y < 1990 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = y - 1900;
    parts.tm_mon = mo - 1;
    parts.tm_mday = d;
    parts.tm_hour = h;
    parts.tm_min = mi;
    parts.tm_sec = s;
    return static_cast<int64_t>(timegm(&parts));
}

} // namespace simcam
