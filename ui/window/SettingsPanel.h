// The "Camera Settings" group: the camera's shooting settings as lists, plus
// the read-only lens, mode and custom-function texts. It only presents: what
// the lists hold and how a release-parameter block shows in them. Talking to
// the camera is the main window's work.
#ifndef QUILLOMAT_UI_WINDOW_SETTINGSPANEL_H
#define QUILLOMAT_UI_WINDOW_SETTINGSPANEL_H

#include "SettingsLists.h"
#include "psRels.h"

#include <QGroupBox>

#include <cstdint>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;

class SettingsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit SettingsPanel(QWidget *parent = nullptr);

    // The lists as the window starts, before a camera is connected.
    void fillStartupLists();
    // ISO and Size/Quality for the connected model, keeping the Size/Quality position.
    void fillModelLists(CameraModelKind model);
    // Tv, Av and both compensation lists for the increment mode; Av only
    // between the lens limits (snapped to the mode's table), then "Auto".
    void fillStepLists(IncrementMode mode, uint16_t &lowLimit, uint16_t &highLimit);

    // The rows of lists side by side in `columns` columns, each list at its
    // own width: the compact layout's arrangement, which must fit where the
    // preview stands. One column, the lists stretched, is the normal one.
    void arrangeInColumns(int columns);

    // Shows what the block holds; a value with no entry leaves the list as it was.
    void showReleaseParams(const ReleaseParams &params, CameraModelKind model);
    // Every list of a field the camera's runtime cannot reach holds only
    // "N/A" (the lens text too); the window keeps those lists disabled.
    void markUnreachable(uint32_t reachableFields);
    void setModeText(const QString &text);
    void setLensText(const QString &text);
    void setCustomText(const QString &text);
    QString modeText() const;

    // Selects the entry whose item value is `value`; false (selection kept) when none has it.
    static bool selectByValue(QComboBox *list, uint32_t value);
    static void fill(QComboBox *list, const ListEntries &entries);
    // The selected entry's item value, if it has one.
    static std::optional<uint32_t> selectedValue(const QComboBox *list);

    QComboBox *tv = nullptr;
    QComboBox *av = nullptr;
    QComboBox *exposureCompensation = nullptr;
    QComboBox *flashCompensation = nullptr;
    QComboBox *sizeQuality = nullptr;
    QComboBox *whiteBalance = nullptr;
    QComboBox *meteringMode = nullptr;
    QComboBox *driveMode = nullptr;
    QComboBox *iso = nullptr;
    QComboBox *afPoint = nullptr;
    QComboBox *afMode = nullptr;
    QComboBox *parameterSet = nullptr;
    QComboBox *storeImagesOn = nullptr;
    QCheckBox *cameraBeep = nullptr;

private:
    QComboBox *addList(const char *label, const char *objectName, int controlId);

    QLabel *m_mode = nullptr;
    QLabel *m_lens = nullptr;
    QLabel *m_custom = nullptr;
    class QFormLayout *m_form = nullptr;
    class QHBoxLayout *m_columns = nullptr;  // the form's columns, side by side
};

#endif
