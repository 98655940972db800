#include "ImageAttributesDialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>

#include <algorithm>

ImageAttributesGeometry imageAttributesGeometry(QSize client, std::optional<QSize> button)
{
    constexpr int margin = 2;
    constexpr int gap = 10;
    const int width = client.width();
    const int height = client.height();
    ImageAttributesGeometry geometry;
    int textBottom = height - margin;  // exclusive
    if (button) {
        geometry.button = QRect(QPoint((width - button->width()) / 2, height - gap - button->height()), *button);
        textBottom = geometry.button.top() - gap;
    }
    geometry.text = QRect(margin, margin, std::max(0, width - 2 * margin), std::max(0, textBottom - margin));
    return geometry;
}

ImageAttributesDialog::ImageAttributesDialog(const QString &text, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("imageAttributesDialog"));
    setWindowTitle(QStringLiteral("Image Attributes"));
    setModal(true);
    setSizeGripEnabled(true);

    m_attributesText = new QPlainTextEdit(this);
    m_attributesText->setObjectName(QStringLiteral("attributesText"));
    m_attributesText->setReadOnly(true);
    m_attributesText->setLineWrapMode(QPlainTextEdit::NoWrap);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    m_okButton->resize(m_okButton->sizeHint().expandedTo(QSize(75, 23)));
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);

    // The button and a few lines of text stay visible however small it is made.
    setMinimumSize(m_okButton->width() + 20, m_okButton->height() + 80);
    resize(340, 423);  // about 227 x 260 dialog units
    setText(text);
    placeControls();
}

void ImageAttributesDialog::setText(const QString &text)
{
    m_text = text;
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    m_attributesText->setPlainText(shown);
}

void ImageAttributesDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeControls();
}

void ImageAttributesDialog::placeControls()
{
    const ImageAttributesGeometry geometry = imageAttributesGeometry(size(), m_okButton->size());
    m_okButton->setGeometry(geometry.button);
    m_attributesText->setGeometry(geometry.text);
}
