// "Image Attributes": the long information text of the current image in a
// resizable window, read-only, with an OK button under it.
#ifndef QUILLOMAT_UI_DIALOGS_IMAGEATTRIBUTESDIALOG_H
#define QUILLOMAT_UI_DIALOGS_IMAGEATTRIBUTESDIALOG_H

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

class QPlainTextEdit;
class QPushButton;
class QResizeEvent;

// Where the text and the button go in a client area: the button keeps its
// size, centred, its bottom 10 pixels above the bottom; the text starts at
// (2, 2), 4 pixels narrower than the area, its bottom 10 pixels above the
// button (without a button, 2 pixels above the bottom).
struct ImageAttributesGeometry {
    QRect text;
    QRect button;
};
ImageAttributesGeometry imageAttributesGeometry(QSize client, std::optional<QSize> button);

class ImageAttributesDialog : public QDialog {
    Q_OBJECT

public:
    explicit ImageAttributesDialog(const QString &text = QString(), QWidget *parent = nullptr);

    // The program's texts break lines with "\r\n"; they are shown as lines.
    // May be called while the dialog is open.
    void setText(const QString &text);
    QString text() const { return m_text; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeControls();

    QString m_text;
    QPlainTextEdit *m_attributesText = nullptr;
    QPushButton *m_okButton = nullptr;
};

#endif
