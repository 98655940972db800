#include "ArgvRecorder.h"
#include "EditorCommandLine.h"
#include "EditorLauncher.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cerrno>

namespace {

using Strings = std::vector<std::string>;

Strings list(const QStringList &texts)
{
    Strings result;
    for (const QString &text : texts)
        result.push_back(text.toStdString());
    return result;
}

// Puts `folder` in front of PATH for as long as it lives.
class PathPrefix {
public:
    explicit PathPrefix(const QString &folder) : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(folder) + ':' + m_saved);
    }
    ~PathPrefix() { qputenv("PATH", m_saved); }
    PathPrefix(const PathPrefix &) = delete;
    PathPrefix &operator=(const PathPrefix &) = delete;

private:
    QByteArray m_saved;
};

}  // namespace

TEST(EditorLauncher, TheWorkedExampleReachesTheProgramAsSeparateArguments)
{
    ArgvRecorder recorder;
    const QString program = recorder.install(QStringLiteral("Photo Editor/Edit.SH"));
    ASSERT_FALSE(program.isEmpty());
    const QString image = recorder.folder() + QStringLiteral("/My Pics/IMG_0001.JPG");
    const EditorCommand command =
        parseEditorCommandLine(QStringLiteral("\"") + program + QStringLiteral("\"  -n"), image);
    ASSERT_TRUE(command.isValid());
    ASSERT_EQ(startDetachedProgram(command.program, command.arguments), 0);
    ASSERT_TRUE(recorder.waitForRecords(1));
    // No quotes reach the program: each argument is one argv entry.
    EXPECT_EQ(list(recorder.records()[0]), (Strings{program.toStdString(), "-n", image.toStdString()}));
}

TEST(EditorLauncher, TheProgramIsSearchedForInPath)
{
    ArgvRecorder recorder;
    ASSERT_FALSE(recorder.install(QStringLiteral("bin/quillomat-test-editor")).isEmpty());
    const PathPrefix path(recorder.folder() + QStringLiteral("/bin"));
    const EditorCommand command =
        parseEditorCommandLine(QStringLiteral("quillomat-test-editor --library :memory:"), QStringLiteral("/p/x.JPG"));
    ASSERT_EQ(startDetachedProgram(command.program, command.arguments), 0);
    ASSERT_TRUE(recorder.waitForRecords(1));
    const QStringList record = recorder.records()[0];
    EXPECT_EQ(record.first(), recorder.folder() + QStringLiteral("/bin/quillomat-test-editor"));
    EXPECT_EQ(list(record.mid(1)), (Strings{"--library", ":memory:", "/p/x.JPG"}));
}

TEST(EditorLauncher, TheCaseOfTheProgramAsWrittenIsKept)
{
    ArgvRecorder recorder;
    const QString program = recorder.install(QStringLiteral("Editors/EDIT.sh"));
    EXPECT_EQ(startDetachedProgram(program, {program, QStringLiteral("/p/x.JPG")}), 0);
    EXPECT_TRUE(recorder.waitForRecords(1));
    // The lower-case name is another file here.
    EXPECT_EQ(startDetachedProgram(program.toLower(), {program.toLower(), QStringLiteral("/p/x.JPG")}), ENOENT);
}

TEST(EditorLauncher, AMissingProgramIsENOENT)
{
    EXPECT_EQ(startDetachedProgram(QStringLiteral("/nonexistent/editor"), {QStringLiteral("/nonexistent/editor")}),
              ENOENT);
    EXPECT_EQ(startDetachedProgram(QStringLiteral("quillomat-no-such-editor"), {QStringLiteral("x")}), ENOENT);
    EXPECT_EQ(startDetachedProgram(QString(), {QString(), QStringLiteral("/p/x.JPG")}), ENOENT);
}

TEST(EditorLauncher, AFailedExecInTheChildIsReported)
{
    ArgvRecorder recorder;
    // Not executable at all.
    const QString plain = recorder.folder() + QStringLiteral("/notes.txt");
    {
        QFile file(plain);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("just text\n");
    }
    EXPECT_EQ(startDetachedProgram(plain, {plain}), EACCES);
    // Executable, but no program the system can run.
    const QString garbage = recorder.folder() + QStringLiteral("/garbage");
    {
        QFile file(garbage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64, '\x7f'));
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EXPECT_EQ(startDetachedProgram(garbage, {garbage}), ENOEXEC);
    EXPECT_TRUE(recorder.records().empty());
}

TEST(EditorLauncher, AnOverlongArgumentIsE2BIG)
{
    ArgvRecorder recorder;
    const QString program = recorder.install(QStringLiteral("edit"));
    // Longer than the kernel takes for a single argument.
    const QString huge(300 * 1024, QLatin1Char('x'));
    EXPECT_EQ(startDetachedProgram(program, {program, huge}), E2BIG);
}
