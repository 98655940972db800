// The camera window of the console tool: every call and posted message of the
// session and the release thread is queued, in the order made, for the main
// thread, which prints them. Nothing is printed on the other threads.
#ifndef QUILLOMAT_TOOLS_SHOOT_CONSOLEWINDOW_H
#define QUILLOMAT_TOOLS_SHOOT_CONSOLEWINDOW_H

#include "CameraWindow.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

struct ConsoleEvent {
    enum class Kind { Posted, Error, Status, Progress, Saved, EndRelease, ExceptionBox };
    Kind kind = Kind::Posted;
    PostedMessage message;  // Posted
    std::string text;       // Error, Status, Saved, EndRelease, ExceptionBox
    uint16_t progress = 0;  // Progress
    ModalReply reply;       // ExceptionBox: close it once printed
};

class ConsoleWindow : public CameraWindow {
public:
    explicit ConsoleWindow(ImageDirectorySettings settings) : m_settings(std::move(settings)) {}

    void postMessage(PostedMessage message) override;
    void showError(const std::string &text) override;
    void setStatusText(const std::string &text) override;
    void setProgress(uint16_t value) override;
    void onImageSaved(const std::string &path) override;
    void endReleaseInUi(const std::string &first, const std::string &second, const std::string &error) override;
    void showExceptionBox(const std::string &text, ModalReply reply) override;
    ImageDirectorySettings imageDirectorySettings() const override { return m_settings; }

    // The oldest event, waiting up to `patience`; false when none came.
    bool next(ConsoleEvent &event, std::chrono::milliseconds patience);

private:
    void push(ConsoleEvent event);

    const ImageDirectorySettings m_settings;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<ConsoleEvent> m_events;
};

#endif
