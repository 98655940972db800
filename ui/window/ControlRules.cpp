#include "ControlRules.h"

#include <utility>

#include <QStringList>

namespace {

// "Mode: Manual" -> "manual".
QString modeName(const QString &modeText)
{
    static const int prefixLength = QStringLiteral("Mode: ").size();
    QString name = modeText.size() > prefixLength ? modeText.mid(prefixLength) : modeText;
    return name.toLower();
}

}  // namespace

bool isCreativeMode(const QString &modeText)
{
    static const QStringList creative = {QStringLiteral("a-dep"), QStringLiteral("manual"), QStringLiteral("av"),
                                         QStringLiteral("tv"), QStringLiteral("program")};
    return creative.contains(modeName(modeText));
}

namespace {

// The settings panel's controls and the release-parameter field each one sets.
constexpr std::pair<bool ControlStates::*, uint32_t> kFieldControls[] = {
    {&ControlStates::tv, PS_FIELD_TV},
    {&ControlStates::av, PS_FIELD_AV},
    {&ControlStates::iso, PS_FIELD_ISO},
    {&ControlStates::sizeQuality, PS_FIELD_SIZE_QUALITY},
    {&ControlStates::whiteBalance, PS_FIELD_WHITE_BALANCE},
    {&ControlStates::meteringMode, PS_FIELD_METERING_MODE},
    {&ControlStates::driveMode, PS_FIELD_DRIVE_MODE},
    {&ControlStates::flashCompensation, PS_FIELD_FLASH_COMPENSATION},
    {&ControlStates::exposureCompensation, PS_FIELD_EXPOSURE_COMPENSATION},
    {&ControlStates::afPoint, PS_FIELD_AF_POINT},
    {&ControlStates::afMode, PS_FIELD_AF_MODE},
    {&ControlStates::parameterSet, PS_FIELD_PARAMETER_SET},
    {&ControlStates::cameraBeep, PS_FIELD_BEEP},
};

} // namespace

ControlStates controlStates(const WindowState &state)
{
    ControlStates c;
    const bool idle = state.connected && !state.busy;

    if (idle) {
        c.release = c.preview = c.iso = c.driveMode = c.storeImagesOn = c.cameraBeep = true;
        const QString mode = modeName(state.modeText);
        if (isCreativeMode(state.modeText)) {
            c.sizeQuality = c.whiteBalance = c.meteringMode = c.flashCompensation = c.exposureCompensation = true;
            c.tv = mode == QStringLiteral("manual") || mode == QStringLiteral("tv");
            c.av = mode == QStringLiteral("manual") || mode == QStringLiteral("av");
            const bool manualFocus = state.afModeText.compare(QStringLiteral("Manual"), Qt::CaseInsensitive) == 0;
            c.afMode = c.afPoint = !manualFocus;
            c.parameterSet = state.parameterSetCount > 1;
        }
        const bool onlyCurrent = state.imageCount == 1 && state.currentImage == 0;
        c.previousNext = state.imageCount > 0 && !onlyCurrent;
    }

    // What the camera's runtime cannot reach stays disabled whatever the mode.
    for (const auto &[control, field] : kFieldControls)
        c.*control = c.*control && (state.reachableFields & field) != 0;

    c.deleteImage = state.previewHoldsImage;
    c.connectReadsDisconnect = state.connected;
    c.cameraSettings = !state.busy;
    c.forceUiUnlock = state.connected && state.busy;
    c.releaseShutter = idle;
    c.portrait1Checked = state.orientation == 270;
    c.portrait2Checked = state.orientation == 90;
    c.landscapeChecked = state.orientation == 0;
    c.invertedChecked = state.orientation == 180;
    c.displayGridEnabled = state.savedImageHeld;
    c.displayGridChecked = state.displayGrid;
    c.blankScreenChecked = state.blankScreenWhenTakingPhoto;
    c.connectionText = state.connected ? QStringLiteral("Connected to ") + state.modelName
                                       : QStringLiteral("Not connected");
    return c;
}
