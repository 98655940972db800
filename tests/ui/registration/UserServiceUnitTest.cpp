// The user service's name and text, and the ExecStart command checked by the
// service manager's own parser where systemd-analyze is installed.
#include "FakeSystemctl.h"
#include "UserServiceUnit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

TEST(UserServiceUnit, UnitNameIsTheApplicationNameInLowerCaseWithDashes)
{
    EXPECT_EQ(unitNameFor("Vantorel Systems Quillomat"), "vantorel-systems-quillomat.service");
    EXPECT_EQ(unitNameFor("  A  b--C9 "), "a-b-c9.service");
    EXPECT_EQ(unitNameFor("Caf\xc3\xa9 Pro"), "caf-pro.service");
    EXPECT_EQ(unitNameFor("../x"), "x.service");
    EXPECT_EQ(unitNameFor(""), "");
    EXPECT_EQ(unitNameFor(" -/. "), "");
}

TEST(UserServiceUnit, ASafePathIsQuotedWithSpecifiersDoubled)
{
    EXPECT_EQ(execStartCommand("/usr/lib/quillomat/quillomat"), "\"/usr/lib/quillomat/quillomat\"");
    EXPECT_EQ(execStartCommand("/opt/My Apps/quillomat"), "\"/opt/My Apps/quillomat\"");
    EXPECT_EQ(execStartCommand("/opt/100%/q"), "\"/opt/100%%/q\"");
    // An executable's name gets no variable expansion.
    EXPECT_EQ(execStartCommand("/opt/$HOME/q"), "\"/opt/$HOME/q\"");
    EXPECT_EQ(execStartCommand("/opt/caf\xc3\xa9/q"), "\"/opt/caf\\xc3\\xa9/q\"");
    EXPECT_EQ(execStartCommand("/opt/a;b/q"), "\"/opt/a;b/q\"");
}

TEST(UserServiceUnit, APathTheManagerRefusesAsAnExecutableGoesThroughTheShell)
{
    const std::string shell = "/bin/sh -c \"exec \\\"$$0\\\"\" ";
    EXPECT_EQ(execStartCommand("/opt/say \"hi\"/q"), shell + "\"/opt/say \\\"hi\\\"/q\"");
    EXPECT_EQ(execStartCommand("/opt/it's/q"), shell + "\"/opt/it's/q\"");
    EXPECT_EQ(execStartCommand("/opt/back\\slash/q"), shell + "\"/opt/back\\\\slash/q\"");
    // A new line cannot end the setting early: the file keeps one line per setting.
    EXPECT_EQ(execStartCommand("/opt/two\nlines/q"), shell + "\"/opt/two\\x0alines/q\"");
    EXPECT_EQ(execStartCommand("/opt/$x\n%/q"), shell + "\"/opt/$$x\\x0a%%/q\"");
}

TEST(UserServiceUnit, TheUnitIsWantedByTheCameraTarget)
{
    EXPECT_EQ(unitFileText("Vantorel Systems Quillomat", "/usr/lib/quillomat/quillomat"),
              "# Written by Quillomat's \"Register for Camera Events\"; removed by its\n"
              "# \"Unregister for Camera Events\".\n"
              "[Unit]\n"
              "Description=Vantorel Systems Quillomat\n"
              "After=graphical-session.target\n"
              "\n"
              "[Service]\n"
              "Type=exec\n"
              "ExecStart=\"/usr/lib/quillomat/quillomat\"\n"
              "\n"
              "[Install]\n"
              "WantedBy=quillomat-camera.target\n");
    EXPECT_NE(unitFileText("50% off", "/q").find("Description=50%% off\n"), std::string::npos);
    EXPECT_EQ(unitFileText("two\nlines", "/q"), "");
}

// systemd-analyze parses the unit as the manager would and says when the
// command it decoded names no executable file.
bool managerAcceptsUnit(const std::filesystem::path &unit, std::string *output)
{
    const std::string command = "systemd-analyze verify '" + unit.string() + "' 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe))
        *output += buffer;
    return pclose(pipe) == 0;
}

TEST(UserServiceUnit, TheManagerFindsTheProgramAtAnAwkwardPath)
{
    if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    TemporaryFolder folder;
    for (const std::string name : {"plain", "with space", "100%d", "$HOME", "caf\xc3\xa9", "latin\xe9"}) {
        const std::filesystem::path program = folder.path() / name / "quillomat";
        std::filesystem::create_directories(program.parent_path());
        std::filesystem::copy_file("/bin/true", program);
        const std::filesystem::path unit = folder.path() / "check.service";
        writeText(unit, unitFileText("Vantorel Systems Quillomat", program.string()));
        std::string output;
        EXPECT_TRUE(managerAcceptsUnit(unit, &output)) << name << ": " << output;
        // The same unit naming a file that is not there is refused: the check can fail.
        writeText(unit, unitFileText("Vantorel Systems Quillomat", program.string() + "-missing"));
        output.clear();
        EXPECT_FALSE(managerAcceptsUnit(unit, &output)) << name;
        EXPECT_NE(output.find("not executable"), std::string::npos) << name << ": " << output;
    }
}

} // namespace
