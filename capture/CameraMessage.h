// The private messages the camera session and the release thread post to the
// main window, with their numbers (the window's user range plus 1001 to 1010;
// 2026 is not used). A posted message owns its payload.
#ifndef QUILLOMAT_CAPTURE_CAMERAMESSAGE_H
#define QUILLOMAT_CAPTURE_CAMERAMESSAGE_H

#include <cstdint>
#include <string>
#include <vector>

enum class CameraMessage : uint32_t {
    WM_CAMERA_UI_CHANGED = 2025,         // the camera's own controls changed a setting
    WM_CAMERA_TRANSFER_PROGRESS = 2027,  // wParam: full views still queued
    WM_CAMERA_RELEASE_START = 2028,
    WM_CAMERA_RELEASE_COMPLETE = 2029,
    WM_CAMERA_SHUTDOWN = 2030,           // wParam: the event's low 16 bits (the reason)
    WM_DISPLAY_SHOT_INFO = 2031,         // text: the short information text
    WM_DISPLAY_CAMERA_INFO = 2032,       // text: the long information text
    WM_DISPLAY_JPEG = 2033,              // bytes: a JPEG to show; wParam: its length
    WM_CAMERA_CARD_FULL = 2034,          // a release to the card was refused
    // Only to a window that asks for it (CameraWindow::wantsThumbnails): the
    // shot's thumbnail, for display until the full view has been transferred.
    WM_DISPLAY_THUMBNAIL = 2036,         // bytes: the thumbnail JPEG; wParam: its length
};

struct PostedMessage {
    CameraMessage message = CameraMessage::WM_CAMERA_UI_CHANGED;
    uint32_t wParam = 0;
    std::string text;
    std::vector<uint8_t> bytes;
};

// "WM_DISPLAY_JPEG" and the like, for logs and tests.
const char *cameraMessageName(CameraMessage message);

#endif
