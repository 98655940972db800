#include "ShootOptions.h"

#include "psRuntime.h"

#include <cmath>
#include <cstdlib>
#include <map>

namespace {

bool parseCount(const std::string &text, int &count)
{
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > 1000000)
        return false;
    count = static_cast<int>(value);
    return true;
}

bool parseSeconds(const std::string &text, std::chrono::milliseconds &interval)
{
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0 || value > 86400.0 * 7)
        return false;
    interval = std::chrono::milliseconds(static_cast<int64_t>(std::llround(value * 1000.0)));
    return true;
}

} // namespace

int32_t wholeSeconds(std::chrono::milliseconds duration)
{
    // The parser keeps durations within a week, far inside the range.
    return static_cast<int32_t>((duration.count() + 500) / 1000);
}

std::optional<QualityChoice> parseQuality(const std::string &text)
{
    static const std::map<std::string, QualityChoice> kChoices = {
        {"raw", {4, 2, 0}},          {"large-fine", {3, 1, 0}},   {"large-normal", {2, 1, 0}},
        {"medium-fine", {3, 1, 1}},  {"medium-normal", {2, 1, 1}}, {"small-fine", {3, 1, 2}},
        {"small-normal", {2, 1, 2}},
    };
    const auto it = kChoices.find(text);
    if (it == kChoices.end())
        return std::nullopt;
    return it->second;
}

std::optional<StoreMode> parseStore(const std::string &text)
{
    if (text == "pc")
        return StoreMode::PcOnly;
    if (text == "pc+card")
        return StoreMode::PcAndCard;
    if (text == "card")
        return StoreMode::CardOnly;
    return std::nullopt;
}

bool parseOptions(int argc, const char *const *argv, Options &options, std::string &error)
{
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string name = argument;
        std::optional<std::string> value;
        if (const size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        auto takeValue = [&]() -> bool {
            if (value)
                return true;
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };

        if (name == "-h" || name == "--help") {
            options.help = true;
        } else if (name == "--follow") {
            options.follow = true;
        } else if (name == "--preview") {
            options.preview = true;
        } else if (name == "--debug") {
            options.debug = true;
        } else if (name == "--count") {
            int count = 0;
            if (!takeValue())
                return false;
            if (!parseCount(*value, count)) {
                error = "--count takes a whole number from 1 on: " + *value;
                return false;
            }
            options.count = count;
        } else if (name == "--interval") {
            if (!takeValue())
                return false;
            if (!parseSeconds(*value, options.interval)) {
                error = "--interval takes a number of seconds: " + *value;
                return false;
            }
            options.timeLapse = true;
        } else if (name == "--delay") {
            if (!takeValue())
                return false;
            if (!parseSeconds(*value, options.delay)) {
                error = "--delay takes a number of seconds: " + *value;
                return false;
            }
            options.timeLapse = true;
        } else if (name == "--store") {
            if (!takeValue())
                return false;
            options.store = parseStore(*value);
            if (!options.store) {
                error = "--store takes pc, pc+card or card: " + *value;
                return false;
            }
        } else if (name == "--quality") {
            if (!takeValue())
                return false;
            options.quality = parseQuality(*value);
            if (!options.quality) {
                error = "--quality takes raw, large-fine, large-normal, medium-fine, medium-normal, small-fine "
                        "or small-normal: " + *value;
                return false;
            }
        } else if (name == "--dir") {
            if (!takeValue())
                return false;
            if (value->empty()) {
                error = "--dir needs a folder";
                return false;
            }
            options.directory = *value;
        } else if (name == "--prefix") {
            if (!takeValue())
                return false;
            options.prefix = *value;
        } else if (name == "--camera") {
            if (!takeValue())
                return false;
            if (*value != kCameraRuntimeUsb && *value != kCameraRuntimeSimulated) {
                error = "--camera takes usb or simulated: " + *value;
                return false;
            }
            options.camera = *value;
        } else {
            error = "unknown argument: " + argument;
            return false;
        }
    }
    if (options.follow && options.preview) {
        error = "--preview cannot be used with --follow";
        return false;
    }
    if (options.follow && options.timeLapse) {
        error = "--interval and --delay cannot be used with --follow";
        return false;
    }
    return true;
}

const char *usageText()
{
    return "Usage: quillomat-shoot [options]\n"
           "Takes pictures with a tethered EOS D30 or EOS D60 and saves them where Quillomat does.\n"
           "\n"
           "  --count N            take N shots (default 1); with --follow, stop after N shots\n"
           "  --interval SECONDS   a time-lapse sequence: one shot every SECONDS, counted from\n"
           "                       the first shot's due time, so a late shot is caught up\n"
           "  --delay SECONDS      a time-lapse sequence whose first shot is due after SECONDS\n"
           "                       (default 0); it fires one second after its due time\n"
           "  --preview            small test shots: shown information only, nothing saved\n"
           "  --follow             take no shots; save the shots made with the camera's button\n"
           "  --store pc|pc+card|card   where the camera keeps the images (default: the Store setting)\n"
           "  --quality raw|large-fine|large-normal|medium-fine|medium-normal|small-fine|small-normal\n"
           "  --dir FOLDER         base folder of the images (default: the BaseDirectory setting)\n"
           "  --prefix TEXT        file-name prefix (default: the FilenamePrefix setting)\n"
           "  --camera usb|simulated  the camera on the USB cable (default) or the simulated one\n"
           "  --debug              the session's debug texts on standard error\n"
           "  -h, --help           this text\n"
           "\n"
           "Each saved file's path is printed on a line of its own, followed by the shot's\n"
           "information, indented. A time-lapse sequence runs in whole seconds (fractions\n"
           "round to the nearest second, a half up), shows its countdown when standard\n"
           "error is a terminal, and stops at the first error. Exit status: 0 success,\n"
           "1 a camera or saving failure, 2 a usage error.\n";
}
