// Where images are saved and what they are called.
//
// Images go into a directory built from the base directory and the local date
// (by default <base>/2002-05-17/) under camera-style names that continue after
// the highest number already there: IMG_0001.JPG, or CRW_0001.THM followed by
// CRW_0001.CRW for a raw shot, optionally behind a user prefix. Past 9999 the
// numbers take five digits (IMG_10000.JPG), and the scan reads those too;
// longer digit runs (IMG_20240101.JPG, a date) are not image numbers.
//
// Paths use "/" and directory texts end with "/". A path beginning with "//"
// is a network path: the server and share are taken as given.
#ifndef QUILLOMAT_CAPTURE_IMAGENAMING_H
#define QUILLOMAT_CAPTURE_IMAGENAMING_H

#include <cstdint>
#include <optional>
#include <string>

// The settings the naming depends on.
struct ImageDirectorySettings {
    std::string baseDirectory;
    std::string filenamePrefix;
    bool yearSubDir = true;
    bool monthSubDir = true;
    bool daySubDir = true;
    bool flattenDate = true;
};

struct LocalDate {
    int year = 1970;
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31

    static LocalDate today();
};

enum class ImageKind {
    Raw = 0,           // CRW_nnnn.CRW
    Jpeg = 1,          // IMG_nnnn.JPG
    RawThumbnail = 2,  // CRW_nnnn.THM
};

// Highest numbers already used under one file base (0 when none).
struct ImageNumbers {
    int64_t thm = 0;
    int64_t crw = 0;
    int64_t jpg = 0;
};

// The image directory for `date`, ending in "/".
std::string imageDirectory(const ImageDirectorySettings &settings, const LocalDate &date);

// Makes sure every level of the image directory exists before a release.
// Returns the text to show the user for the first level that cannot be
// created or is not a directory, nothing when all is well. Network paths are
// not checked.
std::optional<std::string> checkImageDirectory(const ImageDirectorySettings &settings, const LocalDate &date);

// True for a path beginning with "//" or one that lies on a network file
// system (judged by its nearest existing level).
bool isNetworkPath(const std::string &path);

// True when `path` is a directory or could be created with its parents.
// Only absolute and network paths are created.
bool ensureDirectory(const std::string &path);

// Scans the directory part of `fileBase` for names that begin with the rest of
// it (the prefix), ignoring case, and returns the highest numbers found.
ImageNumbers scanImageNumbers(const std::string &fileBase);

// The number the next file of `kind` takes: a CRW takes the number of a THM
// written just before it for the same shot.
int64_t nextImageNumber(ImageKind kind, const ImageNumbers &highest);

// "IMG_0042.JPG" and the like; at least four digits.
std::string imageFileName(ImageKind kind, int64_t number);

// The directory with the prefix appended: the text every image name follows.
std::string imageFileBase(const ImageDirectorySettings &settings, const LocalDate &date);

// Full path of the next file of `kind`. Creates the directory if it can; a
// directory that cannot be created shows up when the file is written.
std::string makeImagePath(ImageKind kind, const ImageDirectorySettings &settings, const LocalDate &date);

#endif
