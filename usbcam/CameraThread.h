// The one thread that talks to the camera. libgphoto2 is not re-entrant and
// its calls cannot be cancelled, so every call is a job here; between jobs the
// thread runs the idle step (waiting briefly for the camera's own events).
//
// A caller waits for its job for at most the job's time-out. A job that
// outlives it means the camera no longer answers: the caller gets false, the
// thread is abandoned (it ends by itself if the call ever returns) and nobody
// waits for it again.
#ifndef QUILLOMAT_USBCAM_CAMERATHREAD_H
#define QUILLOMAT_USBCAM_CAMERATHREAD_H

#include <chrono>
#include <functional>
#include <memory>

namespace usbcam {

class CameraThread {
public:
    using Job = std::function<void()>;
    // The step between jobs; false when it had nothing to wait on (the
    // thread then sleeps until a job comes).
    using Idle = std::function<bool()>;

    explicit CameraThread(Idle idle);
    // Ends the thread after its current job, waiting at most `grace` (see stop).
    ~CameraThread();
    CameraThread(const CameraThread &) = delete;
    CameraThread &operator=(const CameraThread &) = delete;

    // Runs the job on the thread and waits for it. Inline when called from the
    // thread itself. False when it timed out (or the thread was abandoned).
    bool run(const Job &job, std::chrono::milliseconds timeout);
    // Queues the job and returns at once.
    void post(Job job);
    bool onThread() const;
    bool abandoned() const;

    // Runs `last` as the final job and ends the thread; waits for it at most
    // `grace`, then abandons it.
    void stop(Job last, std::chrono::milliseconds grace);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace usbcam

#endif
