// Finding a dialog's controls by name, and printing Qt strings in failures.
#ifndef QUILLOMAT_TESTS_UI_DIALOGS_DIALOGTESTSUPPORT_H
#define QUILLOMAT_TESTS_UI_DIALOGS_DIALOGTESTSUPPORT_H

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <functional>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// The one child of `parent` called `name`; fails the test when there is none.
template <typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no " << name;
    return found;
}

// Lets the window system deliver what it queued (resizes, shows) until
// `done` holds, for at most two seconds.
inline bool settle(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 2000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

#endif
