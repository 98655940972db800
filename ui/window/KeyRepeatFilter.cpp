#include "KeyRepeatFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>

KeyRepeatFilter::KeyRepeatFilter(QObject *parent)
    : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool KeyRepeatFilter::repeatsLastRelease(int key, quint64 time) const
{
    const auto released = m_lastRelease.find(key);
    return time != 0 && released != m_lastRelease.end() && released->second == time;
}

bool KeyRepeatFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::KeyRelease) {
        m_lastRelease[key->key()] = key->timestamp();
        return false;
    }
    if (key->isAutoRepeat() || !repeatsLastRelease(key->key(), key->timestamp()))
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Taken by the control with the focus: no shortcut fires for it.
        event->accept();
        return true;
    }
    // The control with the focus gets the press marked as the repeat it is.
    QKeyEvent marked(QEvent::KeyPress, key->key(), key->modifiers(), key->nativeScanCode(), key->nativeVirtualKey(),
                     key->nativeModifiers(), key->text(), true, key->count());
    marked.setTimestamp(key->timestamp());
    QCoreApplication::sendEvent(watched, &marked);
    event->setAccepted(marked.isAccepted());
    return true;
}
