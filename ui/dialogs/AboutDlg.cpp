#include "AboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#ifndef QUILLOMAT_VERSION
#error "QUILLOMAT_VERSION must be defined by the build"
#endif

QString CAboutDlg::version()
{
    return QStringLiteral(QUILLOMAT_VERSION);
}

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Quillomat"));
    setModal(true);

    auto *nameLabel = new QLabel(QStringLiteral("Quillomat"), this);
    nameLabel->setObjectName(QStringLiteral("programNameLabel"));
    QFont nameFont = nameLabel->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
    nameLabel->setFont(nameFont);

    auto *versionLabel = new QLabel(QStringLiteral("Version %1").arg(version()), this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *descriptionLabel = new QLabel(
        QStringLiteral("Remote capture for the EOS D30 and EOS D60 digital SLRs: change the camera's "
                       "settings from the computer, release the shutter, and have every image saved "
                       "under a dated folder with a preview, a histogram and its shooting information."),
        this);
    descriptionLabel->setObjectName(QStringLiteral("descriptionLabel"));
    descriptionLabel->setWordWrap(true);
    descriptionLabel->setMinimumWidth(320);

    auto *text = new QVBoxLayout;
    text->addWidget(nameLabel);
    text->addWidget(versionLabel);
    text->addSpacing(8);
    text->addWidget(descriptionLabel);

    auto *top = new QHBoxLayout;
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        auto *iconLabel = new QLabel(this);
        iconLabel->setObjectName(QStringLiteral("iconLabel"));
        iconLabel->setPixmap(icon.pixmap(48, 48));
        iconLabel->setAlignment(Qt::AlignTop);
        top->addWidget(iconLabel);
    }
    top->addLayout(text, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
