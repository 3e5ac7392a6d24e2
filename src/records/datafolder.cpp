#include "datafolder.h"

#include "recordfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brackenly {

namespace {

const QString kProxyListFileName = QStringLiteral("proxyserver.mdb");

// The folder is this user's and nobody else may change what is in it. Where the system has
// no owners and modes, every folder counts.
bool IsOwnFolder(const QString& path, bool othersMayWrite)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return st.st_uid == ::geteuid() && (othersMayWrite || (st.st_mode & (S_IWGRP | S_IWOTH)) == 0);
#else
    Q_UNUSED(othersMayWrite);
    return QFileInfo(path).isDir();
#endif
}

// The permission checks ask the system (access()), so a read-only mount counts as read-only
// for root too. A program folder that cannot be written is kept when it already holds the
// user's files: they are read from it, and only saving fails, with a message.
bool KeepsProgramFolder(const QString& programFolder)
{
    if (programFolder.isEmpty() || !IsOwnFolder(programFolder, false))
        return false;
    const QString sessionPath = SessionFolderPath(programFolder);
    const QFileInfo session(sessionPath);
    if (session.exists() || session.isSymLink())
        return IsOwnFolder(sessionPath, true) && session.isReadable() && session.isExecutable();
    const QFileInfo folder(programFolder);
    return (folder.isWritable() && folder.isExecutable()) ||
           QFileInfo(JoinPath(programFolder, kProxyListFileName)).isFile();
}

} // namespace

QString ChooseDataFolder(const QString& programFolder, const QString& userDataFolder)
{
    if (KeepsProgramFolder(programFolder) || userDataFolder.isEmpty())
        return programFolder;
    return userDataFolder;
}

bool MakePrivateFolder(const QString& path)
{
    constexpr auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!QFileInfo(path).isDir())
        return QDir().mkdir(path, ownerOnly);
#ifdef Q_OS_UNIX
    // Ours and open to others: narrow it. Someone else's folder keeps its mode.
    struct stat st;
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077))
        ::chmod(name.constData(), st.st_mode & 07700);
#endif
    return true;
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
