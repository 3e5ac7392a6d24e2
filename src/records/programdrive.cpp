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
    // Only a Windows-style path starts with a drive ("C:"); elsewhere ':' is a character of
    // a folder name like any other ("/home/u/a:b").
    const bool drive = programFolder.size() >= 2 && programFolder.at(1) == u':' &&
                       programFolder.at(0).isLetter() && programFolder.at(0).unicode() < 128;
    if (drive)
        return JoinPath(GetProgramDrive(programFolder), kImageFolderName);
    // No drive (Linux, macOS): keep the images beside the program, not at the file system root.
    if (programFolder.endsWith(QDir::separator()) || programFolder.endsWith(u'/'))
        return programFolder + kImageFolderName;
    return JoinPath(programFolder, kImageFolderName);
}

} // namespace brackenly
