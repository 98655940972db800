// The camera's own settings dialog: what it shows comes from the camera's
// state, and what the user changes there is what the camera reports afterwards.
#include "SettingsDialogLoader.h"
#include "SimCamera.h"

#include <psError.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace simcam {
namespace {

constexpr psResult driverError(uint32_t code)
{
    return psMakeError(psCOMPONENT_LLSDK, code);
}

bool sameSet(const QSimParameterSet &a, const QSimParameterSet &b)
{
    return a.defined == b.defined && a.contrast == b.contrast && a.sharpness == b.sharpness
           && a.saturation == b.saturation && a.colorTone == b.colorTone;
}

int32_t parameterValue(int32_t value)
{
    return std::clamp<int32_t>(value, QSIM_PARAMETER_MIN, QSIM_PARAMETER_MAX);
}

// The owner as the camera keeps it: printable ASCII, at most 31 characters.
std::string ownerText(const char *owner)
{
    std::string text(owner, strnlen(owner, QSIM_OWNER_SIZE - 1));
    for (char &c : text)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    return text;
}

} // namespace

psResult SimCamera::settingsDialog(psDeviceHandle handle, void *window, const SettingsDialogLoader &loader)
{
    QSimCameraSettings before{};
    {
        std::lock_guard lock(m_mutex);
        if (const psResult status = checkDevice(handle))
            return status;
        if (m_releaseInProgress)
            return driverError(psERR_DEVICE_BUSY);
        touch();
        before.structSize = sizeof before;
        before.version = QSIM_SETTINGS_DIALOG_VERSION;
        std::strncpy(before.modelName, m_config.state.model.name.c_str(), sizeof before.modelName - 1);
        std::strncpy(before.owner, m_config.owner.c_str(), sizeof before.owner - 1);
        before.cameraTime = cameraTime();
        for (int number = 1; number <= QSIM_CUSTOM_FUNCTIONS; ++number)
            before.customFunctions[number] = m_config.state.customFunctions[static_cast<size_t>(number)];
        before.hasParameterSets = m_config.state.model.hasParameterSets ? 1 : 0;
        for (int number = 1; number <= QSIM_PARAMETER_SETS && before.hasParameterSets; ++number) {
            const ParameterSet &set = m_config.state.parameterSets[static_cast<size_t>(number)];
            before.parameterSets[number] = {set.defined ? 1 : 0, set.contrast, set.sharpness, set.saturation,
                                            set.colorTone};
        }
    }

    // The dialog runs its own event loop: the camera stays unlocked meanwhile,
    // so its thread and its controls go on working.
    QSimCameraSettings after = before;
    std::string error;
    switch (loader.show(after, window, &error)) {
    case SettingsDialogLoader::Outcome::Accepted:
        break;
    case SettingsDialogLoader::Outcome::Cancelled:
        return 0;
    case SettingsDialogLoader::Outcome::Unavailable:
        std::fprintf(stderr, "quillomat simcam: settings dialog not available: %s\n", error.c_str());
        return driverError(psERR_MISSING_SUBCOMPONENT);
    case SettingsDialogLoader::Outcome::NoDisplay:
    case SettingsDialogLoader::Outcome::WrongThread:
        std::fprintf(stderr, "quillomat simcam: settings dialog not shown: %s\n", error.c_str());
        return driverError(psERR_NOT_SUPPORTED);
    case SettingsDialogLoader::Outcome::Failed:
        std::fprintf(stderr, "quillomat simcam: settings dialog failed: %s\n", error.c_str());
        return driverError(psERR_INTERNAL_ERROR);
    }

    // Only what the user changed is written, so that a setting changed on the
    // camera while the dialog was open is not put back.
    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    touch();
    if (std::strncmp(before.owner, after.owner, sizeof before.owner) != 0)
        m_config.owner = ownerText(after.owner);
    if (after.cameraTime != before.cameraTime) {
        if (m_config.clock)
            m_config.clock = after.cameraTime - m_shotsTaken;
        else
            m_clockOffset = after.cameraTime - pcLocalTime();
    }
    for (int number = 1; number <= QSIM_CUSTOM_FUNCTIONS; ++number)
        if (after.customFunctions[number] != before.customFunctions[number])
            m_config.state.customFunctions[static_cast<size_t>(number)] =
                std::min<uint8_t>(after.customFunctions[number], QSIM_CUSTOM_FUNCTION_MAX);
    for (int number = 1; number <= QSIM_PARAMETER_SETS && before.hasParameterSets; ++number) {
        const QSimParameterSet &set = after.parameterSets[number];
        if (sameSet(set, before.parameterSets[number]))
            continue;
        m_config.state.parameterSets[static_cast<size_t>(number)] =
            set.defined ? ParameterSet{true, parameterValue(set.contrast), parameterValue(set.sharpness),
                                       parameterValue(set.saturation), parameterValue(set.colorTone)}
                        : ParameterSet{};
        // The camera cannot go on using a set that no longer exists.
        if (!set.defined && m_config.state.parameterSet == number)
            m_config.state.parameterSet = 0;
    }
    return 0;
}

} // namespace simcam
