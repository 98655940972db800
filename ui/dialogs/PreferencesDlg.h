// "Quillomat Preferences": where images are saved, what they are called,
// what the middle and right mouse buttons do, and which of the shooting aids
// (thumbnail first, reconnecting, clipping marks) are on.
//
// While it is open the dialog works on its own copy of the settings it edits,
// so that the example name can follow every keystroke; OK writes them all
// into the caller's Settings at once, any other end leaves them as they were.
// A shot taken with the camera's own button while the dialog is open thus
// never goes to a half-typed folder.
#ifndef QUILLOMAT_UI_DIALOGS_PREFERENCESDLG_H
#define QUILLOMAT_UI_DIALOGS_PREFERENCESDLG_H

#include "ImageNaming.h"
#include "Settings.h"

#include <QDialog>
#include <QString>

#include <functional>

class Prompts;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QShowEvent;

class CPreferencesDlg : public QDialog {
    Q_OBJECT

public:
    CPreferencesDlg(Settings &settings, Prompts &prompts, std::function<LocalDate()> today = LocalDate::today,
                    QWidget *parent = nullptr);

    // The path the next raw image would get with the settings as edited:
    // the image directory for today, the prefix and "CRW_0001.CRW".
    QString exampleImageName() const;

    // A prefix must not hold a character that a file name cannot carry on
    // some system the images may be copied to.
    static bool isValidFilenamePrefix(const QString &prefix);
    static QString invalidPrefixMessage();

    // The entries of both mouse-button lists.
    static QStringList mouseActions();

    // OK refuses a prefix that cannot be part of a file name; otherwise it
    // writes every edited setting into the caller's Settings.
    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The settings this dialog edits.
    struct Edited {
        QString middleButtonAction;
        QString rightButtonAction;
        QString filenamePrefix;
        QString baseDirectory;
        uint32_t yearSubDir = 0;
        uint32_t monthSubDir = 0;
        uint32_t daySubDir = 0;
        uint32_t flattenDate = 0;
        uint32_t thumbnailFirst = 0;
        uint32_t autoReconnect = 0;
        uint32_t clippingMarks = 0;
        uint32_t sessionStrip = 0;
    };

    void buildControls();
    void readSettings();
    void loadControls();
    void apply(Settings &settings) const;
    void updateExample();
    void browse();
    void actionChosen(QComboBox *combo, QString Edited::*setting);

    Settings &m_settings;
    Prompts &m_prompts;
    std::function<LocalDate()> m_today;
    Edited m_edited;
    bool m_open = false;     // between showing and done()
    bool m_loading = false;  // controls are being filled from the settings

    QComboBox *m_middleButtonCombo = nullptr;
    QComboBox *m_rightButtonCombo = nullptr;
    QLineEdit *m_prefixEdit = nullptr;
    QLineEdit *m_directoryEdit = nullptr;
    QCheckBox *m_yearCheck = nullptr;
    QCheckBox *m_monthCheck = nullptr;
    QCheckBox *m_dayCheck = nullptr;
    QCheckBox *m_flattenCheck = nullptr;
    QCheckBox *m_thumbnailFirstCheck = nullptr;
    QCheckBox *m_autoReconnectCheck = nullptr;
    QCheckBox *m_clippingMarksCheck = nullptr;
    QLineEdit *m_exampleEdit = nullptr;
    QCheckBox *m_sessionStripCheck = nullptr;
};

#endif
