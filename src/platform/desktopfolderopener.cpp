#include "desktopfolderopener.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace brackenly {

bool DesktopFolderOpener::openFolder(const QString& folder)
{
    const QUrl url = folderUrl(folder);
    return !url.isEmpty() && QDesktopServices::openUrl(url);
}

QUrl DesktopFolderOpener::folderUrl(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    // fromLocalFile escapes "#", "?" and "%", so no part of the name is read as URL syntax.
    return QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath());
}

} // namespace brackenly
