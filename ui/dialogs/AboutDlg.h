// "About Quillomat": the program's name, version and what it is for.
#ifndef QUILLOMAT_UI_DIALOGS_ABOUTDLG_H
#define QUILLOMAT_UI_DIALOGS_ABOUTDLG_H

#include <QDialog>
#include <QString>

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget *parent = nullptr);

    // The version the program was built as ("0.1.0").
    static QString version();
};

#endif
