// What the camera's threads hand the main window, as Qt events posted to it.
// Posted events to one receiver are delivered in the order posted, so the
// window sees the release thread's calls and messages in the order made.
//
// A camera message keeps its number as the event type (WM_CAMERA_UI_CHANGED
// is event type 2025); the direct calls of the CameraWindow interface have
// types of their own after the messages.
#ifndef QUILLOMAT_UI_WINDOW_WINDOWEVENTS_H
#define QUILLOMAT_UI_WINDOW_WINDOWEVENTS_H

#include "CameraMessage.h"
#include "ModalReply.h"

#include <QEvent>

#include <string>
#include <vector>

// The window's own message: close the black screen.
inline constexpr int WM_UNBLANK_SCREEN = 2035;

enum class WindowCall {
    ShowError = 2101,
    SetStatusText,
    SetProgress,
    OnImageSaved,
    EndReleaseInUi,
    ShowExceptionBox,
    SessionClosed,  // a session torn down off the user-interface thread is gone
};

inline QEvent::Type eventType(CameraMessage message)
{
    return static_cast<QEvent::Type>(static_cast<int>(message));
}

inline QEvent::Type eventType(WindowCall call)
{
    return static_cast<QEvent::Type>(static_cast<int>(call));
}

class CameraMessageEvent : public QEvent {
public:
    explicit CameraMessageEvent(PostedMessage message)
        : QEvent(eventType(message.message)), m_message(std::move(message))
    {
    }
    PostedMessage &message() { return m_message; }

private:
    PostedMessage m_message;
};

class WindowCallEvent : public QEvent {
public:
    WindowCallEvent(WindowCall call, std::string text = {}, uint16_t value = 0)
        : QEvent(eventType(call)), m_text(std::move(text)), m_value(value)
    {
    }
    WindowCall call() const { return static_cast<WindowCall>(static_cast<int>(type())); }
    const std::string &text() const { return m_text; }
    uint16_t value() const { return m_value; }

    // EndReleaseInUi: the other two texts.
    std::string first;
    std::string second;
    // ShowExceptionBox: the asker's reply.
    ModalReply reply;
    // SessionClosed: the camera's names of the images given up.
    std::vector<std::string> unsaved;

private:
    std::string m_text;
    uint16_t m_value;
};

#endif
