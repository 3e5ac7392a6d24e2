#include "programdrive.h"

#include "recordfile.h"

#include <QDir>

namespace brackenly {

QString GetProgramDrive(const QString& programFolder)
{
    const qsizetype colon = programFolder.indexOf(u':');
    if (colon < 0)
        return QStringLiteral("C:");
    return programFolder.left(colon + 1);
}

QString DefaultImageFolder(const QString& programFolder)
{
    if (programFolder.contains(u':'))
        return JoinPath(GetProgramDrive(programFolder), kImageFolderName);
    // No drive (Linux, macOS): keep the images beside the program, not at the file system root.
    if (programFolder.endsWith(QDir::separator()) || programFolder.endsWith(u'/'))
        return programFolder + kImageFolderName;
    return JoinPath(programFolder, kImageFolderName);
}

} // namespace brackenly
