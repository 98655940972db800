#include "IpcDispatcher.h"

#include <cctype>

namespace {

// The mode text without its "Mode: " label, in lower case ("manual", "tv").
std::string modeName(const std::string &modeText)
{
    std::string name = modeText.size() > 6 ? modeText.substr(6) : modeText;
    for (char &c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        uint32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u)
                return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

IpcDispatcher::IpcDispatcher(IpcWindow &window)
    : IpcDispatcher(window, [](const std::string &path) { return ensureDirectory(path); })
{
}

IpcDispatcher::IpcDispatcher(IpcWindow &window, EnsureDirectory ensureDirectory)
    : m_window(window), m_ensureDirectory(std::move(ensureDirectory))
{
}

void IpcDispatcher::answer(IpcChannel &channel, IpcStatus status, std::string_view text)
{
    // The command has been read, and the client waits: notifications kept
    // meanwhile go in first, so that the answer is what it reads.
    channel.writeKeptNotifications();
    channel.writeStatus(m_window.windowId(), static_cast<int32_t>(status), text);
}

int32_t IpcDispatcher::handle(IpcChannel &channel)
{
    const IpcChannel::CommandWords words = channel.readCommand();
    const bool connected = m_window.isConnected();
    switch (words.command) {
    case static_cast<int32_t>(IpcCommand::ReportState):
        if (!connected)
            answer(channel, IpcStatus::NotConnected);
        else
            answer(channel, m_window.isBusy() ? IpcStatus::Busy : IpcStatus::Idle, m_window.cameraModelName());
        break;
    case static_cast<int32_t>(IpcCommand::Release):
        if (!connected) {
            answer(channel, IpcStatus::NotConnected);
        } else if (m_window.isBusy()) {
            answer(channel, IpcStatus::Busy);
        } else if (m_window.release()) {
            channel.setProgressField(0);
            answer(channel, IpcStatus::ReleaseStarted);
        } else {
            // Refused or failed at once (bulb, the camera's lock, the image
            // folder, the card, the camera): the client must not wait for a photo.
            answer(channel, IpcStatus::NotDone);
        }
        break;
    case static_cast<int32_t>(IpcCommand::NoOperation):
        answer(channel, connected ? IpcStatus::NotDone : IpcStatus::NotConnected);
        break;
    case static_cast<int32_t>(IpcCommand::SetShutterSpeed):
        setStepListPosition(channel, IpcWindow::StepList::ShutterSpeed, words.parameter);
        break;
    case static_cast<int32_t>(IpcCommand::SetAperture):
        setStepListPosition(channel, IpcWindow::StepList::Aperture, words.parameter);
        break;
    case static_cast<int32_t>(IpcCommand::SetImageDirectory):
        setImageDirectory(channel);
        break;
    case static_cast<int32_t>(IpcCommand::ReportImageDirectory):
        reportImageDirectory(channel);
        break;
    case static_cast<int32_t>(IpcCommand::SetComment):
        setComment(channel);
        break;
    default:
        // Not a command (also 0, an unreadable block): nothing is answered.
        // A client that holds the turn while it waits for a photo sends this
        // to let a notification kept for it in.
        channel.writeKeptNotifications();
        break;
    }
    return 1;
}

void IpcDispatcher::setStepListPosition(IpcChannel &channel, IpcWindow::StepList list, int32_t position)
{
    if (!m_window.isConnected()) {
        answer(channel, IpcStatus::NotConnected);
        return;
    }
    if (m_window.isBusy()) {
        answer(channel, IpcStatus::Busy);
        return;
    }
    const bool tv = list == IpcWindow::StepList::ShutterSpeed;
    const std::string mode = modeName(m_window.modeText());
    if (mode != "manual" && mode != (tv ? "tv" : "av")) {
        answer(channel, tv ? IpcStatus::Busy : IpcStatus::NotDone);
        return;
    }
    // A position outside the list selects nothing and sends nothing.
    if (position < 0 || position >= m_window.listSize(list)) {
        answer(channel, IpcStatus::NotDone);
        return;
    }
    answer(channel, m_window.selectListPosition(list, position) ? IpcStatus::Done : IpcStatus::NotDone);
}

void IpcDispatcher::setImageDirectory(IpcChannel &channel)
{
    if (m_window.isConnected() && m_window.isBusy()) {
        answer(channel, IpcStatus::Busy);
        return;
    }
    std::string path = channel.commandText().value_or(std::string());
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    // Only absolute paths: a relative one would be taken from Quillomat's
    // own working directory, not the client's.
    if (path.empty() || path.front() != '/' || !isValidUtf8(path) || !m_ensureDirectory(path)) {
        answer(channel, IpcStatus::NotDone);
        return;
    }
    m_window.setBaseDirectory(path);
    answer(channel, IpcStatus::Done);
}

void IpcDispatcher::reportImageDirectory(IpcChannel &channel)
{
    const std::optional<ImageDirectorySettings> settings = m_window.imageDirectorySettings();
    if (!settings) {
        answer(channel, IpcStatus::Done, "/");
        return;
    }
    // A directory too long for the block is not sent cut short.
    if (!channel.writeStatus(m_window.windowId(), static_cast<int32_t>(IpcStatus::Done),
                             imageDirectory(*settings, m_window.today())))
        answer(channel, IpcStatus::NotDone);
}

void IpcDispatcher::setComment(IpcChannel &channel)
{
    const std::string text = channel.commandText().value_or(std::string());
    if (text.size() > IpcBlock::kMaxComment || !isValidUtf8(text)) {
        answer(channel, IpcStatus::NotDone);
        return;
    }
    m_window.setComment(text);
    answer(channel, IpcStatus::Done);
}
