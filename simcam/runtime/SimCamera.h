// The simulated camera: its state, its card, the images it took, and the
// open device with the driver's own thread that delivers its events.
//
// Driver operations arrive on the caller's threads; events go out only on
// the device's thread, and never while m_mutex is held, so an event callback
// may call straight back into the driver (getReleasedImage included).
#ifndef QUILLOMAT_SIMCAM_SIMCAMERA_H
#define QUILLOMAT_SIMCAM_SIMCAMERA_H

#include "ShotImages.h"
#include "ShotPlan.h"
#include "SimConfig.h"

#include <psLLAPI.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace simcam {

class CardFolder;
class SettingsDialogLoader;

class SimCamera {
public:
    explicit SimCamera(SimConfig config);
    ~SimCamera();
    SimCamera(const SimCamera &) = delete;
    SimCamera &operator=(const SimCamera &) = delete;

    // Setup calls.
    bool portAvailable(uint16_t portType) const;

    // Driver operations (results are error words).
    psResult open(const psPortDescrip *port, psEventCallback callback, void *context, psDeviceHandle *handle);
    psResult close(psDeviceHandle handle);
    psResult property(psDeviceHandle handle, uint32_t property, void *buffer, uint32_t size);
    psResult propertyCount(psDeviceHandle handle, uint32_t *count);
    psResult deviceInfo(psDeviceHandle handle, psDeviceInfo *info);
    psResult releaseControl(psDeviceHandle handle, uint32_t command, uint32_t inSize, const void *in,
                            uint32_t outSize, void *out);
    psResult releasedImage(psDeviceHandle handle, uint32_t kind, uint32_t sequence, pslStream *stream);
    psResult readParameterSet(psDeviceHandle handle, psParameterSetRecord *record);
    // The camera's own settings dialog over window (owner, clock, custom
    // functions, parameter sets), shown by the loader's library. Cancel is
    // success with nothing changed.
    psResult settingsDialog(psDeviceHandle handle, void *window, const SettingsDialogLoader &loader);
    psResult lock(psDeviceHandle handle, uint32_t mode);
    psResult unlock(psDeviceHandle handle);

    // The camera's own controls (the control API). false with a reason when
    // the camera would not do it.
    bool pressShutter(std::string *error);
    bool changeSetting(const std::string &key, const std::string &value, std::string *error);
    void setMenuOpen(bool open);
    void setAfFailure(bool fails);
    void setCard(bool present, uint32_t shots);
    // Faults for the program's recovery: the next `count` thumbnail (or
    // full-view) events of releases are not sent; the images stay fetchable.
    void loseThumbnailEvents(uint32_t count);
    void loseFullViewEvents(uint32_t count);
    bool turnDial(const std::string &mode, std::string *error);
    void shutdown(uint32_t reason);        // CF cover, battery cover, auto power-off, cable
    // The cable is pulled once so many more bytes of a transfer have crossed it.
    void unplugAfter(uint64_t bytes);
    // Counts bytes that crossed the cable; false (and the cable pulled) once
    // the set number has gone: the caller sends only the bytes allowed.
    bool crossCable(uint64_t *bytes);
    void reconnect();
    // Sends the about-to-power-off warning and waits for the answer: true if
    // the program kept the camera awake, false if it powered off.
    bool warnPowerOff();
    // Waits until the device's thread has delivered everything queued so far.
    void waitIdle();

    // A card on disk: every shot meant for the card is written there, and
    // the file numbers continue after the card's highest.
    void attachCard(std::shared_ptr<CardFolder> card);
    // Called (on the thread that wrote them) with the card paths of each shot written to the card.
    void onCardWritten(std::function<void(const std::vector<std::string> &files)> observer);
    void setOwner(const std::string &owner);
    // Sets the running clock to the camera-local time given (seconds).
    void setCameraClock(int64_t localSeconds);
    int64_t clockOffset() const;
    // The camera's running clock (camera-local seconds).
    int64_t cameraClock();
    // The images of a release the PC may still fetch (null when unknown).
    std::shared_ptr<const ShotImages> releasedShot(uint32_t sequence) const;

    CameraState state() const;
    SimConfig config() const;
    bool present() const;
    bool deviceOpen() const;
    bool cardPresent() const;
    uint32_t shotsRemaining() const;
    uint32_t nextFileNumber() const;
    uint16_t transferFlags() const;
    bool locked() const;
    bool inReleaseControl() const;

private:
    struct StoredShot {
        uint32_t sequence;
        std::shared_ptr<const ShotImages> images;
    };
    struct Job {
        bool shutdown;
        std::function<void()> run;
    };

    psResult checkDevice(psDeviceHandle handle) const;   // m_mutex held
    bool startRelease(bool fromCamera, std::string *error, psResult *result);
    void runRelease(ShotPlan plan, uint32_t sequence, uint16_t flags, bool afFailure);
    void runWarning();
    void storeOnCard(const ShotPlan &plan, const ShotImages &images);
    bool loseEvent(uint32_t &remaining);                  // takes m_mutex; counts one down
    void postLockStatus(uint32_t status);                 // m_mutex held
    void post(std::function<void()> job);                 // m_mutex held
    void postShutdown(uint32_t reason);                   // m_mutex held
    psResult deliver(uint32_t event, const void *data, bool evenIfGone = false);
    bool pause(std::chrono::milliseconds duration);
    void workerLoop();
    void stopWorker(std::unique_lock<std::mutex> &lock);
    void touch();                                         // m_mutex held: activity postpones power-off
    int64_t cameraTime();                                 // m_mutex held
    static int64_t pcLocalTime();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    SimConfig m_config;
    std::vector<uint8_t> m_propertyTable;

    bool m_present = true;
    bool m_open = false;
    psDeviceHandle m_handle = 0;
    psDeviceHandle m_nextHandle = 1;
    psEventCallback m_callback = nullptr;
    void *m_context = nullptr;
    std::thread m_worker;
    bool m_stopping = false;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    uint64_t m_jobsDone = 0;
    uint64_t m_jobsPosted = 0;
    std::chrono::steady_clock::time_point m_lastActivity;

    bool m_releaseControl = false;
    bool m_locked = false;
    bool m_releaseInProgress = false;
    uint16_t m_transferFlags = PS_TRANSFER_PC_ONLY;
    uint32_t m_nextSequenceId = 1;
    uint32_t m_shotsTaken = 0;
    int64_t m_clockOffset = 0;   // seconds the running clock was set away from the PC's
    std::deque<StoredShot> m_shots;
    std::shared_ptr<CardFolder> m_card;
    uint64_t m_unplugAfter = 0;   // bytes left before the cable is pulled; 0: never
    std::function<void(const std::vector<std::string> &)> m_cardWritten;
    int m_warningAnswer = -1;   // -1 pending, 0 powered off, 1 stayed awake
};

} // namespace simcam

#endif
