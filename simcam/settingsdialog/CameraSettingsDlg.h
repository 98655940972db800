// The simulated camera's own settings dialog, as a camera vendor's runtime
// shows it: owner name, camera clock, custom functions and, on a camera that
// has them, parameter sets 1 to 3. It edits a copy of the record it is given.
#ifndef QUILLOMAT_SIMCAM_CAMERASETTINGSDLG_H
#define QUILLOMAT_SIMCAM_CAMERASETTINGSDLG_H

#include "SettingsDialogApi.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QSpinBox;

class CCameraSettingsDlg : public QDialog {
public:
    CCameraSettingsDlg(const QSimCameraSettings &settings, QWidget *parent);

    // The record with what the controls hold now.
    QSimCameraSettings settings() const;

private:
    struct ParameterSetControls {
        QCheckBox *defined = nullptr;
        QSpinBox *contrast = nullptr;
        QSpinBox *sharpness = nullptr;
        QSpinBox *saturation = nullptr;
        QSpinBox *colorTone = nullptr;
    };

    QWidget *makeCameraPage();
    QWidget *makeCustomFunctionsPage();
    QWidget *makeParameterSetsPage();

    QSimCameraSettings m_initial;
    QLineEdit *m_owner = nullptr;
    QDateTimeEdit *m_clock = nullptr;
    bool m_clockChanged = false;
    std::array<QSpinBox *, QSIM_CUSTOM_FUNCTIONS + 1> m_customFunctions{};
    std::array<ParameterSetControls, QSIM_PARAMETER_SETS + 1> m_parameterSets{};
};

#endif
