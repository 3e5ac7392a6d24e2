#include "windowsessionhost.h"

#include "browserapp.h"
#include "frmbrowser.h"
#include "frmhome.h"

#include <QLineEdit>

namespace brackenly {

QWidget* WindowSessionHost::window()
{
    return &w_;
}

Prompt& WindowSessionHost::prompt()
{
    return *w_.app().services().prompt;
}

QString WindowSessionHost::hostProgramFolder() const
{
    return w_.app().services().programFolder;
}

void WindowSessionHost::setStatusText(const QString& text)
{
    w_.setStatusText(text);
}

QString WindowSessionHost::saveFolder() const
{
    return w_.gstrSaveFolder;
}

void WindowSessionHost::setSaveFolder(const QString& folder)
{
    w_.gstrSaveFolder = folder;
}

void WindowSessionHost::setHomePageBox(const QString& text)
{
    w_.app().preferences()->txtHome->setText(text);
}

void WindowSessionHost::setImageFolderBox(const QString& text)
{
    w_.app().preferences()->txtImageFolder->setText(text);
}

} // namespace brackenly
