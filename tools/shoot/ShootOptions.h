// The command line of quillomat-shoot.
#ifndef QUILLOMAT_TOOLS_SHOOT_SHOOTOPTIONS_H
#define QUILLOMAT_TOOLS_SHOOT_SHOOTOPTIONS_H

#include "StoreMode.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// The three bytes of the release parameters that choose size and quality.
struct QualityChoice {
    uint8_t quality = 3;    // 2 normal, 3 fine, 4 raw
    uint8_t imageType = 1;  // 1 JPEG, 2 raw
    uint8_t imageSize = 0;  // 0 large, 1 medium, 2 small
};

struct Options {
    bool help = false;
    bool follow = false;                  // wait for shots made on the camera
    bool preview = false;                 // small test shots, not saved
    bool debug = false;                   // the session's debug texts on standard error
    std::optional<int> count;             // shots to take (or to wait for with follow)
    // With --interval or --delay the shots are a time-lapse sequence on the
    // window's schedule, which runs in whole seconds (wholeSeconds).
    bool timeLapse = false;
    std::chrono::milliseconds interval{0};
    std::chrono::milliseconds delay{0};   // before the first shot
    std::optional<StoreMode> store;       // else the Store setting
    std::optional<QualityChoice> quality; // else as the camera is set
    std::optional<std::string> directory; // else the BaseDirectory setting
    std::optional<std::string> prefix;    // else the FilenamePrefix setting
    std::optional<std::string> camera;    // the camera runtime, else QUILLOMAT_CAMERA or usb
};

// Fills options from the arguments (without the program name). Returns
// false with a text for the user when an argument is not understood.
bool parseOptions(int argc, const char *const *argv, Options &options, std::string &error);

// The whole seconds a time-lapse sequence uses: the nearest, a half second
// rounded up (2.5 s is 3 s; below half a second is 0, as fast as the camera goes).
int32_t wholeSeconds(std::chrono::milliseconds duration);

std::optional<QualityChoice> parseQuality(const std::string &text);
std::optional<StoreMode> parseStore(const std::string &text);

const char *usageText();

#endif
