// What the IPC dispatcher needs of the main window. Everything is called on
// the user-interface thread while one exchange is handled.
#ifndef QUILLOMAT_CAPTURE_IPCWINDOW_H
#define QUILLOMAT_CAPTURE_IPCWINDOW_H

#include "ImageNaming.h"

#include <cstdint>
#include <optional>
#include <string>

class IpcWindow {
public:
    enum class StepList { ShutterSpeed, Aperture };

    virtual ~IpcWindow() = default;

    // A camera session exists.
    virtual bool isConnected() const = 0;
    // A photo is being taken or transferred.
    virtual bool isBusy() const = 0;
    // The connected camera's model ("EOS D60").
    virtual std::string cameraModelName() const = 0;
    // The settings panel's mode text ("Mode: Manual").
    virtual std::string modeText() const = 0;

    // Runs the Release command as the Release button does (its refusals
    // show their boxes); true when a release was started.
    virtual bool release() = 0;

    // Entries in the Tv or Av list.
    virtual int listSize(StepList list) const = 0;
    // Selects `position` (within the list) and runs the list's change
    // handler; true when the list then shows that position and the camera
    // holds its value.
    virtual bool selectListPosition(StepList list, int position) = 0;

    // Makes the existing directory `path` the BaseDirectory and updates the
    // free-space text.
    virtual void setBaseDirectory(const std::string &path) = 0;
    // The settings the image directory is built from; none when the
    // preferences do not exist.
    virtual std::optional<ImageDirectorySettings> imageDirectorySettings() const = 0;
    // The date images are filed under.
    virtual LocalDate today() const = 0;

    // Puts the text into the comment box, written into each new image.
    virtual void setComment(const std::string &text) = 0;

    // What every answer carries in its window field: the process id.
    virtual uint32_t windowId() const = 0;
};

#endif
