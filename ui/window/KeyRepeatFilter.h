// Marks the repeats of a held key that the platform left unmarked.
//
// An X server repeats a held key as a release and a press stamped with the
// same time. The toolkit marks that press as a repeat only when the press
// has already been read while the release is handled, which is not always
// so: a held F8 then released the shutter again after each shot. Here a
// press stamped with the very time of the same key's last release is a
// repeat too, so it fires no command whose action does not repeat, and the
// control with the focus sees it marked as a repeat. An event without a time
// keeps the platform's own mark.
#ifndef QUILLOMAT_UI_WINDOW_KEYREPEATFILTER_H
#define QUILLOMAT_UI_WINDOW_KEYREPEATFILTER_H

#include <QObject>

#include <map>

class KeyRepeatFilter : public QObject {
public:
    // Watches every key event of the application for as long as it lives.
    explicit KeyRepeatFilter(QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Whether a press of `key` stamped `time` comes with the key's last release.
    bool repeatsLastRelease(int key, quint64 time) const;

    std::map<int, quint64> m_lastRelease;  // the time each key last went up
};

#endif
