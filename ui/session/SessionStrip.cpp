#include "SessionStrip.h"

#include "ImageList.h"
#include "ThumbnailCache.h"

#include <QCloseEvent>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 4;
constexpr int kMark = 3;  // the width of the current image's frame

// A thumbnail with its name below it; the current image framed.
class ThumbnailDelegate : public QStyledItemDelegate {
public:
    ThumbnailDelegate(ThumbnailCache &thumbnails, QObject *parent)
        : QStyledItemDelegate(parent), m_thumbnails(thumbnails)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        const QSize box = ThumbnailCache::kBox;
        return {box.width() + 2 * kMargin, box.height() + option.fontMetrics.height() + 3 * kMargin};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        const QRect cell = option.rect;
        const QRect slot(cell.left() + kMargin, cell.top() + kMargin, ThumbnailCache::kBox.width(),
                         ThumbnailCache::kBox.height());
        const QImage picture = m_thumbnails.thumbnail(index.data(ImageList::PathRole).toString(),
                                                      index.data(ImageList::RotationRole).toInt());
        if (picture.isNull()) {
            painter->fillRect(slot, option.palette.mid());
        } else {
            QRect place(QPoint(), picture.size());
            place.moveCenter(slot.center());
            painter->drawImage(place, picture);
        }
        if (index.data(ImageList::CurrentRole).toBool()) {
            painter->setPen(QPen(option.palette.highlight(), kMark));
            painter->drawRect(slot.adjusted(-1, -1, 1, 1));
        }
        const QRect label(cell.left() + kMargin, slot.bottom() + kMargin, slot.width(),
                          option.fontMetrics.height());
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(label, Qt::AlignHCenter | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle,
                                                        label.width()));
        painter->restore();
    }

private:
    ThumbnailCache &m_thumbnails;
};

}  // namespace

SessionStrip::SessionStrip(ImageList &images, QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_images(images)
{
    setObjectName(QStringLiteral("sessionStrip"));
    setWindowTitle(QStringLiteral("Session"));
    m_thumbnails = new ThumbnailCache(this);

    m_view = new QListView(this);
    m_view->setObjectName(QStringLiteral("sessionStripList"));
    m_view->setFlow(QListView::LeftToRight);
    m_view->setWrapping(false);
    // Every cell is the same size: the view lays out a thousand images
    // without asking each one.
    m_view->setUniformItemSizes(true);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setItemDelegate(new ThumbnailDelegate(*m_thumbnails, m_view));
    m_view->setModel(&m_images);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    const QSize cell = m_view->itemDelegate()->sizeHint(QStyleOptionViewItem(), QModelIndex());
    resize(8 * cell.width(), cell.height() + m_view->horizontalScrollBar()->sizeHint().height() + 2 * kMargin);

    connect(m_view, &QListView::clicked, this, [this](const QModelIndex &index) { emit imageChosen(index.row()); });
    connect(&m_images, &ImageList::currentChanged, this, [this] { showCurrent(); });
    connect(&m_images, &QAbstractItemModel::rowsInserted, this, [this] { showCurrent(); });
    connect(m_thumbnails, &ThumbnailCache::thumbnailReady, m_view->viewport(), qOverload<>(&QWidget::update));
}

void SessionStrip::showCurrent()
{
    if (m_images.hasCurrent())
        m_view->scrollTo(m_images.index(m_images.currentIndex()));
}

void SessionStrip::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}
