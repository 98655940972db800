#include "QtPrompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Error: return QMessageBox::Critical;
    case Prompts::Icon::Refusal: return QMessageBox::Warning;
    case Prompts::Icon::Question: return QMessageBox::Question;
    case Prompts::Icon::Information: return QMessageBox::Information;
    case Prompts::Icon::None: return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtPrompts::message(QWidget *parent, Icon icon, const QString &caption, const QString &text)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtPrompts::askYesNo(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::chooseFolder(QWidget *parent, const QString &title, const QString &start)
{
    const QString folder = QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

std::optional<QColor> QtPrompts::chooseColour(QWidget *parent, const QColor &initial)
{
    const QColor colour = QColorDialog::getColor(initial, parent);
    if (!colour.isValid())
        return std::nullopt;
    return colour;
}

std::optional<QString> QtPrompts::chooseFile(QWidget *parent, const QString &title, const QString &start,
                                             const QString &filter)
{
    const QString file = QFileDialog::getOpenFileName(parent, title, start, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}
