// Tolvane's command line: the text after the program name decides what it does.
#ifndef QUILLOMAT_TOOLS_TOLVANE_TOLVANECOMMAND_H
#define QUILLOMAT_TOOLS_TOLVANE_TOLVANECOMMAND_H

#include <string>
#include <string_view>

enum class TolvaneAction {
    Install,    // register the camera runtime
    Remove,     // remove its registration
    Usage,      // anything else: show how to call the tool
};

inline constexpr char kTolvaneCaption[] = "Tolvane";
inline constexpr char kTolvaneUsage[] =
    "Usage: Tolvane install OR remove\nRegisters/unregisters the Canon Powershot SDK DLLs";

// The whole command line after the program name: the arguments joined with single spaces.
std::string tolvaneCommandLine(int argc, const char *const argv[]);

// Leading white space is skipped; the rest must be "install" or "remove",
// in any case, and nothing else (not even a trailing blank).
TolvaneAction parseTolvaneCommand(std::string_view commandLine);

#endif
