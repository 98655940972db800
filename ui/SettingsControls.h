// The settings whose only storage is a control of the main window: the
// selected position of a list and the check state of a check box. The
// settings store reads and applies them through this interface, so that the
// window's widgets (or a plain object in tests) can hold them.
#ifndef QUILLOMAT_UI_SETTINGSCONTROLS_H
#define QUILLOMAT_UI_SETTINGSCONTROLS_H

class SettingsControls {
public:
    enum class List {
        ShutterSpeed,  // Tv
        Aperture,      // Av
        MeteringMode,
        DriveMode,
        Iso,
        Quality,  // Size/Quality
        WhiteBalance,
        ExposureCompensation,
        FlashCompensation,
        Store,  // "Store images on:"
    };
    enum class CheckBox {
        HistogramRed,
        HistogramGreen,
        HistogramBlue,
        HistogramIntensity,
        CameraBeep,
    };

    virtual ~SettingsControls() = default;

    // The selected position counted from 0, -1 when nothing is selected.
    virtual int listPosition(List list) const = 0;
    // Selects `position`; a position outside the list leaves nothing selected.
    virtual void setListPosition(List list, int position) = 0;
    virtual bool isChecked(CheckBox box) const = 0;
    virtual void setChecked(CheckBox box, bool checked) = 0;
};

#endif
