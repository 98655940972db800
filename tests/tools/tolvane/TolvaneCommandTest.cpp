#include "TolvaneCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CommandCase {
    const char *text;
    TolvaneAction expected;
};

void PrintTo(const CommandCase &c, std::ostream *os)
{
    *os << '"';
    for (const char *p = c.text; *p != '\0'; ++p)
        *os << (*p == '\t' ? "\\t" : std::string(1, *p));
    *os << '"';
}

class TolvaneParse : public testing::TestWithParam<CommandCase> {};

TEST_P(TolvaneParse, WholeTextMustBeOneWord)
{
    EXPECT_EQ(parseTolvaneCommand(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, TolvaneParse,
    testing::Values(CommandCase{"install", TolvaneAction::Install}, CommandCase{"INSTALL", TolvaneAction::Install},
                    CommandCase{"InStAlL", TolvaneAction::Install}, CommandCase{"remove", TolvaneAction::Remove},
                    CommandCase{"Remove", TolvaneAction::Remove}, CommandCase{"REMOVE", TolvaneAction::Remove},
                    // Leading white space is skipped, trailing white space is not.
                    CommandCase{"   install", TolvaneAction::Install}, CommandCase{"\tremove", TolvaneAction::Remove},
                    CommandCase{"install ", TolvaneAction::Usage}, CommandCase{"remove\t", TolvaneAction::Usage},
                    CommandCase{"install remove", TolvaneAction::Usage}, CommandCase{"remove install", TolvaneAction::Usage},
                    CommandCase{"", TolvaneAction::Usage}, CommandCase{"   ", TolvaneAction::Usage},
                    CommandCase{"instal", TolvaneAction::Usage}, CommandCase{"installs", TolvaneAction::Usage},
                    CommandCase{"uninstall", TolvaneAction::Usage}, CommandCase{"/install", TolvaneAction::Usage},
                    CommandCase{"-remove", TolvaneAction::Usage}, CommandCase{"\"install\"", TolvaneAction::Usage}));

TEST(TolvaneCommandLine, JoinsArgumentsWithSingleSpaces)
{
    const char *none[] = {"tolvane"};
    EXPECT_EQ(tolvaneCommandLine(1, none), "");
    const char *one[] = {"tolvane", "install"};
    EXPECT_EQ(tolvaneCommandLine(2, one), "install");
    const char *two[] = {"tolvane", "install", "remove"};
    EXPECT_EQ(tolvaneCommandLine(3, two), "install remove");
    const char *emptyLast[] = {"tolvane", "install", ""};
    EXPECT_EQ(tolvaneCommandLine(3, emptyLast), "install ");
    EXPECT_EQ(tolvaneCommandLine(0, nullptr), "");
}

TEST(TolvaneCommandLine, ArgumentsThatSplitAWordOrAddABlankShowUsage)
{
    const char *split[] = {"tolvane", "in", "stall"};
    EXPECT_EQ(parseTolvaneCommand(tolvaneCommandLine(3, split)), TolvaneAction::Usage);
    const char *blank[] = {"tolvane", "remove", ""};
    EXPECT_EQ(parseTolvaneCommand(tolvaneCommandLine(3, blank)), TolvaneAction::Usage);
    const char *leading[] = {"tolvane", "", "Install"};
    EXPECT_EQ(parseTolvaneCommand(tolvaneCommandLine(3, leading)), TolvaneAction::Install);
}

} // namespace
