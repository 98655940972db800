#include "RenameImageDlg.h"

#include "Prompts.h"
#include "RenameRules.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CRenameImageDlg::CRenameImageDlg(Prompts &prompts, const QString &oldName, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_keptExtension(splitImagePath(oldName).extension)
{
    setObjectName(QStringLiteral("renameImageDialog"));
    setWindowTitle(QStringLiteral("Rename Image"));
    setModal(true);

    m_renameLabel = new QLabel(QStringLiteral("Original name:"), this);
    m_renameLabel->setObjectName(QStringLiteral("renameLabel"));
    m_renameLabel->setText(renameLabel(oldName));
    m_newNameEdit = new QLineEdit(oldName, this);
    m_newNameEdit->setObjectName(QStringLiteral("newNameEdit"));
    m_renameLabel->setBuddy(m_newNameEdit);
    m_newNameEdit->setMinimumWidth(m_newNameEdit->fontMetrics().horizontalAdvance(QString(34, QLatin1Char('M'))));
    // The base name is what is usually changed.
    m_newNameEdit->setSelection(0, static_cast<int>(splitImagePath(oldName).base.size()));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CRenameImageDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRenameImageDlg::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_renameLabel);
    layout->addWidget(m_newNameEdit);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CRenameImageDlg::newName() const
{
    return m_newNameEdit->text();
}

void CRenameImageDlg::accept()
{
    const QString refusal = renameRefusal(newName(), m_keptExtension);
    if (!refusal.isEmpty()) {
        m_prompts.message(this, Prompts::Icon::Error, Prompts::programCaption(), refusal);
        m_newNameEdit->setFocus();
        m_newNameEdit->selectAll();
        return;
    }
    QDialog::accept();
}
