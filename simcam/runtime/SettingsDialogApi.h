/* The contract between the simulated runtime and its settings-dialog
 * companion library. The runtime core stays free of any toolkit: it fills a
 * plain record with what the dialog may change, loads the companion only when
 * the dialog is asked for, and applies what comes back. Plain C, so that the
 * two sides share nothing but this record. */
#ifndef QUILLOMAT_SIMCAM_SETTINGSDIALOGAPI_H
#define QUILLOMAT_SIMCAM_SETTINGSDIALOGAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QSIM_SETTINGS_DIALOG_VERSION 1u
/* File name of the companion library and its one entry point. */
#define QSIM_SETTINGS_DIALOG_LIBRARY "libquillomat-simcam-settings.so"
#define QSIM_SETTINGS_DIALOG_ENTRY "quillomatSimSettingsDialog"

#define QSIM_CUSTOM_FUNCTIONS 15   /* C.Fn-1 to C.Fn-15, each 0 to 3 */
#define QSIM_CUSTOM_FUNCTION_MAX 3
#define QSIM_PARAMETER_SETS 3      /* the D30's sets 1 to 3, values -2 to 2 */
#define QSIM_PARAMETER_MIN (-2)
#define QSIM_PARAMETER_MAX 2
#define QSIM_OWNER_SIZE 32         /* 31 characters and the terminating zero */

/* What the entry point answers. */
enum {
    QSIM_DIALOG_ACCEPTED = 0,    /* OK: the record holds the new settings */
    QSIM_DIALOG_CANCELLED = 1,   /* Cancel: the record is as it was */
    QSIM_DIALOG_NO_DISPLAY = 2,  /* no widget application runs in this process */
    QSIM_DIALOG_WRONG_THREAD = 3,/* not called on the application's user-interface thread */
    QSIM_DIALOG_BAD_RECORD = 4   /* null record, or one of another size or version */
};

typedef struct QSimParameterSet {
    int32_t defined;   /* non-zero when the set holds values */
    int32_t contrast;
    int32_t sharpness;
    int32_t saturation;
    int32_t colorTone;
} QSimParameterSet;

typedef struct QSimCameraSettings {
    uint32_t structSize;               /* sizeof(QSimCameraSettings) */
    uint32_t version;                  /* QSIM_SETTINGS_DIALOG_VERSION */
    char modelName[32];                /* shown only */
    char owner[QSIM_OWNER_SIZE];       /* printable ASCII, zero-terminated */
    int64_t cameraTime;                /* the camera's clock: seconds since 1970 in its local time */
    uint8_t customFunctions[QSIM_CUSTOM_FUNCTIONS + 1];     /* [1] to [15]; [0] unused */
    int32_t hasParameterSets;          /* non-zero on a camera with parameter sets */
    QSimParameterSet parameterSets[QSIM_PARAMETER_SETS + 1];/* [1] to [3]; [0] unused */
} QSimCameraSettings;

/* Shows the dialog modally over parentWidget (a QWidget, or null) and, on OK,
 * writes the user's settings into the record. */
typedef int (*QSimSettingsDialogFunction)(QSimCameraSettings *settings, void *parentWidget);

#ifdef __cplusplus
}
#endif

#endif
