#include "ConsoleWindow.h"

void ConsoleWindow::push(ConsoleEvent event)
{
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_changed.notify_all();
}

void ConsoleWindow::postMessage(PostedMessage message)
{
    ConsoleEvent event;
    event.kind = ConsoleEvent::Kind::Posted;
    event.message = std::move(message);
    push(std::move(event));
}

void ConsoleWindow::showError(const std::string &text)
{
    ConsoleEvent event;
    event.kind = ConsoleEvent::Kind::Error;
    event.text = text;
    push(std::move(event));
}

void ConsoleWindow::setStatusText(const std::string &text)
{
    ConsoleEvent event;
    event.kind = ConsoleEvent::Kind::Status;
    event.text = text;
    push(std::move(event));
}

void ConsoleWindow::setProgress(uint16_t value)
{
    ConsoleEvent event;
    event.kind = ConsoleEvent::Kind::Progress;
    event.progress = value;
    push(std::move(event));
}

void ConsoleWindow::onImageSaved(const std::string &path)
{
    ConsoleEvent event;
    event.kind = ConsoleEvent::Kind::Saved;
    event.text = path;
    push(std::move(event));
}

void ConsoleWindow::endReleaseInUi(const std::string &, const std::string &, const std::string &error)
{
    ConsoleEvent event;
    event.kind = ConsoleEvent::Kind::EndRelease;
    event.text = error;
    push(std::move(event));
}

void ConsoleWindow::showExceptionBox(const std::string &text, ModalReply reply)
{
    ConsoleEvent event;
    event.kind = ConsoleEvent::Kind::ExceptionBox;
    event.text = text;
    event.reply = std::move(reply);
    push(std::move(event));
}

bool ConsoleWindow::next(ConsoleEvent &event, std::chrono::milliseconds patience)
{
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, patience, [this] { return !m_events.empty(); }))
        return false;
    event = std::move(m_events.front());
    m_events.pop_front();
    return true;
}
