// The external editor's command line: the program, its fixed arguments and
// the image path, as the user's OpenEditorCmdLine setting describes them.
//
// The program is the part in double quotes at the start of the line, or the
// line up to and including the first ".exe", or else the first word. What
// follows is split at every run of spaces (quotes there are not
// interpreted), and the image path comes last. Each argument reaches the
// program as one argv entry, spaces and all.
#ifndef QUILLOMAT_UI_IMAGES_EDITORCOMMANDLINE_H
#define QUILLOMAT_UI_IMAGES_EDITORCOMMANDLINE_H

#include <QString>
#include <QStringList>

struct EditorCommand {
    QString error;          // why the line cannot be used; the rest is empty then
    QString program;        // as the user wrote it; searched for in PATH unless it holds a '/'
    QStringList arguments;  // argv: the program first, the image path last

    bool isValid() const { return error.isEmpty(); }
};

EditorCommand parseEditorCommandLine(const QString &commandLine, const QString &imagePath);

// The arguments as the error message shows them: each one that contains a
// space between double quotes.
QStringList shownArguments(const QStringList &arguments);

// The message for a start that failed with errno `error`.
QString editorStartFailureText(int error, const EditorCommand &command);

#endif
