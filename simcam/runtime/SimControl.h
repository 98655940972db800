// Control of the simulated camera from tests, tools and quillomat-simcam:
// which camera is attached, and the camera's own controls (through the
// SimCamera it returns).
#ifndef QUILLOMAT_SIMCAM_SIMCONTROL_H
#define QUILLOMAT_SIMCAM_SIMCONTROL_H

#include "SimCamera.h"
#include "SimConfig.h"

#include "InstalledModels.h"

#include <memory>
#include <string>
#include <vector>

namespace simcam {

// The camera the runtime's setup calls and driver talk to; made from the
// environment on first use.
std::shared_ptr<SimCamera> simulatedCamera();
// Attaches a new camera made from the configuration. An open device of the
// old camera is closed (its thread joined) once nobody uses it any more.
void configureCamera(const SimConfig &config);
void configureCameraFromEnvironment();

// The model list the setup call delivers: the runtime registration record
// when it exists, otherwise the built-in list.
using psdkreg::InstalledModel;
using psdkreg::installedModels;
using psdkreg::registrationRecordPath;

// One command of quillomat-simcam ("shutter", "set tv 1/250", "menu on",
// "unplug", ...); the answer is "ok" or "ok <text>", or "error <text>".
std::string runControlCommand(const std::string &line);
// The help text listing the commands.
const char *controlCommandHelp();

// The Unix socket on which a running program takes those commands
// (user-only permissions). Started by the runtime when control=1; tests may
// start and stop it themselves.
bool startControlServer(const std::string &path, std::string *error);
void stopControlServer();
bool controlServerRunning();

} // namespace simcam

#endif
