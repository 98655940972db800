// Shows the wait cursor for as long as it lives.
#ifndef QUILLOMAT_UI_WINDOW_WAITCURSOR_H
#define QUILLOMAT_UI_WINDOW_WAITCURSOR_H

#include <QGuiApplication>

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

#endif
