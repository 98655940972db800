#include "CameraThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace usbcam {
namespace {
constexpr std::chrono::milliseconds kIdleSleep(250);
}

struct CameraThread::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    Idle idle;
    std::thread::id id;
    bool stopping = false;
    bool abandoned = false;

    void loop()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex);
                if (jobs.empty() && !stopping) {
                    lock.unlock();
                    const bool waited = idle && idle();
                    lock.lock();
                    // Nothing to wait on at the camera: sleep until a job comes.
                    if (!waited && jobs.empty() && !stopping)
                        changed.wait_for(lock, kIdleSleep);
                }
                if (jobs.empty()) {
                    if (stopping)
                        return;
                    continue;
                }
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            job();
        }
    }
};

CameraThread::CameraThread(Idle idle) : m_shared(std::make_shared<Shared>())
{
    m_shared->idle = std::move(idle);
    std::lock_guard lock(m_shared->mutex);
    // The thread keeps its own reference, so an abandoned one still has its state.
    std::thread thread([shared = m_shared] { shared->loop(); });
    m_shared->id = thread.get_id();
    thread.detach();
}

CameraThread::~CameraThread()
{
    stop({}, std::chrono::seconds(2));
}

bool CameraThread::onThread() const
{
    std::lock_guard lock(m_shared->mutex);
    return std::this_thread::get_id() == m_shared->id;
}

bool CameraThread::abandoned() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->abandoned;
}

void CameraThread::post(Job job)
{
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->stopping)
        return;
    m_shared->jobs.push_back(std::move(job));
    m_shared->changed.notify_all();
}

bool CameraThread::run(const Job &job, std::chrono::milliseconds timeout)
{
    if (onThread()) {
        job();
        return true;
    }
    struct Done {
        bool done = false;
    };
    auto done = std::make_shared<Done>();
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->abandoned || m_shared->stopping)
        return false;
    m_shared->jobs.push_back([job, done, shared = m_shared] {
        job();
        std::lock_guard inner(shared->mutex);
        done->done = true;
        shared->changed.notify_all();
    });
    m_shared->changed.notify_all();
    if (!m_shared->changed.wait_for(lock, timeout, [&] { return done->done; })) {
        m_shared->abandoned = true;
        m_shared->stopping = true;
        m_shared->jobs.clear();
        return false;
    }
    return true;
}

void CameraThread::stop(Job last, std::chrono::milliseconds grace)
{
    auto ended = std::make_shared<bool>(false);
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->stopping)
        return;
    if (std::this_thread::get_id() == m_shared->id) {
        // From a job on the thread: nothing more is taken after this one.
        m_shared->stopping = true;
        lock.unlock();
        if (last)
            last();
        return;
    }
    m_shared->jobs.push_back([last = std::move(last), ended, shared = m_shared] {
        if (last)
            last();
        std::lock_guard inner(shared->mutex);
        *ended = true;
        shared->changed.notify_all();
    });
    m_shared->stopping = true;
    m_shared->changed.notify_all();
    if (!m_shared->changed.wait_for(lock, grace, [&] { return *ended; }))
        m_shared->abandoned = true;
}

} // namespace usbcam
