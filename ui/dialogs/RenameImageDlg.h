// "Rename Image": the new name of the current image file. OK checks the name
// (the characters, the length, the extension the file has now) and, when it
// is refused, says why and stays open.
#ifndef QUILLOMAT_UI_DIALOGS_RENAMEIMAGEDLG_H
#define QUILLOMAT_UI_DIALOGS_RENAMEIMAGEDLG_H

#include <QDialog>
#include <QString>

class Prompts;
class QLabel;
class QLineEdit;

class CRenameImageDlg : public QDialog {
    Q_OBJECT

public:
    // `oldName` is the file's name without its folder.
    CRenameImageDlg(Prompts &prompts, const QString &oldName, QWidget *parent = nullptr);

    // The name as typed; after OK, one that passed the checks.
    QString newName() const;
    // The extension of the old name, which the new one must keep.
    QString keptExtension() const { return m_keptExtension; }

    void accept() override;

private:
    Prompts &m_prompts;
    QString m_keptExtension;
    QLabel *m_renameLabel = nullptr;
    QLineEdit *m_newNameEdit = nullptr;
};

#endif
