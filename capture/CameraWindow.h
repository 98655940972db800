// What the camera session and its release thread need of the main window.
//
// Three threads call in: the user-interface thread (the session's release and
// lock operations), the driver's thread (camera events) and the release
// thread (image transfer and saving). Posted messages and the direct calls
// must reach the window's user interface in the order they were made: an
// implementation that runs its user interface on another thread queues both
// kinds onto that thread (a Qt window queues the calls as events, a console
// prints at once, a test records them).
//
// No operation may throw, and none may wait for the user-interface thread
// while that thread may be destroying the session (the destructor waits for
// the release thread), except through the exception box's reply, which the
// session's teardown cancels.
#ifndef QUILLOMAT_CAPTURE_CAMERAWINDOW_H
#define QUILLOMAT_CAPTURE_CAMERAWINDOW_H

#include "CameraMessage.h"
#include "ImageNaming.h"
#include "ModalReply.h"

#include <cstdint>
#include <string>

class CameraWindow {
public:
    virtual ~CameraWindow() = default;

    // Queues a message for the window and returns at once; the window owns
    // the payload. Driver's thread and release thread.
    virtual void postMessage(PostedMessage message) = 0;

    // The main window's error box (a time-lapse run takes the text instead).
    // User-interface thread (a release that cannot start) and release thread
    // (a file that cannot be written).
    virtual void showError(const std::string &text) = 0;
    // The status line. Release thread.
    virtual void setStatusText(const std::string &text) = 0;
    // Transfer progress 0 to 100 of the image being fetched. Release thread,
    // from inside the transfer: keep it short.
    virtual void setProgress(uint16_t value) = 0;
    // One image file was saved (its path), or nothing was saved for a full
    // view (empty). Release thread.
    virtual void onImageSaved(const std::string &path) = 0;
    // A release could not start: the texts are two empty ones and the error.
    // User-interface thread.
    virtual void endReleaseInUi(const std::string &first, const std::string &second,
                                const std::string &error) = 0;
    // The release thread's error box, titled "Exception Error (ReleaseThread)"
    // with the error icon and owned by the main window. The release thread
    // waits until reply.close() has been called (from any thread, at any
    // time, also after the session is gone) or the session is torn down.
    virtual void showExceptionBox(const std::string &text, ModalReply reply) = 0;

    // Where images go and what they are called, as the settings say now.
    // User-interface thread (before a release) and release thread (for each
    // file).
    virtual ImageDirectorySettings imageDirectorySettings() const = 0;

    // True when the window shows a saved shot's thumbnail while its full view
    // is still crossing the cable (WM_DISPLAY_THUMBNAIL). Release thread.
    virtual bool wantsThumbnails() const { return false; }
};

#endif
