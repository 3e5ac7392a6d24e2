// Makes the start-up folder choice of the program from wherever this copy lies, makes sure
// of the session folder in the chosen folder as the first window does, and prints the choice.
#include "datafolder.h"
#include "recordfile.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Brackenly"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brackenly"));
    QCoreApplication application(argc, argv);
    const QString folder = brackenly::ProgramDataFolder();
    const bool there = brackenly::MakePrivateFolder(brackenly::SessionFolderPath(folder));
    QTextStream(stdout) << folder << '\n';
    return there ? 0 : 1;
}
