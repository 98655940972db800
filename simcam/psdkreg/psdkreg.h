// The camera runtime's registration library: records (or forgets) on this
// machine that the runtime is installed, with its version, the folder of its
// libraries and the camera models it supports.
//
// The record is a text file at
//     ${XDG_CONFIG_HOME:-$HOME/.config}/psdk-runtime/registration
// one "key=value" per line ("name", "version", "libdir", and one
// "model=0x<identifier> <model name>" per camera model); the simulated camera
// runtime reads its installed models from it.
#ifndef QUILLOMAT_SIMCAM_PSDKREG_H
#define QUILLOMAT_SIMCAM_PSDKREG_H

#if defined(__GNUC__)
#define PSDKREG_EXPORT __attribute__((visibility("default")))
#else
#define PSDKREG_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Writes the registration record (replacing an older one in one step).
// Returns 0, or the errno value of the step that failed.
PSDKREG_EXPORT int SetPSDKRegRuntime(void);
// Deletes the registration record; no record is fine.
// Returns 0, or the errno value of the step that failed.
PSDKREG_EXPORT int RemovePSDKRegRuntime(void);

#ifdef __cplusplus
}
#endif

#endif
