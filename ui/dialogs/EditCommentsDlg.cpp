#include "EditCommentsDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

CEditCommentsDlg::CEditCommentsDlg(const QString &comment, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("editCommentsDialog"));
    setWindowTitle(QStringLiteral("Edit Comments"));
    setModal(true);

    auto *prompt = new QLabel(QStringLiteral("Please enter comments for this image:"), this);
    prompt->setObjectName(QStringLiteral("promptLabel"));
    m_commentEdit = new QPlainTextEdit(this);
    m_commentEdit->setObjectName(QStringLiteral("commentEdit"));
    m_commentEdit->setTabChangesFocus(true);
    prompt->setBuddy(m_commentEdit);
    connect(m_commentEdit->document(), &QTextDocument::contentsChange, this, &CEditCommentsDlg::limitInsertion);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_commentEdit, 1);
    layout->addWidget(buttons);
    resize(400, 220);
    setComment(comment);
}

QString CEditCommentsDlg::comment() const
{
    return m_commentEdit->toPlainText();
}

void CEditCommentsDlg::setComment(const QString &comment)
{
    QString text = comment;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_commentEdit->setPlainText(text);
    m_commentEdit->moveCursor(QTextCursor::End);
}

void CEditCommentsDlg::limitInsertion(int position, int, int added)
{
    // Whatever goes past the limit is cut from the end of what was just
    // inserted, as an edit control with a text limit does.
    const int excess = static_cast<int>(m_commentEdit->toPlainText().size()) - maximumLength;
    if (excess <= 0 || added <= 0)
        return;
    // The document's last position is its closing paragraph mark.
    const int end = std::min(position + added, m_commentEdit->document()->characterCount() - 1);
    const int start = std::max(position, end - excess);
    QTextCursor cursor(m_commentEdit->document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}
