#include "IpcChannel.h"

#include "DiagnosticLog.h"

IpcChannel::IpcChannel(std::string blockName, Log log)
    : m_blockName(std::move(blockName)),
      m_log(log ? std::move(log) : Log([](const std::string &text) { logMessage(text); }))
{
}

IpcChannel::IpcChannel(std::span<unsigned char, IpcBlock::kSize> block) : m_bytes(block.data())
{
    // Go on from the sequence word the block holds, as after a restart.
    m_sequence = (IpcBlockView(m_bytes).word(IpcBlock::kSequence) + 1u) & ~1u;
}

IpcChannel::~IpcChannel() = default;

unsigned char *IpcChannel::mapped()
{
    if (m_bytes || m_blockName.empty())
        return m_bytes;
    std::string error;
    m_shared = IpcSharedBlock::open(m_blockName, error);
    if (!m_shared) {
        if (!m_failureLogged)
            m_log("IPC: the channel's block is not used: " + error);
        m_failureLogged = true;
        return nullptr;
    }
    m_bytes = m_shared->bytes();
    m_sequence = (IpcBlockView(m_bytes).word(IpcBlock::kSequence) + 1u) & ~1u;
    return m_bytes;
}

unsigned char *IpcChannel::touchable()
{
    if (!m_bytes)
        return nullptr;
    if (m_shared && !m_shared->ensureWhole()) {
        if (!m_failureLogged)
            m_log("IPC: the channel's block was cut short and cannot be restored");
        m_failureLogged = true;
        return nullptr;
    }
    return m_bytes;
}

IpcChannel::CommandWords IpcChannel::readCommand()
{
    if (!mapped())
        return {};
    unsigned char *bytes = touchable();
    if (!bytes)
        return {};
    const IpcBlockView block(bytes);
    return {block.signedWord(IpcBlock::kCommand), block.signedWord(IpcBlock::kParameter)};
}

bool IpcChannel::writeStatus(uint32_t window, int32_t status, std::string_view text)
{
    if (!mapped())
        return false;
    unsigned char *bytes = touchable();
    if (!bytes)
        return false;
    return IpcBlockView(bytes).writeAnswer(m_sequence, window, status, text);
}

bool IpcChannel::notify(uint32_t window, int32_t status, std::string_view text)
{
    if (text.size() > IpcBlock::kMaxText || text.find('\0') != std::string_view::npos || !mapped() || !touchable())
        return false;
    m_kept.push_back({window, status, std::string(text)});
    retryKeptNotifications();
    return true;
}

void IpcChannel::writeKeptNotifications()
{
    for (const Notification &kept : m_kept)
        writeStatus(kept.window, kept.status, kept.text);
    m_kept.clear();
}

bool IpcChannel::retryKeptNotifications()
{
    if (m_kept.empty())
        return true;
    // A block of the caller's own (tests) has no turns to take.
    if (m_shared && !m_shared->tryLock())
        return false;
    writeKeptNotifications();
    if (m_shared)
        m_shared->unlock();
    return true;
}

std::optional<std::string> IpcChannel::commandText()
{
    unsigned char *bytes = touchable();
    if (!bytes)
        return std::nullopt;
    return IpcBlockView(bytes).text();
}

void IpcChannel::setProgressField(int32_t value)
{
    if (unsigned char *bytes = touchable())
        IpcBlockView(bytes).setSignedWord(IpcBlock::kProgress, value);
}
