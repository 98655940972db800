// The main window's "Register for Camera Events" commands: the program is
// added to, or removed from, what the user's service manager starts when the
// camera is plugged in. Each ends in exactly one box; nothing else changes.
#include "CDezedoRavovadDlg.h"

#include "CameraEventRegistration.h"
#include "LaunchRegistry.h"
#include "Prompts.h"
#include "SystemctlManager.h"
#include "WaitCursor.h"

#include <QAction>
#include <QEventLoop>

#include <functional>
#include <thread>

namespace {

void showOutcome(Prompts &prompts, QWidget *parent, const RegistrationMessage &message)
{
    // Success is a plain box with OK; the information box is the plainest the prompts offer.
    prompts.message(parent, message.isError ? Prompts::Icon::Error : Prompts::Icon::None,
                    Prompts::programCaption(), QString::fromStdString(message.text));
}

// Runs `work` on a thread of its own while the window goes on painting and
// handling the camera (but takes no input): the service manager may take up
// to its whole time limit to answer.
RegistrationMessage runAside(std::chrono::milliseconds timeLimit,
                             const std::function<RegistrationMessage(ServiceManager &)> &work)
{
    WaitCursor wait;
    QEventLoop loop;
    RegistrationMessage message;
    std::thread worker([&] {
        SystemctlManager manager(timeLimit);
        message = work(manager);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return message;
}

} // namespace

void CDezedoRavovadDlg::connectRegistration()
{
    connect(m_actions.registerForEvents, &QAction::triggered, this, &CDezedoRavovadDlg::registerForCameraEvents);
    connect(m_actions.unregisterForEvents, &QAction::triggered, this,
            &CDezedoRavovadDlg::unregisterForCameraEvents);
}

void CDezedoRavovadDlg::registerForCameraEvents()
{
    const std::string command = ownExecutablePath();
    const RegistrationMessage message = runAside(m_services.registrationTimeLimit, [&](ServiceManager &manager) {
        CameraEventRegistration registration(manager, LaunchRegistry::defaultUnitFolder());
        return registration.registerForCameraEvents(command);
    });
    showOutcome(*m_prompts, this, message);
}

void CDezedoRavovadDlg::unregisterForCameraEvents()
{
    const RegistrationMessage message = runAside(m_services.registrationTimeLimit, [](ServiceManager &manager) {
        CameraEventRegistration registration(manager, LaunchRegistry::defaultUnitFolder());
        return registration.unregisterForCameraEvents();
    });
    showOutcome(*m_prompts, this, message);
}
