#include "prompt.h"

#include <QApplication>
#include <QMessageBox>

namespace brackenly {

PromptAnswer MessageBoxPrompt::ask(QWidget* parent, const QString& text, const QString& title,
                                   PromptButtons buttons, PromptIcon icon)
{
    QMessageBox::StandardButtons qtButtons = QMessageBox::Ok;
    if (buttons == PromptButtons::OkCancel)
        qtButtons = QMessageBox::Ok | QMessageBox::Cancel;
    else if (buttons == PromptButtons::YesNo)
        qtButtons = QMessageBox::Yes | QMessageBox::No;

    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    if (icon == PromptIcon::Information)
        qtIcon = QMessageBox::Information;
    else if (icon == PromptIcon::Exclamation)
        qtIcon = QMessageBox::Warning;
    else if (icon == PromptIcon::Critical)
        qtIcon = QMessageBox::Critical;

    QMessageBox box(qtIcon, title.isEmpty() ? QApplication::applicationName() : title, text,
                    qtButtons, parent);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    default:
        return PromptAnswer::Cancel;
    }
}

} // namespace brackenly
