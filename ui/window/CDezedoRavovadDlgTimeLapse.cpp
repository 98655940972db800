// The main window's side of a time-lapse sequence: the "Time Lapse..."
// command, and the errors that go to the dialog while it is open.
#include "CDezedoRavovadDlg.h"

#include "TimeLapseDlg.h"
#include "TimeLapseHost.h"

#include <QAction>

namespace {

// The window as the dialog sees it.
class WindowTimeLapseHost : public TimeLapseHost {
public:
    explicit WindowTimeLapseHost(CDezedoRavovadDlg &window) : m_window(window) {}

    bool isBusy() const override { return m_window.isReleasePending(); }
    bool isConnected() const override { return m_window.isConnected(); }
    void release() override { m_window.OnReleaseButton(); }
    bool ensureConnected() override { return m_window.ensureConnected(); }

private:
    CDezedoRavovadDlg &m_window;
};

}  // namespace

void CDezedoRavovadDlg::connectTimeLapse()
{
    connect(m_actions.timeLapse, &QAction::triggered, this, &CDezedoRavovadDlg::onTimeLapse);
}

void CDezedoRavovadDlg::onTimeLapse()
{
    // The command is grayed then; a shortcut or a queued trigger may still come.
    if (!isConnected() || isBusy() || m_timeLapseDialog)
        return;
    WindowTimeLapseHost host(*this);
    CTimeLapseDlg dialog(host, *m_prompts, this);
    m_timeLapseDialog = &dialog;
    dialog.exec();
    m_timeLapseDialog.clear();
}

bool CDezedoRavovadDlg::routeErrorToTimeLapse(const QString &text)
{
    if (!m_timeLapseDialog)
        return false;
    m_timeLapseDialog->onError(text);
    return true;
}
