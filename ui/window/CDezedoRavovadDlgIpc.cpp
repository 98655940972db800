// The main window's side of the channel other programs drive it through: the
// socket's listener and connections, watched on the user-interface thread;
// the block, made on the first exchange; and the window operations the
// dispatcher works with.
#include "CDezedoRavovadDlg.h"

#include "DiagnosticLog.h"
#include "IpcChannel.h"
#include "IpcDispatcher.h"
#include "IpcEndpoint.h"
#include "IpcServer.h"
#include "IpcWindow.h"
#include "PanelTexts.h"
#include "SettingsPanel.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <map>
#include <unistd.h>

namespace {

// How often a notification kept while a client holds the block is tried again.
constexpr std::chrono::milliseconds kNotificationRetryInterval{50};

}  // namespace

class CDezedoRavovadDlg::IpcSide : public IpcWindow {
public:
    IpcSide(CDezedoRavovadDlg &window, std::unique_ptr<IpcServer> server);
    ~IpcSide() override;

    // Null until the first exchange.
    IpcChannel *channel() const { return m_channel.get(); }
    // A client holds the block's turn: the notifications kept are tried
    // again now and then until it is free (an exchange may write them first).
    void retryKeptNotificationsLater();

    bool isConnected() const override { return m_window.isConnected(); }
    // Also between the Release command and the camera's release start, so
    // that a second release cannot slip in.
    bool isBusy() const override { return m_window.isReleasePending(); }
    std::string cameraModelName() const override { return m_window.m_modelName.toStdString(); }
    std::string modeText() const override { return m_window.m_panel->modeText().toStdString(); }
    bool release() override;
    int listSize(StepList list) const override { return listFor(list)->count(); }
    bool selectListPosition(StepList list, int position) override;
    void setBaseDirectory(const std::string &path) override;
    std::optional<ImageDirectorySettings> imageDirectorySettings() const override
    {
        return ::imageDirectorySettings(m_window.m_settings);
    }
    LocalDate today() const override
    {
        return m_window.m_services.today ? m_window.m_services.today() : LocalDate::today();
    }
    void setComment(const std::string &text) override { m_window.m_comment->setText(QString::fromStdString(text)); }
    uint32_t windowId() const override { return static_cast<uint32_t>(::getpid()); }

private:
    QComboBox *listFor(StepList list) const
    {
        return list == StepList::ShutterSpeed ? m_window.m_panel->tv : m_window.m_panel->av;
    }
    QSocketNotifier *watch(int socket);
    void acceptClients();
    void serviceClient(int client);
    void forgetClient(int client);
    // Off while an exchange is handled: a box it shows runs an event loop,
    // and no other exchange may start inside it.
    void setWatching(bool on);
    int32_t exchange();

    CDezedoRavovadDlg &m_window;
    std::unique_ptr<IpcServer> m_server;
    QSocketNotifier *m_listening = nullptr;
    std::map<int, QSocketNotifier *> m_clients;
    std::unique_ptr<IpcChannel> m_channel;
    IpcDispatcher m_dispatcher{*this};
    QTimer *m_retry = nullptr;
};

CDezedoRavovadDlg::IpcSide::IpcSide(CDezedoRavovadDlg &window, std::unique_ptr<IpcServer> server)
    : m_window(window), m_server(std::move(server))
{
    m_listening = watch(m_server->listeningSocket());
    QObject::connect(m_listening, &QSocketNotifier::activated, m_listening, [this] { acceptClients(); });
    m_retry = new QTimer(&m_window);
    m_retry->setInterval(kNotificationRetryInterval);
    QObject::connect(m_retry, &QTimer::timeout, m_retry, [this] {
        if (!m_channel || m_channel->retryKeptNotifications())
            m_retry->stop();
    });
}

void CDezedoRavovadDlg::IpcSide::retryKeptNotificationsLater()
{
    if (!m_retry->isActive())
        m_retry->start();
}

CDezedoRavovadDlg::IpcSide::~IpcSide()
{
    delete m_retry;
    // The notifiers go before the server closes their sockets.
    for (const auto &[client, notifier] : m_clients)
        delete notifier;
    delete m_listening;
}

QSocketNotifier *CDezedoRavovadDlg::IpcSide::watch(int socket)
{
    // The window as parent also takes the notifiers still waiting for deleteLater.
    return new QSocketNotifier(socket, QSocketNotifier::Read, &m_window);
}

