// The prompts as the desktop shows them: QMessageBox, QFileDialog, QColorDialog.
#ifndef QUILLOMAT_UI_QTPROMPTS_H
#define QUILLOMAT_UI_QTPROMPTS_H

#include "Prompts.h"

class QtPrompts : public Prompts {
public:
    void message(QWidget *parent, Icon icon, const QString &caption, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &caption, const QString &text) override;
    std::optional<QString> chooseFolder(QWidget *parent, const QString &title, const QString &start) override;
    std::optional<QColor> chooseColour(QWidget *parent, const QColor &initial) override;
    std::optional<QString> chooseFile(QWidget *parent, const QString &title, const QString &start,
                                      const QString &filter) override;
};

#endif
