#include "UserServiceUnit.h"

#include <cstdio>

namespace {

bool isAsciiAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool hasControlCharacter(const std::string &text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return true;
    }
    return false;
}

} // namespace

std::string unitNameFor(const std::string &applicationName)
{
    std::string name;
    bool pendingDash = false;
    for (const char c : applicationName) {
        if (!isAsciiAlphanumeric(c)) {
            pendingDash = !name.empty();
            continue;
        }
        if (pendingDash)
            name += '-';
        pendingDash = false;
        name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return name.empty() ? name : name + ".service";
}

std::string execStartCommand(const std::string &path)
{
    // The manager takes an executable's name only without quotes, backslashes
    // and control characters; such a path goes to the shell as an argument,
    // where every byte can be written.
    bool direct = true;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\'' || c == '\\' || byte < 0x20 || byte == 0x7f)
            direct = false;
    }
    std::string word = "\"";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%') {
            word += "%%";  // a specifier otherwise
        } else if (c == '$' && !direct) {
            word += "$$";  // a variable otherwise (the executable's name has none)
        } else if (c == '"' || c == '\\') {
            word += '\\';
            word += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            // The manager turns \x back into the byte; the file stays plain
            // ASCII, one line per setting.
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            word += escaped;
        } else {
            word += c;
        }
    }
    word += '"';
    return direct ? word : "/bin/sh -c \"exec \\\"$$0\\\"\" " + word;
}

std::string unitFileText(const std::string &applicationName, const std::string &commandPath)
{
    if (hasControlCharacter(applicationName))
        return {};
    std::string text;
    text += "# Written by Quillomat's \"Register for Camera Events\"; removed by its\n";
    text += "# \"Unregister for Camera Events\".\n";
    text += "[Unit]\n";
    std::string description;
    for (const char c : applicationName)
        description += c == '%' ? std::string("%%") : std::string(1, c);
    text += "Description=" + description + "\n";
    text += "After=graphical-session.target\n";
    text += "\n";
    text += "[Service]\n";
    text += "Type=exec\n";
    text += "ExecStart=" + execStartCommand(commandPath) + "\n";
    text += "\n";
    text += "[Install]\n";
    text += std::string("WantedBy=") + kCameraTarget + "\n";
    return text;
}
