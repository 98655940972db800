// Opens the HTML help page in the desktop's program for web pages, and tells
// when no program took it. xdg-open is asked first because its exit status
// says whether a program opened the page (QDesktopServices on X11 and Wayland
// only knows that xdg-open started); without xdg-open, QDesktopServices tries
// the browsers it knows.
#ifndef QUILLOMAT_UI_WINDOW_HELPPAGEOPENER_H
#define QUILLOMAT_UI_WINDOW_HELPPAGEOPENER_H

#include <QObject>
#include <QString>

class HelpPageOpener : public QObject {
    Q_OBJECT
public:
    explicit HelpPageOpener(QObject *parent = nullptr);

    // Starts opening the page at path; failed() follows when nothing showed it.
    void open(const QString &path);
    // True while an xdg-open started here has not ended (it can last as long
    // as the browser it runs).
    bool isOpening() const { return m_running > 0; }

    // What failed() gives as the reason.
    static QString noBrowserText();
    static QString xdgOpenFailedText(int exitCode);

signals:
    void failed(const QString &path, const QString &reason);

private:
    void openWithoutXdgOpen(const QString &path);

    int m_running = 0;
};

#endif
