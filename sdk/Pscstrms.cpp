#include "Pscstrms.h"

#include "psError.h"

#include <algorithm>
#include <new>

psStream::psStream()
{
    static const pslStreamOps ops = {&psStream::writeEntry, &psStream::progressEntry};
    m_adapter.base.ops = &ops;
    m_adapter.owner = this;
}

psResult psStream::writeEntry(pslStream *stream, const void *data, uint32_t size)
{
    try {
        if (stream == nullptr)
            return psHLSDK_INVALID_POINTER;
        return reinterpret_cast<Adapter *>(stream)->owner->write(data, size);
    } catch (const psCException &e) {
        return e.code;
    } catch (...) {
        return psHLSDK_UNEXPECTED_EXCEPTION;
    }
}

psResult psStream::progressEntry(pslStream *stream, uint32_t percent)
{
    try {
        if (stream == nullptr)
            return psHLSDK_INVALID_POINTER;
        reinterpret_cast<Adapter *>(stream)->owner->progress(percent);
        return 0;
    } catch (const psCException &e) {
        return e.code;
    } catch (...) {
        return psHLSDK_UNEXPECTED_EXCEPTION;
    }
}

psMemoryStream::psMemoryStream() = default;

bool psMemoryStream::reserve(size_t expectedSize)
{
    if (expectedSize > kMaximumSizeHint)
        return true;
    try {
        m_data.reserve(std::max(kInitialCapacity, expectedSize));
    } catch (const std::bad_alloc &) {
        return false;
    } catch (const std::length_error &) {
        return false;
    }
    return true;
}

std::vector<uint8_t> psMemoryStream::takeData()
{
    std::vector<uint8_t> taken;
    taken.swap(m_data);
    return taken;
}

psResult psMemoryStream::write(const void *data, uint32_t size)
{
    if (isCancelled())
        return psHLSDK_OPERATION_CANCELLED;
    if (size == 0)
        return 0;
    if (data == nullptr)
        return psHLSDK_INVALID_POINTER;

    try {
        const size_t needed = m_data.size() + size;
        if (needed > m_data.capacity()) {
            size_t newCapacity;
            if (m_data.capacity() == 0) {
                newCapacity = std::max(kInitialCapacity, needed);
            } else {
                const size_t missing = needed - m_data.capacity();
                newCapacity = std::max(m_data.capacity() * 2,
                                       m_data.capacity() + std::max(missing, kMinimumGrowth));
            }
            m_data.reserve(newCapacity);
        }
        const auto *bytes = static_cast<const uint8_t *>(data);
        m_data.insert(m_data.end(), bytes, bytes + size);
    } catch (const std::bad_alloc &) {
        return psHLSDK_MEM_ALLOC_FAILED;
    } catch (const std::length_error &) {
        return psHLSDK_MEM_ALLOC_FAILED;
    }
    return 0;
}

void psMemoryStream::progress(uint32_t percent)
{
    if (m_listener)
        m_listener(percent);
}
