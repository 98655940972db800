#include "ShootActions.h"

#include "BulbMode.h"
#include "Camera.h"
#include "ConsoleWindow.h"
#include "FormatText.h"
#include "Settings.h"
#include "SettingsStore.h"
#include "TimeLapseClock.h"
#include "TimeLapseSchedule.h"
#include "psDebugOutput.h"
#include "psError.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

// Set by SIGINT and SIGTERM: finish the shot in progress, then stop.
std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted.store(true);
}

// The longest a shot may take from release to release complete: the
// slowest exposure, the self-timer and a raw transfer over a slow cable.
constexpr std::chrono::seconds kShotPatience{180};
constexpr std::chrono::milliseconds kPoll{200};

// The list positions and check boxes the settings store keeps; only the
// Store choice is used here.
class PlainControls : public SettingsControls {
public:
    int listPosition(List list) const override
    {
        const auto it = m_lists.find(list);
        return it == m_lists.end() ? -1 : it->second;
    }
    void setListPosition(List list, int position) override { m_lists[list] = position; }
    bool isChecked(CheckBox box) const override
    {
        const auto it = m_boxes.find(box);
        return it != m_boxes.end() && it->second;
    }
    void setChecked(CheckBox box, bool checked) override { m_boxes[box] = checked; }

private:
    std::map<List, int> m_lists;
    std::map<CheckBox, bool> m_boxes;
};

