#include "ImageEventQueue.h"

#include <algorithm>

void ImageEventQueue::append(ImageEventKind kind, const ReleasedImageRecord &record, std::string fileName)
{
    std::lock_guard lock(m_mutex);
    m_entries.push_back(ImageEvent{kind, record, std::move(fileName)});
}

bool ImageEventQueue::takeFirst(ImageEvent &event)
{
    std::lock_guard lock(m_mutex);
    if (m_entries.empty())
        return false;
    event = m_entries.front();
    m_entries.pop_front();
    return true;
}

void ImageEventQueue::clear()
{
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

std::size_t ImageEventQueue::countFullViews() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count_if(m_entries.begin(), m_entries.end(), [](const ImageEvent &e) {
        return e.kind == ImageEventKind::FullView;
    }));
}

std::size_t ImageEventQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

void ImageEventQueue::appendAll(const ImageEventQueue &other)
{
    if (&other == this) {
        std::lock_guard lock(m_mutex);
        const std::deque<ImageEvent> copy = m_entries;
        m_entries.insert(m_entries.end(), copy.begin(), copy.end());
        return;
    }
    std::scoped_lock lock(m_mutex, other.m_mutex);
    m_entries.insert(m_entries.end(), other.m_entries.begin(), other.m_entries.end());
}