void CDezedoRavovadDlg::IpcSide::acceptClients()
{
    for (const int client : m_server->acceptClients()) {
        QSocketNotifier *notifier = watch(client);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [this, client] { serviceClient(client); });
        m_clients[client] = notifier;
    }
}

void CDezedoRavovadDlg::IpcSide::serviceClient(int client)
{
    setWatching(false);
    const bool open = m_server->serviceClient(client, [this] { return exchange(); });
    if (!open)
        forgetClient(client);
    setWatching(true);
}

void CDezedoRavovadDlg::IpcSide::forgetClient(int client)
{
    const auto found = m_clients.find(client);
    if (found == m_clients.end())
        return;
    // Its signal is being delivered now: it goes once that is over.
    QSocketNotifier *notifier = found->second;
    notifier->setEnabled(false);
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    notifier->deleteLater();
    m_clients.erase(found);
}

void CDezedoRavovadDlg::IpcSide::setWatching(bool on)
{
    m_listening->setEnabled(on);
    for (const auto &[client, notifier] : m_clients)
        notifier->setEnabled(on);
}

int32_t CDezedoRavovadDlg::IpcSide::exchange()
{
    if (!m_channel) {
        const std::string name =
            m_window.m_services.ipcBlockName.empty() ? ipcBlockName() : m_window.m_services.ipcBlockName;
        m_channel = std::make_unique<IpcChannel>(name);
    }
    return m_dispatcher.handle(*m_channel);
}

bool CDezedoRavovadDlg::IpcSide::release()
{
    m_window.OnReleaseButton();
    // Set only once the camera's controls are locked and the shutter fired.
    return m_window.m_releaseLocked;
}

bool CDezedoRavovadDlg::IpcSide::selectListPosition(StepList list, int position)
{
    QComboBox *box = listFor(list);
    box->setCurrentIndex(position);
    m_window.onSettingChanged(box);
    if (box->currentIndex() != position || !m_window.m_camera)
        return false;
    // A refused lock puts the list back without sending anything; what the
    // camera last reported tells whether the value went through.
    const std::optional<uint32_t> value = SettingsPanel::selectedValue(box);
    const ReleaseParams held = m_window.m_camera->cachedReleaseParams();
    const size_t offset = list == StepList::ShutterSpeed ? 30 : 28;
    return value && releaseBlockWord(held.bytes, offset) == *value;
}

void CDezedoRavovadDlg::IpcSide::setBaseDirectory(const std::string &path)
{
    m_window.m_settings.baseDirectory = QFile::decodeName(QByteArray::fromStdString(path));
    m_window.publishImageDirectorySettings();
    m_window.updateDiskSpace();
}

void CDezedoRavovadDlg::IpcSideDeleter::operator()(IpcSide *side) const
{
    delete side;
}

void CDezedoRavovadDlg::connectIpc()
{
    std::string error;
    const std::optional<std::string> path = ipcSocketPath(true, error);
    std::unique_ptr<IpcServer> server = path ? IpcServer::listen(*path, error) : nullptr;
    if (!server) {
        logMessage("IPC: running without the channel: " + error);
        return;
    }
    m_ipc.reset(new IpcSide(*this, std::move(server)));
}

void CDezedoRavovadDlg::disconnectIpc()
{
    m_ipc.reset();
}

void CDezedoRavovadDlg::notifyIpcImage(const QString &path)
{
    IpcChannel *channel = m_ipc ? m_ipc->channel() : nullptr;
    if (!channel)
        return;
    const QByteArray bytes = QFile::encodeName(path);
    if (!channel->notify(static_cast<uint32_t>(::getpid()), static_cast<int32_t>(IpcStatus::PhotoSaved),
                         std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) {
        if (channel->isMapped())
            logMessage("IPC: no notification for " + bytes.toStdString() + ": the path does not fit the block");
        return;
    }
    if (channel->hasKeptNotifications())
        m_ipc->retryKeptNotificationsLater();
}

void CDezedoRavovadDlg::notifyIpcProgress(uint16_t value)
{
    if (IpcChannel *channel = m_ipc ? m_ipc->channel() : nullptr)
        channel->setProgressField(value);
}
