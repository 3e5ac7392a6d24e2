#include "datafolder.h"

#include "recordfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace brackenly {

namespace {

// The permission checks ask the system (access()), so a read-only mount counts as read-only
// for root too.
bool CanHoldSessionFolder(const QString& programFolder)
{
    if (programFolder.isEmpty())
        return false;
    const QFileInfo session(SessionFolderPath(programFolder));
    if (session.exists())
        return session.isDir() && session.isWritable() && session.isExecutable();
    const QFileInfo folder(programFolder);
    return folder.isDir() && folder.isWritable() && folder.isExecutable();
}

} // namespace

QString ChooseDataFolder(const QString& programFolder, const QString& userDataFolder)
{
    if (CanHoldSessionFolder(programFolder) || userDataFolder.isEmpty())
        return programFolder;
    return userDataFolder;
}

QString ProgramDataFolder()
{
    const QString program = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    const QString user =
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    const QString chosen = ChooseDataFolder(program, user);
    // The session folder is made one level deep later; its parent must exist by then.
    if (chosen != program)
        QDir().mkpath(chosen);
    return chosen;
}

} // namespace brackenly
