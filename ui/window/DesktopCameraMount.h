// The desktop's own camera mount (GNOME's gvfs), which claims an EOS D30 or
// D60 as soon as it is plugged in, so that no other program can open it.
// Releasing it unmounts every gphoto2:// mount through `gio`.
#ifndef QUILLOMAT_UI_WINDOW_DESKTOPCAMERAMOUNT_H
#define QUILLOMAT_UI_WINDOW_DESKTOPCAMERAMOUNT_H

#include <QString>
#include <QStringList>

#include <functional>

class DesktopCameraMount {
public:
    struct Run {
        int exitCode = -1;   // -1: the program could not be run
        QString output;
    };
    using Runner = std::function<Run(const QStringList &arguments)>;

    // Runs `gio` from the PATH unless a runner is given.
    explicit DesktopCameraMount(Runner runner = {});

    // The gphoto2:// mounts in `gio mount -l` output.
    static QStringList cameraMounts(const QString &listing);

    // Unmounts every camera mount; true when there was one and each went.
    bool release() const;

private:
    Runner m_runner;
};

#endif
