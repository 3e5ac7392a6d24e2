#pragma once

#include "imagedownloader.h"

#include <QString>
#include <QUrl>

namespace brackenly {

// Opens a folder in the desktop's file manager through QDesktopServices. No shell and no
// command line are involved, so the folder text is never interpreted.
class DesktopFolderOpener : public FolderOpener
{
public:
    bool openFolder(const QString& folder) override;

    // The local-file address of the folder as it stands (made absolute); an empty address
    // for an empty text.
    static QUrl folderUrl(const QString& folder);
};

} // namespace brackenly
