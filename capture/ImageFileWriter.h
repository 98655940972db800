// Saves image bytes under the next free image name without ever replacing a
// file: the bytes go to a hidden temporary file in the target folder, are
// flushed to disk, and only then take the next free name in one step that
// fails rather than overwrite (a no-replace rename; where the file system
// refuses that, a hard link; where it refuses links too, the name is created
// exclusively and the bytes written and flushed into it). When that name was
// taken meanwhile (another copy of the program, another process) the next
// number is used. A failure leaves nothing behind.
#ifndef QUILLOMAT_CAPTURE_IMAGEFILEWRITER_H
#define QUILLOMAT_CAPTURE_IMAGEFILEWRITER_H

#include "ImageFileCalls.h"
#include "ImageNaming.h"

#include <cstddef>
#include <string>

enum class ImageFileStatus {
    Written,       // the file is complete under `path`
    CannotCreate,  // no file could be made in the folder; `path` is the name it would have had
    DiskFull,      // the disk or the user's quota ran out while writing
    WriteError,    // any other error while writing or flushing
};

struct ImageFileResult {
    ImageFileStatus status = ImageFileStatus::CannotCreate;
    std::string path;
    int error = 0;  // errno of the failure, 0 on success
};

// Writes `size` bytes as the next image of `kind` in the image directory for
// `date`, creating the directory if needed.
ImageFileResult writeImageFile(ImageKind kind, const ImageDirectorySettings &settings, const LocalDate &date,
                               const void *data, std::size_t size);
// The same through the given system calls.
ImageFileResult writeImageFileUsing(const ImageFileCalls &calls, ImageKind kind, const ImageDirectorySettings &settings,
                                    const LocalDate &date, const void *data, std::size_t size);

#endif
