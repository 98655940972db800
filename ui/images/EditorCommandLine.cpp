#include "EditorCommandLine.h"

#include <cerrno>

namespace {

const QChar kQuote = QLatin1Char('"');
const QChar kSpace = QLatin1Char(' ');

// Splits at the first space, then at every later run of spaces.
QStringList words(QString rest)
{
    QStringList result;
    for (qsizetype space = rest.indexOf(kSpace); space >= 0; space = rest.indexOf(kSpace)) {
        result << rest.left(space);
        rest = rest.mid(space + 1);
        qsizetype start = 0;
        while (start < rest.size() && rest.at(start) == kSpace)
            ++start;
        rest = rest.mid(start);
    }
    if (!rest.isEmpty())
        result << rest;
    return result;
}

}  // namespace

EditorCommand parseEditorCommandLine(const QString &commandLine, const QString &imagePath)
{
    EditorCommand command;
    const QString line = commandLine.trimmed();
    // The searches ignore case; the parts keep the case the user wrote.
    QString program;
    QString rest;
    if (line.startsWith(kQuote)) {
        // From position 2: a one-character name is refused, and a quote
        // straight after the opening one is never the closing one.
        const qsizetype closing = line.indexOf(kQuote, 2);
        if (closing < 0 || closing == 2) {
            command.error = QStringLiteral("Invalid command line - no closing quotes:\n") + commandLine;
            return command;
        }
        program = line.mid(1, closing - 1);
        rest = line.mid(closing + 1);
    } else if (const qsizetype exe = line.indexOf(QStringLiteral(".exe"), 0, Qt::CaseInsensitive); exe > 0) {
        program = line.left(exe + 4);
        rest = line.mid(exe + 4);
    } else {
        const qsizetype space = line.indexOf(kSpace);
        program = space < 0 ? line : line.left(space);
        rest = space < 0 ? QString() : line.mid(space + 1);
    }
    command.program = program.trimmed();
    command.arguments << command.program << words(rest.trimmed()) << imagePath;
    return command;
}

QStringList shownArguments(const QStringList &arguments)
{
    QStringList shown;
    for (const QString &argument : arguments)
        shown << (argument.contains(kSpace) ? kQuote + argument + kQuote : argument);
    return shown;
}

QString editorStartFailureText(int error, const EditorCommand &command)
{
    QString text = QStringLiteral("Error trying to edit file:\n");
    switch (error) {
    case ENOENT:
        text += QStringLiteral("ENOENT: File or path not found\n");
        break;
    case E2BIG:
        text += QStringLiteral("E2BIG: Argument list exceeds 1024 bytes\n");
        break;
    case ENOEXEC:
    case EACCES:  // a file without execute permission: not an executable here
        text += QStringLiteral("ENOEXEC: Specified file is not executable or has invalid executable-file format\n");
        break;
    case ENOMEM:
        text += QStringLiteral("ENOMEM: Not enough memory is available to execute new process\n");
        break;
    default:
        break;
    }
    text += QStringLiteral("cmd: ") + command.program + QStringLiteral("\n");
    const QStringList shown = shownArguments(command.arguments);
    for (qsizetype i = 0; i < shown.size(); ++i)
        text += QStringLiteral("arg ") + QString::number(i) + QStringLiteral(": ") + shown.at(i) + QStringLiteral("\n");
    return text;
}
