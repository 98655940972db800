#include "EditorCommandLine.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

const QString kImage = QStringLiteral("/home/anna/Pics/IMG_0001.JPG");

std::vector<std::string> list(const QStringList &texts)
{
    std::vector<std::string> result;
    for (const QString &text : texts)
        result.push_back(text.toStdString());
    return result;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(EditorCommandLine, AQuotedProgramWithSpacesKeepsItsCase)
{
    // A quote, the program, a quote, two spaces and -n.
    const EditorCommand command =
        parseEditorCommandLine(QStringLiteral("\"/opt/Photo Editor/Edit.BIN\"  -n"), kImage);
    ASSERT_TRUE(command.isValid()) << command.error.toStdString();
    EXPECT_EQ(command.program.toStdString(), "/opt/Photo Editor/Edit.BIN");
    EXPECT_EQ(list(command.arguments), (Strings{"/opt/Photo Editor/Edit.BIN", "-n", kImage.toStdString()}));
    // Only the message puts the program in quotes.
    EXPECT_EQ(list(shownArguments(command.arguments)),
              (Strings{"\"/opt/Photo Editor/Edit.BIN\"", "-n", kImage.toStdString()}));
}

TEST(EditorCommandLine, TheLineIsTrimmedFirst)
{
    const EditorCommand command = parseEditorCommandLine(QStringLiteral("  \t\"ab\" x  \n"), kImage);
    ASSERT_TRUE(command.isValid());
    EXPECT_EQ(command.program.toStdString(), "ab");
    EXPECT_EQ(list(command.arguments), (Strings{"ab", "x", kImage.toStdString()}));
}

TEST(EditorCommandLine, AOneCharacterOrUnclosedQuotedNameIsRefused)
{
    for (const char *line : {"\"a\" x", "\"abc x", "\"", "\"\"", "\"\" x"}) {
        const EditorCommand command = parseEditorCommandLine(QString::fromLatin1(line), kImage);
        EXPECT_FALSE(command.isValid()) << line;
        // The setting as stored, untrimmed.
        EXPECT_EQ(command.error.toStdString(), std::string("Invalid command line - no closing quotes:\n") + line);
        EXPECT_TRUE(command.arguments.isEmpty());
    }
    const EditorCommand padded = parseEditorCommandLine(QStringLiteral(" \"a\" "), kImage);
    EXPECT_EQ(padded.error.toStdString(), "Invalid command line - no closing quotes:\n \"a\" ");
}

TEST(EditorCommandLine, AQuoteRightAfterTheOpeningOneIsNotTheClosingOne)
{
    const EditorCommand command = parseEditorCommandLine(QStringLiteral("\"\"ab\" -x"), kImage);
    ASSERT_TRUE(command.isValid());
    EXPECT_EQ(command.program.toStdString(), "\"ab");
    EXPECT_EQ(list(command.arguments), (Strings{"\"ab", "-x", kImage.toStdString()}));
}

TEST(EditorCommandLine, AnUnquotedPathEndsAtDotExe)
{
    const EditorCommand command =
        parseEditorCommandLine(QStringLiteral("/home/anna/.wine/drive_c/Program Files/Ed/Ed.EXE -a  -b"), kImage);
    ASSERT_TRUE(command.isValid());
    EXPECT_EQ(command.program.toStdString(), "/home/anna/.wine/drive_c/Program Files/Ed/Ed.EXE");
    EXPECT_EQ(list(command.arguments), (Strings{"/home/anna/.wine/drive_c/Program Files/Ed/Ed.EXE", "-a", "-b",
                                                kImage.toStdString()}));
}

TEST(EditorCommandLine, DotExeAtTheStartDoesNotEndTheProgram)
{
    const EditorCommand command = parseEditorCommandLine(QStringLiteral(".exeditor --x"), kImage);
    ASSERT_TRUE(command.isValid());
    EXPECT_EQ(command.program.toStdString(), ".exeditor");
    EXPECT_EQ(list(command.arguments), (Strings{".exeditor", "--x", kImage.toStdString()}));
}

TEST(EditorCommandLine, OtherwiseTheFirstWordIsTheProgram)
{
    EXPECT_EQ(list(parseEditorCommandLine(QStringLiteral("gimp"), kImage).arguments),
              (Strings{"gimp", kImage.toStdString()}));
    const EditorCommand command = parseEditorCommandLine(QStringLiteral("darktable   --library :memory:"), kImage);
    EXPECT_EQ(command.program.toStdString(), "darktable");
    EXPECT_EQ(list(command.arguments), (Strings{"darktable", "--library", ":memory:", kImage.toStdString()}));
}

TEST(EditorCommandLine, QuotesInTheArgumentsAreNotInterpreted)
{
    const EditorCommand command = parseEditorCommandLine(QStringLiteral("\"ed\" -title \"my pic\""), kImage);
    EXPECT_EQ(list(command.arguments), (Strings{"ed", "-title", "\"my", "pic\"", kImage.toStdString()}));
}

TEST(EditorCommandLine, AnEmptyLineGivesAnEmptyProgram)
{
    const EditorCommand command = parseEditorCommandLine(QString(), kImage);
    ASSERT_TRUE(command.isValid());
    EXPECT_EQ(command.program.toStdString(), "");
    EXPECT_EQ(list(command.arguments), (Strings{"", kImage.toStdString()}));
}

TEST(EditorCommandLine, AnImagePathWithSpacesIsOneArgument)
{
    const QString image = QStringLiteral("/home/anna/My Pictures/IMG_0002.JPG");
    const EditorCommand command = parseEditorCommandLine(QStringLiteral("gimp -n"), image);
    EXPECT_EQ(list(command.arguments), (Strings{"gimp", "-n", image.toStdString()}));
    EXPECT_EQ(list(shownArguments(command.arguments)),
              (Strings{"gimp", "-n", "\"/home/anna/My Pictures/IMG_0002.JPG\""}));
}

TEST(EditorCommandLine, TheFailureTextNamesTheErrorTheProgramAndEachArgument)
{
    const EditorCommand command =
        parseEditorCommandLine(QStringLiteral("\"/opt/Photo Editor/Edit.BIN\"  -n"), QStringLiteral("/p/a b.JPG"));
    EXPECT_EQ(editorStartFailureText(ENOENT, command).toStdString(),
              "Error trying to edit file:\n"
              "ENOENT: File or path not found\n"
              "cmd: /opt/Photo Editor/Edit.BIN\n"
              "arg 0: \"/opt/Photo Editor/Edit.BIN\"\n"
              "arg 1: -n\n"
              "arg 2: \"/p/a b.JPG\"\n");
    EXPECT_TRUE(editorStartFailureText(E2BIG, command).startsWith(
        QStringLiteral("Error trying to edit file:\nE2BIG: Argument list exceeds 1024 bytes\ncmd: ")));
    const QString notExecutable = QStringLiteral(
        "Error trying to edit file:\nENOEXEC: Specified file is not executable or has invalid executable-file format\n"
        "cmd: ");
    EXPECT_TRUE(editorStartFailureText(ENOEXEC, command).startsWith(notExecutable));
    EXPECT_TRUE(editorStartFailureText(EACCES, command).startsWith(notExecutable));
    EXPECT_TRUE(editorStartFailureText(ENOMEM, command).startsWith(QStringLiteral(
        "Error trying to edit file:\nENOMEM: Not enough memory is available to execute new process\ncmd: ")));
    // Any other number has no line of its own.
    EXPECT_TRUE(editorStartFailureText(EIO, command).startsWith(QStringLiteral("Error trying to edit file:\ncmd: ")));
}

TEST(EditorCommandLine, AnEmptyProgramShowsAnEmptyCmdLine)
{
    const EditorCommand command = parseEditorCommandLine(QString(), QStringLiteral("/p/IMG_0001.JPG"));
    EXPECT_EQ(editorStartFailureText(ENOENT, command).toStdString(),
              "Error trying to edit file:\nENOENT: File or path not found\ncmd: \narg 0: \narg 1: /p/IMG_0001.JPG\n");
}
