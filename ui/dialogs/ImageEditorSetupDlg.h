// "Image Editor Setup": how Edit Image opens an image (the desktop's own
// program for its type, or a command line of the user's), and whether every
// new photo is opened at once. The program for the command line can be
// chosen with "..." or dropped onto the dialog.
#ifndef QUILLOMAT_UI_DIALOGS_IMAGEEDITORSETUPDLG_H
#define QUILLOMAT_UI_DIALOGS_IMAGEEDITORSETUPDLG_H

#include <QDialog>
#include <QString>

class Prompts;
class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QLineEdit;
class QRadioButton;

// The settings ShellOpenEditor, OpenEditorCmdLine and AutoEdit.
struct ImageEditorSetup {
    bool useShell = true;
    QString commandLine;
    bool autoEdit = false;
};

class CImageEditorSetupDlg : public QDialog {
    Q_OBJECT

public:
    CImageEditorSetupDlg(Prompts &prompts, const ImageEditorSetup &values, QWidget *parent = nullptr);

    // The values as of OK (or as given).
    ImageEditorSetup values() const { return m_values; }

    // The command line for a chosen or dropped program: its path, in double
    // quotes when it holds a space (nothing else would mark where the
    // program ends and its arguments begin).
    static QString commandLineForProgram(const QString &path);

    void accept() override;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void useShell(bool on);
    void browse();

    Prompts &m_prompts;
    ImageEditorSetup m_values;

    QRadioButton *m_useShellRadio = nullptr;
    QRadioButton *m_useCommandLineRadio = nullptr;
    QLineEdit *m_commandLineEdit = nullptr;
    QCheckBox *m_autoEditCheck = nullptr;
};

#endif
