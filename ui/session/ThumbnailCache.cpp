#include "ThumbnailCache.h"

#include "ImageThumbnail.h"

#include <QMetaObject>

namespace {

QString cacheKey(const QString &path, int rotation)
{
    return path + QLatin1Char('|') + QString::number(rotation);
}

}  // namespace

ThumbnailCache::ThumbnailCache(QObject *parent) : QObject(parent), m_cache(kBudgetBytes)
{
    // One reader: the other core stays with the user interface.
    m_pool.setMaxThreadCount(1);
}

ThumbnailCache::~ThumbnailCache()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.clear();
    }
    m_pool.waitForDone();
}

QImage ThumbnailCache::thumbnail(const QString &path, int rotation)
{
    const QString key = cacheKey(path, rotation);
    if (const QImage *kept = m_cache.object(key))
        return *kept;
    if (m_asked.contains(key) || m_unreadable.contains(key))
        return {};
    m_asked.insert(key);
    bool start = false;
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back({key, path, rotation});
        while (static_cast<int>(m_waiting.size()) > kMaxWaiting) {
            // Scrolled past long ago: asked for again should it come back.
            m_asked.remove(m_waiting.front().key);
            m_waiting.pop_front();
        }
        start = !m_working;
        m_working = true;
    }
    if (start)
        m_pool.start([this] { work(); });
    return {};
}

void ThumbnailCache::work()
{
    for (;;) {
        Request request;
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping || m_waiting.empty()) {
                m_working = false;
                return;
            }
            // The newest request is what the strip shows now.
            request = std::move(m_waiting.back());
            m_waiting.pop_back();
        }
        const QImage image = readImageThumbnail(request.path, kBox, request.rotation);
        QMetaObject::invokeMethod(
            this, [this, key = request.key, path = request.path, image] { store(key, path, image); },
            Qt::QueuedConnection);
    }
}

void ThumbnailCache::store(const QString &key, const QString &path, const QImage &image)
{
    m_asked.remove(key);
    if (image.isNull()) {
        m_unreadable.insert(key);
        return;
    }
    m_cache.insert(key, new QImage(image), image.sizeInBytes());
    emit thumbnailReady(path);
}
