// Looks for a camera that went away by itself (switched off, a cover opened,
// its cable pulled) until it is back, then hands over to reconnect it.
//
// One port lookup a second on the user-interface thread's timer: nothing is
// shown and nothing waits while the camera is away.
#ifndef QUILLOMAT_UI_WINDOW_CAMERARETURNWATCH_H
#define QUILLOMAT_UI_WINDOW_CAMERARETURNWATCH_H

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>

class CameraReturnWatch {
public:
    static constexpr std::chrono::milliseconds kLookInterval{1000};

    // True when the runtime's port lookup finds a camera on USB or serial.
    static bool cameraPortPresent();
    // The camera's shutdown reasons after which it may come back by itself:
    // mode dial, CF cover, battery cover, switched off, USB connection lost.
    static bool isComeBackReason(uint32_t reason);

    // `onBack` runs on the timer's thread once the lookup finds a camera;
    // looking has stopped by then.
    explicit CameraReturnWatch(std::function<void()> onBack, std::function<bool()> lookup = cameraPortPresent);

    void start();
    void stop();
    bool isWatching() const { return m_timer.isActive(); }
    // Lookups made since construction.
    int lookCount() const { return m_looks; }

private:
    void look();

    std::function<void()> m_onBack;
    std::function<bool()> m_lookup;
    QTimer m_timer;
    int m_looks = 0;
};

#endif
