// Finds and loads the settings-dialog companion library when the dialog is
// asked for, and shows its dialog. The runtime core links no toolkit; a
// process without the library, or without a widget application, gets a clean
// refusal instead of a dialog.
#ifndef QUILLOMAT_SIMCAM_SETTINGSDIALOGLOADER_H
#define QUILLOMAT_SIMCAM_SETTINGSDIALOGLOADER_H

#include "SettingsDialogApi.h"

#include <string>
#include <vector>

namespace simcam {

class SettingsDialogLoader {
public:
    enum class Outcome {
        Accepted,     // the record holds the user's settings
        Cancelled,    // the record is unchanged
        Unavailable,  // no candidate could be loaded, or none has the entry point
        NoDisplay,    // no widget application in this process
        WrongThread,  // not asked on the application's user-interface thread
        Failed,       // the library refused the record
    };

    // The library files to try, in order.
    explicit SettingsDialogLoader(std::vector<std::string> candidates);

    // Beside the module that holds the runtime, then where the build tree puts it.
    static std::vector<std::string> defaultCandidates();

    // error (when given) says why for anything but Accepted and Cancelled.
    Outcome show(QSimCameraSettings &settings, void *window, std::string *error = nullptr) const;

private:
    std::vector<std::string> m_candidates;
};

} // namespace simcam

#endif
