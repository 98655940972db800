// The user's preferences held in memory between the load at start-up and the
// save at exit. Settings that live in the main window's controls (list
// positions, check boxes) are not here: the controls are their only storage
// (see SettingsControls).
#ifndef QUILLOMAT_UI_SETTINGS_H
#define QUILLOMAT_UI_SETTINGS_H

#include "ImageNaming.h"

#include <QString>

#include <cstdint>

// <Pictures>/Quillomat.
QString defaultBaseDirectory();

struct Settings {
    // Kept from one run to the next; nothing else reads them.
    uint32_t shutterSpeed = 31;
    uint32_t aperture = 4;
    QString contrast = QStringLiteral("Normal");
    QString sharpness = QStringLiteral("Normal");
    QString saturation = QStringLiteral("Normal");

    // Mouse actions: "None", "Preview", "Release", "Edit Comment", "Edit Image".
    QString middleButtonAction = QStringLiteral("None");
    QString rightButtonAction = QStringLiteral("None");
    QString mouseWheelAction = QStringLiteral("None");

    // Image folder and names; the flags count as set when non-zero.
    uint32_t yearSubDir = 1;
    uint32_t monthSubDir = 1;
    uint32_t daySubDir = 1;
    uint32_t flattenDate = 1;
    QString baseDirectory = defaultBaseDirectory();
    QString filenamePrefix;

    uint32_t orientation = 0;      // preview rotation in degrees: 0, 90, 180, 270
    uint32_t shellOpenEditor = 1;  // non-zero: open images through the desktop's default handler
    QString openEditorCmdLine;
    uint32_t displayGrid = 0;
    uint32_t numHorzGridDivisions = 3;
    uint32_t numVertGridDivisions = 3;
    uint32_t gridColour = 0x00FF00;  // 0x00BBGGRR: green
    uint32_t autoEdit = 0;
    uint32_t blankScreenWhenTakingPhoto = 0;
    uint32_t sessionStrip = 0;  // non-zero: the "Session" window is open beside the main window

    // Switches of the additions, on unless the user turned them off in
    // Preferences: the camera's thumbnail on show while the full image
    // transfers, reconnecting by itself when the camera comes back, and the
    // "Show Clipping" command.
    uint32_t thumbnailFirst = 1;
    uint32_t autoReconnect = 1;
    uint32_t clippingMarks = 1;
    uint32_t showClipping = 0;  // "Show Clipping" checked

    bool operator==(const Settings &) const = default;
};

// The part of the settings that decides where images go and what they are called.
ImageDirectorySettings imageDirectorySettings(const Settings &settings);

#endif
