// "Grid Settings": the divisions, colour and on/off state of the composition
// grid. The dialog holds its own copy of the four values; the caller reads
// them with values() after OK, and nothing the user did before a Cancel
// reaches them (the colour chosen meanwhile included).
#ifndef QUILLOMAT_UI_DIALOGS_GRIDSETTINGSDLG_H
#define QUILLOMAT_UI_DIALOGS_GRIDSETTINGSDLG_H

#include "GridSettings.h"

#include <QColor>
#include <QDialog>

#include <cstdint>
#include <optional>

class Prompts;
class QCheckBox;
class QLabel;
class QShowEvent;
class QSpinBox;

// GridColour is a 0x00BBGGRR value.
QColor gridColourToQColor(std::uint32_t bgr);
std::uint32_t gridColourFromQColor(const QColor &colour);

class CGridSettingsDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int minimumDivisions = 2;
    static constexpr int maximumDivisions = 50;

    explicit CGridSettingsDlg(Prompts &prompts, const GridSettings &values = GridSettings(),
                              QWidget *parent = nullptr);

    // The caller puts in its own settings before showing the dialog.
    void setValues(const GridSettings &values);
    // The values as of the last OK (or as set).
    GridSettings values() const { return m_values; }

    // The text of a divisions box read as the platform reads an integer
    // field: the number, or nothing when the text is not an integer.
    static std::optional<int> parseDivisions(const QString &text);

    // OK checks both divisions boxes and refuses anything outside 2 to 50.
    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadControls();
    void chooseColour();
    void paintSwatch();
    // Checks one box; false (after telling the user) when it is refused.
    bool checkDivisions(QSpinBox *spin, int &value);

    Prompts &m_prompts;
    GridSettings m_values;
    std::uint32_t m_colour = 0;  // the colour shown, committed by OK
    bool m_open = false;

    QSpinBox *m_horizontalSpin = nullptr;
    QSpinBox *m_verticalSpin = nullptr;
    QLabel *m_colourSwatch = nullptr;
    QCheckBox *m_enableGridCheck = nullptr;
};

#endif
