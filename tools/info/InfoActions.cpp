#include "InfoActions.h"

#include "ImageInfo.h"
#include "ImageInfoFields.h"
#include "ImagePath.h"
#include "InfoText.h"

#include <cstring>

namespace {

// The texts separate lines with "\r\n"; a terminal wants "\n".
std::string withNewlines(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

// A field's value on one line: newlines inside it are written as "\n".
std::string oneLine(const std::string &value)
{
    std::string out;
    for (char c : value) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

bool isImagePath(const std::string &path)
{
    return hasExtension(path, ".jpg") || hasExtension(path, ".thm") || hasExtension(path, ".crw");
}

// A file that records neither an exposure time nor an aperture (no EXIF, a
// CRW without its THM, a scan) would print only empty labels.
bool hasShootingInformation(const ImageInfo &info)
{
    return info.m_exposureTime > 0 || info.m_aperture > 0;
}

} // namespace

void printUsage(std::FILE *out)
{
    std::fputs("Usage: quillomat-info [--fields] FILE...\n"
               "Prints the shooting information of each JPEG, THM or CRW file:\n"
               "the short text, then the long text. With --fields it also prints\n"
               "every field of the record as \"name: value\", one a line.\n",
               out);
}

bool parseInfoOptions(int argc, char **argv, InfoOptions &options, bool &help)
{
    help = false;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && arg == "--fields") {
            options.fields = true;
        } else if (!onlyFiles && (arg == "--help" || arg == "-h")) {
            help = true;
        } else if (!onlyFiles && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(options.err, "quillomat-info: unknown option %s\n", arg.c_str());
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    if (!help && options.files.empty()) {
        std::fputs("quillomat-info: no file given\n", options.err);
        return false;
    }
    return true;
}

int actionInfo(InfoOptions &options)
{
    int status = 0;
    bool first = true;
    for (const std::string &path : options.files) {
        if (!fileExists(path)) {
            std::fprintf(options.err, "quillomat-info: %s: no such file\n", path.c_str());
            status = 1;
            continue;
        }
        if (!isImagePath(path)) {
            std::fprintf(options.err, "quillomat-info: %s: not a .jpg, .thm or .crw file\n", path.c_str());
            status = 1;
            continue;
        }
        const ImageInfo info(path);
        if (!hasShootingInformation(info)) {
            std::fprintf(options.err, "No shooting information in %s\n", path.c_str());
            status = 1;
            continue;
        }
        // The long text may adjust the record's metering text; the fields show the record as read.
        ImageInfo forText = info;
        if (!first)
            std::fputc('\n', options.out);
        first = false;
        if (options.files.size() > 1)
            std::fprintf(options.out, "== %s\n", path.c_str());
        std::fprintf(options.out, "%s\n\n", withNewlines(shotInfoText(forText)).c_str());
        std::fprintf(options.out, "%s\n", withNewlines(cameraInfoText(forText)).c_str());
        if (options.fields) {
            std::fputc('\n', options.out);
            for (const auto &[name, value] : imageInfoFields(info))
                std::fprintf(options.out, "%s: %s\n", name.c_str(), oneLine(value).c_str());
        }
    }
    if (std::fflush(options.out) != 0) {
        std::fputs("quillomat-info: cannot write the output\n", options.err);
        status = 1;
    }
    return status;
}
