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

namespace {

void showOutcome(Prompts &prompts, QWidget *parent, const RegistrationMessage &message)
{
    // Success is a plain box with OK; the information box is the plainest the prompts offer.
    prompts.message(parent, message.isError ? Prompts::Icon::Error : Prompts::Icon::None,
                    Prompts::programCaption(), QString::fromStdString(message.text));
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
    RegistrationMessage message;
    {
        // The service manager is asked synchronously; it answers within moments.
        WaitCursor wait;
        SystemctlManager manager;
        CameraEventRegistration registration(manager, LaunchRegistry::defaultUnitFolder());
        message = registration.registerForCameraEvents(ownExecutablePath());
    }
    showOutcome(*m_prompts, this, message);
}

void CDezedoRavovadDlg::unregisterForCameraEvents()
{
    RegistrationMessage message;
    {
        WaitCursor wait;
        SystemctlManager manager;
        CameraEventRegistration registration(manager, LaunchRegistry::defaultUnitFolder());
        message = registration.unregisterForCameraEvents();
    }
    showOutcome(*m_prompts, this, message);
}
