// The actions of quillomat-info, over the same reader and texts the window uses.
#ifndef QUILLOMAT_TOOLS_INFO_INFOACTIONS_H
#define QUILLOMAT_TOOLS_INFO_INFOACTIONS_H

#include <cstdio>
#include <string>
#include <vector>

struct InfoOptions {
    bool fields = false;          // --fields: every record field as "name: value"
    std::vector<std::string> files;
    std::FILE *out = stdout;
    std::FILE *err = stderr;
};

// Parses the command line; false (with a message on err) for a usage error.
bool parseInfoOptions(int argc, char **argv, InfoOptions &options, bool &help);
void printUsage(std::FILE *out);
// Prints the texts (and fields) of every file. Returns the exit status:
// 0, or 1 when a file could not be read or holds no shooting information.
int actionInfo(InfoOptions &options);

#endif
