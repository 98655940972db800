// A CameraWindow for tests: records every call and posted message in the
// order they arrive (from any thread), and lets a test wait for what it
// expects with a generous hang guard instead of sleeping.
#ifndef QUILLOMAT_TESTS_CAPTURE_RECORDINGWINDOW_H
#define QUILLOMAT_TESTS_CAPTURE_RECORDINGWINDOW_H

#include "CameraWindow.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct WindowCall {
    std::string name;      // "showError", "onImageSaved", ..., or the message's name
    std::string text;      // the call's text, or the message's text payload
    PostedMessage message; // for posted messages
    bool posted = false;
};

class RecordingWindow : public CameraWindow {
public:
    // Hang guard for every wait: far beyond what any step takes.
    static constexpr std::chrono::seconds kPatience{60};

    explicit RecordingWindow(ImageDirectorySettings settings = {}) : m_settings(std::move(settings)) {}

    void postMessage(PostedMessage message) override
    {
        WindowCall call{cameraMessageName(message.message), message.text, std::move(message), true};
        add(std::move(call));
    }
    void showError(const std::string &text) override { add({"showError", text, {}, false}); }
    void setStatusText(const std::string &text) override { add({"setStatusText", text, {}, false}); }
    void setProgress(uint16_t value) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_progress.push_back(value);
        }
        m_changed.notify_all();
    }
    void onImageSaved(const std::string &path) override { add({"onImageSaved", path, {}, false}); }
    void endReleaseInUi(const std::string &first, const std::string &second, const std::string &error) override
    {
        add({"endReleaseInUi", first + "|" + second + "|" + error, {}, false});
    }
    void showExceptionBox(const std::string &text, ModalReply reply) override
    {
        bool keepOpen;
        {
            std::lock_guard lock(m_mutex);
            keepOpen = m_keepBoxesOpen;
            if (keepOpen)
                m_openBoxes.push_back(reply);
        }
        add({"showExceptionBox", text, {}, false});
        if (!keepOpen)
            reply.close();
    }
    bool wantsThumbnails() const override { return m_thumbnails.load(); }
    void setWantsThumbnails(bool wanted) { m_thumbnails.store(wanted); }
    ImageDirectorySettings imageDirectorySettings() const override
    {
        std::lock_guard lock(m_mutex);
        return m_settings;
    }

    void setSettings(ImageDirectorySettings settings)
    {
        std::lock_guard lock(m_mutex);
        m_settings = std::move(settings);
    }
    // Exception boxes stay open until the test closes them.
    void keepBoxesOpen(bool keep)
    {
        std::lock_guard lock(m_mutex);
        m_keepBoxesOpen = keep;
    }
    std::vector<ModalReply> openBoxes() const
    {
        std::lock_guard lock(m_mutex);
        return m_openBoxes;
    }

    std::vector<WindowCall> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const WindowCall &call : calls())
            result.push_back(call.name);
        return result;
    }
    std::vector<WindowCall> callsNamed(const std::string &name) const
    {
        std::vector<WindowCall> result;
        for (const WindowCall &call : calls())
            if (call.name == name)
                result.push_back(call);
        return result;
    }
    size_t count(const std::string &name) const { return callsNamed(name).size(); }
    std::vector<uint16_t> progress() const
    {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
        m_progress.clear();
    }

    // Waits until the predicate holds over the calls so far; false on the hang guard.
    bool waitUntil(const std::function<bool(const std::vector<WindowCall> &)> &done,
                   std::chrono::seconds patience = kPatience)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, patience, [&] { return done(m_calls); });
    }
    // Waits until a transfer has reported progress.
    bool waitForProgress(std::chrono::seconds patience = kPatience)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, patience, [&] { return !m_progress.empty(); });
    }
    // Waits until `name` has arrived n times in all.
    bool waitForCount(const std::string &name, size_t n, std::chrono::seconds patience = kPatience)
    {
        return waitUntil(
            [&](const std::vector<WindowCall> &calls) {
                return static_cast<size_t>(std::count_if(calls.begin(), calls.end(),
                                                         [&](const WindowCall &c) { return c.name == name; }))
                       >= n;
            },
            patience);
    }

private:
    void add(WindowCall call)
    {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(std::move(call));
        }
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<WindowCall> m_calls;
    std::vector<uint16_t> m_progress;
    ImageDirectorySettings m_settings;
    bool m_keepBoxesOpen = false;
    std::vector<ModalReply> m_openBoxes;
    std::atomic<bool> m_thumbnails{false};
};

#endif
