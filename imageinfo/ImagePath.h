// File-name rules shared by the reader and the comment and rotation
// operations: a file's type is decided by the last four characters of its
// path, compared without regard to case; a raw image's THM and CRW differ
// only in the last three characters.
#ifndef QUILLOMAT_IMAGEINFO_IMAGEPATH_H
#define QUILLOMAT_IMAGEINFO_IMAGEPATH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// True when the path ends with the extension (".jpg", ".thm", ".crw"), ignoring case.
bool hasExtension(std::string_view path, std::string_view extension);
// The path with its last three characters replaced (e.g. by "thm").
std::string replaceExtension(std::string_view path, std::string_view extension);
// The other file of a raw image ("thm" beside a CRW, "crw" beside a THM): the
// last three characters replaced in the case of the ones they replace, or in
// the other case when only such a file exists (file names are case-sensitive
// here, and cameras write upper-case names).
std::string companionPath(std::string_view path, std::string_view extension);
bool fileExists(const std::string &path);
// Reads at most maxBytes of a regular file. False when it cannot be opened or read.
bool readFileBytes(const std::string &path, std::vector<uint8_t> &bytes, size_t maxBytes);
// ASCII comparison ignoring case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string toLowerAscii(std::string_view text);
// The text without trailing spaces, tabs, carriage returns and newlines.
std::string trimTrailingWhiteSpace(std::string_view text);

// The largest image file the reader loads; a camera file is a few megabytes.
constexpr size_t MAX_IMAGE_FILE_BYTES = size_t(64) * 1024 * 1024;

#endif
