// The session strip's thumbnails: read off the user-interface thread, kept
// within a byte budget, newest request first.
//
// thumbnail() answers at once from the cache, or with nothing and a request
// to the worker; thumbnailReady() follows on the owner's thread once the
// picture is in. Requests pile up while the strip scrolls: only the newest
// few are kept, so the worker never falls far behind what is on screen. The
// pictures least recently shown go first when the budget is full; scrolling
// back to them reads them again.
#ifndef QUILLOMAT_UI_SESSION_THUMBNAILCACHE_H
#define QUILLOMAT_UI_SESSION_THUMBNAILCACHE_H

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <deque>
#include <mutex>

class ThumbnailCache : public QObject {
    Q_OBJECT
public:
    // The room given to one thumbnail.
    static constexpr QSize kBox{120, 90};
    // What the kept thumbnails may take in all: under 30 MB, and room for a
    // thousand of them (28 800 bytes each at three bytes a pixel).
    static constexpr qint64 kBudgetBytes = 29'000'000;
    // Requests waiting beyond this many drop the oldest.
    static constexpr int kMaxWaiting = 48;

    explicit ThumbnailCache(QObject *parent = nullptr);
    ~ThumbnailCache() override;
    ThumbnailCache(const ThumbnailCache &) = delete;
    ThumbnailCache &operator=(const ThumbnailCache &) = delete;

    // The thumbnail of the file at `path` turned by `rotation`, or a null
    // image while it is being read (or could not be read).
    QImage thumbnail(const QString &path, int rotation);

    // The bytes the kept thumbnails take.
    qint64 keptBytes() const { return m_cache.totalCost(); }
    int keptCount() const { return m_cache.count(); }

signals:
    void thumbnailReady(const QString &path);

private:
    struct Request {
        QString key;
        QString path;
        int rotation = 0;
    };

    void work();
    void store(const QString &key, const QString &path, const QImage &image);

    QCache<QString, QImage> m_cache;
    // Read and found unreadable: not asked for again until the file is renamed.
    QSet<QString> m_unreadable;
    // Asked for and not yet stored (user-interface thread only).
    QSet<QString> m_asked;

    std::mutex m_mutex;  // guards the members below
    std::deque<Request> m_waiting;
    bool m_working = false;
    bool m_stopping = false;

    QThreadPool m_pool;
};

#endif
