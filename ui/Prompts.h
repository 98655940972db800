// Every message box and picker the windows show goes through this interface,
// so that tests can record what was shown and give the answer without a
// modal loop. The program's implementation is QtPrompts.
#ifndef QUILLOMAT_UI_PROMPTS_H
#define QUILLOMAT_UI_PROMPTS_H

#include <QColor>
#include <QString>

#include <optional>

class QWidget;

class Prompts {
public:
    enum class Icon {
        Error,        // the stop sign: errors
        Refusal,      // the exclamation mark: a request that cannot be done now
        Question,     // the question mark
        Information,
        None,         // a plain notice
    };

    virtual ~Prompts() = default;

    // A box with one OK button; returns when it is closed.
    virtual void message(QWidget *parent, Icon icon, const QString &caption, const QString &text) = 0;
    // A Yes/No box with the question mark; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &caption, const QString &text) = 0;
    // A folder browser; the chosen folder, or nothing when cancelled.
    virtual std::optional<QString> chooseFolder(QWidget *parent, const QString &title, const QString &start) = 0;
    // A colour chooser (solid colours); the chosen colour, or nothing when cancelled.
    virtual std::optional<QColor> chooseColour(QWidget *parent, const QColor &initial) = 0;
    // A file-open dialog for an existing file; the chosen path, or nothing when cancelled.
    virtual std::optional<QString> chooseFile(QWidget *parent, const QString &title, const QString &start,
                                              const QString &filter) = 0;

    // The program's name, the caption of every box no Part gives another.
    static QString programCaption() { return QStringLiteral("Quillomat"); }
};

#endif
