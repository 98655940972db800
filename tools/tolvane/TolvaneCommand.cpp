#include "TolvaneCommand.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view text, std::string_view word)
{
    if (text.size() != word.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != word[i])
            return false;
    }
    return true;
}

} // namespace

std::string tolvaneCommandLine(int argc, const char *const argv[])
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        if (argv[i] != nullptr)
            line += argv[i];
    }
    return line;
}

TolvaneAction parseTolvaneCommand(std::string_view commandLine)
{
    size_t start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start]))
        ++start;
    const std::string_view argument = commandLine.substr(start);
    if (equalsIgnoringCase(argument, "install"))
        return TolvaneAction::Install;
    if (equalsIgnoringCase(argument, "remove"))
        return TolvaneAction::Remove;
    return TolvaneAction::Usage;
}
