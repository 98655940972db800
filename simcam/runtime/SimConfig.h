// How the simulated camera is set up: from the QUILLOMAT_SIMCAM environment
// variable ("model=EOS D30;mode=Av;card=120;transfer=usb1") and/or a profile
// file of key=value lines. README.md lists every key.
#ifndef QUILLOMAT_SIMCAM_SIMCONFIG_H
#define QUILLOMAT_SIMCAM_SIMCONFIG_H

#include "CameraState.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace simcam {

// The slowest paced transfer, in bytes per second: the camera writes at least
// one byte per piece and a piece lasts at most 50 ms, so that a cancelled
// transfer stops at once.
constexpr uint32_t kSlowestTransfer = 20;

struct SimConfig {
    CameraState state;
    bool attached = true;
    bool serialPort = false;              // port type 2 answers too
    bool cardPresent = true;
    uint32_t cardShots = 200;             // room left on the card
    uint32_t counter = 1;                 // number of the next file
    std::string owner = "Quillomat";
    uint32_t transferBytesPerSecond = 0;  // 0: as fast as the stream takes it, else >= kSlowestTransfer
    uint32_t lostThumbnails = 0;          // so many thumbnail events are not sent (the images stay fetchable)
    uint32_t lostFullViews = 0;           // the same for full-view events
    uint32_t busyReleases = 0;            // so many releases from the PC answer DEVICE_BUSY
    std::chrono::milliseconds exposureCap{1000};   // longest exposure or self-timer really waited
    std::chrono::milliseconds mirrorDelay{80};
    std::chrono::milliseconds processingDelay{250};
    std::chrono::seconds autoPowerOff{0}; // 0: never
    bool afFailure = false;               // the lens cannot focus: releases give no image
    bool menuOpen = false;                // the LCD menu is open: the controls cannot be locked
    std::optional<int64_t> clock;         // fixed camera clock (seconds, camera local), else now
    int64_t clockOffset = 0;              // seconds the running clock was set away from the PC's
    std::string cardFolder;               // the card as a folder on disk (a served camera's); empty: default
    uint16_t capabilityVersion = 0x0600;
    uint32_t propertyCount = 48;
    bool control = false;                 // listen for quillomat-simcam on a Unix socket
    std::string socketPath;               // empty: the default path

    // The defaults of a camera of the given model.
    static SimConfig forModel(const std::string &model);
    // QUILLOMAT_SIMCAM (and a profile it or QUILLOMAT_SIMCAM_PROFILE names);
    // errors are reported on stderr and the key is ignored.
    static SimConfig fromEnvironment();

    // "key=value;key=value". model= is applied first. false: a key or value
    // was not understood (the others are applied); error says which.
    bool apply(const std::string &text, std::string *error = nullptr);
    bool applyKey(const std::string &key, const std::string &value, std::string *error = nullptr);
    bool loadProfile(const std::string &path, std::string *error = nullptr);
};

// A camera setting by the names the configuration and quillomat-simcam use
// ("tv", "1/250"). checked: as the camera's own controls would (only values
// the current mode offers); unchecked: as configured, anything valid.
bool setCameraValue(CameraState &state, const std::string &key, const std::string &value,
                    bool checked, std::string *error);

// The default socket path of the control server.
std::string defaultControlSocketPath();

// Parses "2002:06:02 08:30:00" (or with '-' in the date) as seconds.
std::optional<int64_t> parseCameraTime(const std::string &text);

} // namespace simcam

#endif
