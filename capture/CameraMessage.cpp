#include "CameraMessage.h"

const char *cameraMessageName(CameraMessage message)
{
    switch (message) {
    case CameraMessage::WM_CAMERA_UI_CHANGED:
        return "WM_CAMERA_UI_CHANGED";
    case CameraMessage::WM_CAMERA_TRANSFER_PROGRESS:
        return "WM_CAMERA_TRANSFER_PROGRESS";
    case CameraMessage::WM_CAMERA_RELEASE_START:
        return "WM_CAMERA_RELEASE_START";
    case CameraMessage::WM_CAMERA_RELEASE_COMPLETE:
        return "WM_CAMERA_RELEASE_COMPLETE";
    case CameraMessage::WM_CAMERA_SHUTDOWN:
        return "WM_CAMERA_SHUTDOWN";
    case CameraMessage::WM_DISPLAY_SHOT_INFO:
        return "WM_DISPLAY_SHOT_INFO";
    case CameraMessage::WM_DISPLAY_CAMERA_INFO:
        return "WM_DISPLAY_CAMERA_INFO";
    case CameraMessage::WM_DISPLAY_JPEG:
        return "WM_DISPLAY_JPEG";
    case CameraMessage::WM_CAMERA_CARD_FULL:
        return "WM_CAMERA_CARD_FULL";
    case CameraMessage::WM_DISPLAY_THUMBNAIL:
        return "WM_DISPLAY_THUMBNAIL";
    }
    return "unknown message";
}