void printError(const std::string &text)
{
    std::string line = text;
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

bool equalsIgnoringCase(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const char *shutdownReasonText(uint32_t reason)
{
    switch (reason) {
    case PS_SHUTDOWN_DIAL_CHANGED:
        return "Camera mode dial has changed";
    case PS_SHUTDOWN_CF_GATE_CHANGED:
        return "Camera CF cover opened";
    case PS_SHUTDOWN_BATTERY_COVER:
        return "Camera battery cover opened";
    case PS_SHUTDOWN_AUTO_POWER_OFF:
        return "Camera has shutdown";
    case PS_SHUTDOWN_DISCONNECTED:
        return "USB connection to camera lost";
    default:
        return nullptr;
    }
}

// Where images go: the user's settings, with the command line's folder and prefix.
ImageDirectorySettings directorySettings(const Options &options, StoreMode &store)
{
    Settings settings;
    PlainControls controls;
    SettingsStore().loadSettings(settings, controls);
    if (options.directory) {
        std::error_code ignored;
        const std::filesystem::path absolute = std::filesystem::absolute(*options.directory, ignored);
        settings.baseDirectory = QFile::decodeName(QByteArray::fromStdString(absolute.string()));
    }
    if (options.prefix)
        settings.filenamePrefix = QFile::decodeName(QByteArray::fromStdString(*options.prefix));
    const int position = controls.listPosition(SettingsControls::List::Store);
    store = position >= 0 && position <= 2 ? static_cast<StoreMode>(position) : StoreMode::PcOnly;
    if (options.store)
        store = *options.store;
    return imageDirectorySettings(settings);
}

// Connects as the main window does: port 3, then port 2; only the two models.
std::unique_ptr<Camera> connectCamera(ConsoleWindow &window)
{
    std::unique_ptr<Camera> camera;
    try {
        camera = std::make_unique<Camera>(window, PS_PORT_TYPE_USB);
    } catch (...) {
        try {
            camera = std::make_unique<Camera>(window, PS_PORT_TYPE_SERIAL);
        } catch (const psCException &e) {
            // A cancelled port choice is the user's own doing: nothing to say.
            if (psErrorCode(e.code) != psERR_OPERATION_CANCELLED)
                printError("Error connecting to camera");
            return nullptr;
        } catch (...) {
            printError("Error connecting to camera");
            return nullptr;
        }
    }
    const std::string model = camera->cameraModelName();
    if (!equalsIgnoringCase(model, "EOS D30") && !equalsIgnoringCase(model, "EOS D60")) {
        camera.reset();
        printError("Error connecting to camera, incorrect camera type: " + model);
        printError("Quillomat will only work with the Canon EOS D30 and D60.\nIt does not work with the " + model);
        return nullptr;
    }
    return camera;
}

// Reads the camera's parameters (the release thread needs the image type)
// and applies --quality and the store mode.
bool prepareCamera(Camera &camera, const Options &options, StoreMode store)
{
    try {
        ReleaseParams params;
        camera.getReleaseParams(params);
        if (options.quality) {
            params.bytes[ReleaseParams::kQuality] = options.quality->quality;
            params.bytes[ReleaseParams::kImageType] = options.quality->imageType;
            params.bytes[ReleaseParams::kImageSize] = options.quality->imageSize;
            camera.setReleaseParams(params);
            camera.getReleaseParams(params);
            if (params.bytes[ReleaseParams::kQuality] != options.quality->quality
                || params.bytes[ReleaseParams::kImageType] != options.quality->imageType
                || params.bytes[ReleaseParams::kImageSize] != options.quality->imageSize) {
                printError("The camera does not offer this size and quality in its current mode");
                return false;
            }
        }
    } catch (const psCException &e) {
        printError(formatText("PowerShot SDK Exception (0x%08x)", e.code));
        return false;
    } catch (...) {
        printError("Unknown exception");
        return false;
    }
    camera.setStoreMode(store);
    return true;
}

// Release and Preview refuse Bulb as the window does; the camera's own
// shutter button (--follow) can still use it. The camera's dial may have
// moved since the last shot, so its parameters are read afresh.
bool refusesBulb(Camera &camera)
{
    ReleaseParams params;
    try {
        camera.getReleaseParams(params);
    } catch (...) {
        // The release itself reports a camera that does not answer.
        return false;
    }
    if (!isBulbSelected(params.bytes))
        return false;
    printError(bulbRefusalText().toStdString());
    return true;
}

// Follows one shot through the window's events and prints it.
class ShotReport {
public:
    enum class Outcome { Pending, Complete, CardFull, Shutdown };

    explicit ShotReport(bool terminal) : m_terminal(terminal) {}

    Outcome handle(ConsoleEvent &event)
    {
        switch (event.kind) {
        case ConsoleEvent::Kind::Posted:
            return handlePosted(event.message);
        case ConsoleEvent::Kind::Error:
        case ConsoleEvent::Kind::EndRelease:
            // endReleaseInUi repeats the error just shown.
            if (event.kind == ConsoleEvent::Kind::Error)
                error(event.text);
            m_startFailed = true;
            return Outcome::Pending;
        case ConsoleEvent::Kind::ExceptionBox:
            error("Exception Error (ReleaseThread): " + event.text);
            event.reply.close();
            return Outcome::Pending;
        case ConsoleEvent::Kind::Status:
            clearProgress();
            std::fprintf(stderr, "%s\n", event.text.c_str());
            return Outcome::Pending;
        case ConsoleEvent::Kind::Progress:
            if (m_terminal) {
                std::fprintf(stderr, "\rTransferring image %3u%%", static_cast<unsigned>(event.progress));
                std::fflush(stderr);
                m_progressShown = true;
            }
            return Outcome::Pending;
        case ConsoleEvent::Kind::Saved:
            if (!event.text.empty())
                m_paths.push_back(event.text);
            return Outcome::Pending;
        }
        return Outcome::Pending;
    }

    // Prints the saved paths, then the shot's information indented.
    void print()
    {
        clearProgress();
        for (const std::string &path : m_paths)
            std::printf("%s\n", path.c_str());
        std::string line;
        for (char c : m_shotInfo) {
            if (c == '\r')
                continue;
            if (c == '\n') {
                std::printf("  %s\n", line.c_str());
                line.clear();
            } else {
                line += c;
            }
        }
        if (!line.empty())
            std::printf("  %s\n", line.c_str());
        std::fflush(stdout);
    }

    void error(const std::string &text)
    {
        clearProgress();
        printError(text);
        m_failed = true;
    }

    bool failed() const { return m_failed; }
    bool startFailed() const { return m_startFailed; }
    bool started() const { return m_started; }
    bool photoArrived() const { return m_photoArrived; }

private:
    Outcome handlePosted(const PostedMessage &message)
    {
        switch (message.message) {
        case CameraMessage::WM_CAMERA_RELEASE_START:
            m_started = true;
            return Outcome::Pending;
        case CameraMessage::WM_DISPLAY_SHOT_INFO:
            m_shotInfo = message.text;
            return Outcome::Pending;
        case CameraMessage::WM_DISPLAY_JPEG:
            if (!message.bytes.empty())
                m_photoArrived = true;
            return Outcome::Pending;
        case CameraMessage::WM_CAMERA_RELEASE_COMPLETE:
            return Outcome::Complete;
        case CameraMessage::WM_CAMERA_CARD_FULL:
            error("CF card full or not present");
            return Outcome::CardFull;
        case CameraMessage::WM_CAMERA_SHUTDOWN: {
            error("Camera error, please turn camera off and try again");
            if (const char *reason = shutdownReasonText(message.wParam))
                printError(reason);
            return Outcome::Shutdown;
        }
        default:
            return Outcome::Pending;
        }
    }

    void clearProgress()
    {
        if (m_progressShown) {
            std::fprintf(stderr, "\r%30s\r", "");
            m_progressShown = false;
        }
    }

    const bool m_terminal;
    bool m_progressShown = false;
    bool m_failed = false;
    bool m_startFailed = false;
    bool m_started = false;
    bool m_photoArrived = false;
    std::vector<std::string> m_paths;
    std::string m_shotInfo;
};

// Everything a session of the tool holds, torn down in order.
struct Tethered {
    std::unique_ptr<ConsoleWindow> window;
    std::unique_ptr<Camera> camera;
    bool terminal = false;
};

bool setUp(const Options &options, Tethered &tethered)
{
    if (!options.debug)
        psSetDebugSink([](std::string_view) {});
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    StoreMode store = StoreMode::PcOnly;
    tethered.window = std::make_unique<ConsoleWindow>(directorySettings(options, store));
    tethered.terminal = ::isatty(STDERR_FILENO) != 0;
    tethered.camera = connectCamera(*tethered.window);
    return tethered.camera && prepareCamera(*tethered.camera, options, store);
}

// One Release or Preview command, up to the end of its transfers.
bool takeShot(Tethered &tethered, bool preview, bool &cameraGone)
{
    Camera &camera = *tethered.camera;
    if (refusesBulb(camera))
        return false;
    camera.setPreview(preview);
    if (!camera.setUILock()) {
        printError("CDezedoRavovadDlg::OnReleaseButton()\nsetUILock() returned false");
        return false;
    }
    camera.release();

    ShotReport report(tethered.terminal);
    const auto deadline = std::chrono::steady_clock::now() + kShotPatience;
    ShotReport::Outcome outcome = ShotReport::Outcome::Pending;
    while (outcome == ShotReport::Outcome::Pending) {
        ConsoleEvent event;
        // A release that could not start says so before release() returns.
        if (!tethered.window->next(event, kPoll)) {
            if (report.startFailed() && !report.started())
                break;
            if (std::chrono::steady_clock::now() > deadline) {
                report.error("The camera did not finish the shot");
                break;
            }
            continue;
        }
        outcome = report.handle(event);
    }
    if (outcome == ShotReport::Outcome::Shutdown) {
        cameraGone = true;
        return false;
    }
    camera.resetUILock();
    if (outcome == ShotReport::Outcome::Complete && !report.photoArrived())
        report.error("The camera was unable to take a photo. The most likely\n"
                     "cause for this is the AF being unable to focus properly.");
    report.print();
    return outcome == ShotReport::Outcome::Complete && !report.failed();
}

// The countdown of a time-lapse sequence: one line on a terminal, rewritten
// every second and wiped before anything else is printed.
class Countdown {
public:
    explicit Countdown(bool terminal) : m_terminal(terminal) {}

    void show(const std::string &text)
    {
        if (!m_terminal)
            return;
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
        std::fflush(stderr);
        m_shown = !text.empty();
    }

    void clear()
    {
        if (!m_shown)
            return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        m_shown = false;
    }

private:
    const bool m_terminal;
    bool m_shown = false;
};

// A time-lapse sequence: the window's schedule, ticked once a second, with
// the camera's events handled in between.
class TimeLapseRun {
public:
    TimeLapseRun(Tethered &tethered, const Options &options)
        : m_tethered(tethered),
          m_options(options),
          m_schedule([this] { return m_clock.seconds(); }, [this] { return m_busy; }),
          m_countdown(tethered.terminal),
          m_report(std::make_unique<ShotReport>(tethered.terminal))
    {
    }

    // The exit status.
    int run()
    {
        m_clock = TimeLapseClock();
        if (!m_schedule.start(wholeSeconds(m_options.interval), m_options.count.value_or(1),
                              wholeSeconds(m_options.delay))) {
            printError(TimeLapseSchedule::noShotsText());
            return 1;
        }
        for (int64_t n = 1;; n = std::max(n + 1, m_clock.seconds())) {
            if (!handleEventsUntil(m_clock.tickTime(n)))
                return abandon(TimeLapseSchedule::errorAbandonText(m_schedule.shotsTaken()));
            if (g_interrupted.load()) {
                // The shot under way is finished and saved first.
                if (m_shotInProgress && !handleEventsUntil(TimeLapseClock::Clock::now() + kShotPatience))
                    return abandon(TimeLapseSchedule::errorAbandonText(m_schedule.shotsTaken()));
                return abandon(TimeLapseSchedule::abandonedText());
            }
            const TimeLapseSchedule::Tick tick = m_schedule.tick();
            switch (tick.action) {
            case TimeLapseSchedule::Action::Release:
                m_countdown.clear();
                if (!release())
                    return abandon(TimeLapseSchedule::errorAbandonText(m_schedule.shotsTaken()));
                break;
            case TimeLapseSchedule::Action::Completed:
                m_countdown.clear();
                printError(tick.status);
                return 0;
            case TimeLapseSchedule::Action::None:
                m_countdown.show(tick.status);
                break;
            }
        }
    }

private:
    // Presses Release as the window does; false when the camera refused it.
    bool release()
    {
        Camera &camera = *m_tethered.camera;
        if (refusesBulb(camera)) {
            m_schedule.withdrawLastShot();
            return false;
        }
        camera.setPreview(m_options.preview);
        m_report = std::make_unique<ShotReport>(m_tethered.terminal);
        if (!camera.setUILock()) {
            printError("CDezedoRavovadDlg::OnReleaseButton()\nsetUILock() returned false");
            m_schedule.withdrawLastShot();
            return false;
        }
        m_locked = true;
        m_busy = true;
        m_shotInProgress = true;
        // A release that cannot start says so through the window at once.
        camera.release();
        return true;
    }

    // Handles the camera's events until `until`; false at the first error.
    bool handleEventsUntil(TimeLapseClock::Clock::time_point until)
    {
        for (;;) {
            const auto now = TimeLapseClock::Clock::now();
            if (now >= until || (g_interrupted.load() && !m_shotInProgress))
                return true;
            ConsoleEvent event;
            const auto patience = std::chrono::ceil<std::chrono::milliseconds>(until - now);
            if (!m_tethered.window->next(event, std::min(patience, kPoll)))
                continue;
            m_countdown.clear();
            if (!handle(event))
                return false;
        }
    }

    bool handle(ConsoleEvent &event)
    {
        const ShotReport::Outcome outcome = m_report->handle(event);
        if (m_report->started())
            m_busy = true;
        bool failed = m_report->failed() || (m_report->startFailed() && !m_report->started());
        switch (outcome) {
        case ShotReport::Outcome::Pending:
            break;
        case ShotReport::Outcome::Complete:
            unlock();
            // A shot from the camera's own button is not ours to judge.
            if (m_shotInProgress && !m_report->photoArrived()) {
                m_report->error("The camera was unable to take a photo. The most likely\n"
                                "cause for this is the AF being unable to focus properly.");
                failed = true;
            }
            if (!failed) {
                m_report->print();
                m_report = std::make_unique<ShotReport>(m_tethered.terminal);
            }
            m_busy = false;
            break;
        case ShotReport::Outcome::CardFull:
            unlock();
            failed = true;
            break;
        case ShotReport::Outcome::Shutdown:
            m_locked = false;  // the session is gone with its lock
            failed = true;
            break;
        }
        if (failed) {
            // A shot that brought no photo is no shot taken.
            if (m_shotInProgress && !m_report->photoArrived())
                m_schedule.withdrawLastShot();
            m_shotInProgress = false;
            m_busy = false;
            return false;
        }
        if (outcome != ShotReport::Outcome::Pending)
            m_shotInProgress = false;
        return true;
    }

    void unlock()
    {
        if (m_locked)
            m_tethered.camera->resetUILock();
        m_locked = false;
    }

    int abandon(const std::string &text)
    {
        m_countdown.clear();
        m_schedule.stop();
        unlock();
        printError(text);
        return 1;
    }

    Tethered &m_tethered;
    const Options &m_options;
    TimeLapseClock m_clock;
    TimeLapseSchedule m_schedule;
    Countdown m_countdown;
    std::unique_ptr<ShotReport> m_report;
    bool m_busy = false;           // a release is under way (from the PC or the camera's button)
    bool m_shotInProgress = false; // our own release, until it ends
    bool m_locked = false;
};

} // namespace

int actionHelp(Options &)
{
    std::fputs(usageText(), stdout);
    return 0;
}

int actionShoot(Options &options)
{
    Tethered tethered;
    if (!setUp(options, tethered))
        return 1;
    const int count = options.count.value_or(1);
    bool ok = true;
    // Back to back; with an interval or a delay it is a time-lapse sequence.
    for (int shot = 0; shot < count && ok && !g_interrupted.load(); ++shot) {
        bool cameraGone = false;
        ok = takeShot(tethered, options.preview, cameraGone);
    }
    tethered.camera.reset();
    return ok && !g_interrupted.load() ? 0 : 1;
}

int actionTimeLapse(Options &options)
{
    Tethered tethered;
    if (!setUp(options, tethered))
        return 1;
    const int status = TimeLapseRun(tethered, options).run();
    tethered.camera.reset();
    return status;
}

int actionFollow(Options &options)
{
    Tethered tethered;
    if (!setUp(options, tethered))
        return 1;
    // Also tells a script that the camera is ready for its shutter button.
    std::fprintf(stderr, "Waiting for shots from the camera (Ctrl+C to stop)\n");
    std::fflush(stderr);
    int shots = 0;
    bool failed = false;
    auto report = std::make_unique<ShotReport>(tethered.terminal);
    while (!g_interrupted.load() && (!options.count || shots < *options.count)) {
        ConsoleEvent event;
        if (!tethered.window->next(event, kPoll))
            continue;
        const ShotReport::Outcome outcome = report->handle(event);
        if (outcome == ShotReport::Outcome::Shutdown) {
            failed = true;
            break;
        }
        if (outcome == ShotReport::Outcome::Complete) {
            report->print();
            failed = failed || report->failed();
            ++shots;
            report = std::make_unique<ShotReport>(tethered.terminal);
        }
    }
    tethered.camera.reset();
    return failed ? 1 : 0;
}
