// "Edit Comments": the comment kept in the current image file, at most 256
// characters; typing or pasting stops at the limit.
#ifndef QUILLOMAT_UI_DIALOGS_EDITCOMMENTSDLG_H
#define QUILLOMAT_UI_DIALOGS_EDITCOMMENTSDLG_H

#include <QDialog>
#include <QString>

class QPlainTextEdit;

class CEditCommentsDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int maximumLength = 256;

    explicit CEditCommentsDlg(const QString &comment = QString(), QWidget *parent = nullptr);

    // Lines end in "\n".
    QString comment() const;
    void setComment(const QString &comment);

private:
    void limitInsertion(int position, int removed, int added);

    QPlainTextEdit *m_commentEdit = nullptr;
};

#endif
