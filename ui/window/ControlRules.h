// Which controls and menu entries the main window enables and checks, worked
// out from the window's state alone. The window applies the result in
// updateControls; tests check the rules without a widget.
#ifndef QUILLOMAT_UI_WINDOW_CONTROLRULES_H
#define QUILLOMAT_UI_WINDOW_CONTROLRULES_H

#include "psLLAPI.h"

#include <QString>

struct WindowState {
    bool connected = false;
    bool busy = false;
    QString modeText;             // "Mode: Manual", "Mode: Portrait", ...
    QString afModeText;           // the AF Mode list's selected text
    int parameterSetCount = 0;    // entries in the Parameter Set list
    int imageCount = 0;           // images saved in this run
    int currentImage = -1;        // the one on show, -1 for none
    bool previewHoldsImage = false;  // the preview picture shows an image
    bool savedImageHeld = false;     // a JPEG is held for display
    int orientation = 0;          // degrees
    bool displayGrid = false;
    bool blankScreenWhenTakingPhoto = false;
    QString modelName;            // of the connected camera
    uint32_t reachableFields = PS_FIELD_ALL;  // release-parameter fields the runtime reaches
};

struct ControlStates {
    // The camera settings panel and the shooting buttons.
    bool release = false;
    bool preview = false;
    bool iso = false;
    bool driveMode = false;
    bool storeImagesOn = false;
    bool cameraBeep = false;
    bool sizeQuality = false;
    bool whiteBalance = false;
    bool meteringMode = false;
    bool flashCompensation = false;
    bool exposureCompensation = false;
    bool tv = false;
    bool av = false;
    bool afMode = false;
    bool afPoint = false;
    bool parameterSet = false;
    bool previousNext = false;  // "<" and ">"

    // The menu.
    bool deleteImage = false;
    bool connectReadsDisconnect = false;
    bool cameraSettings = false;
    bool forceUiUnlock = false;
    bool releaseShutter = false;  // also Preview, Refresh and Time Lapse
    bool landscapeChecked = false;
    bool invertedChecked = false;
    bool portrait1Checked = false;
    bool portrait2Checked = false;
    bool displayGridEnabled = false;
    bool displayGridChecked = false;
    bool blankScreenChecked = false;

    QString connectionText;
};

// True for the exposure modes in which the photographer sets the exposure
// (Program, Tv, Av, Manual, A-DEP), judged from the mode text.
bool isCreativeMode(const QString &modeText);

ControlStates controlStates(const WindowState &state);

#endif
