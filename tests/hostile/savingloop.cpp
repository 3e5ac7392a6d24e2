// Saves one session or settings file through the program's own writer, alternating two
// versions, until it is killed. Arguments: "session" or "settings", the program folder.

#include "savedversions.h"

#include <QDir>
#include <cstdio>

using namespace brackenly;

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    const QString kind = QString::fromLocal8Bit(argv[1]);
    const QString path = savedversions::filePath(kind, QString::fromLocal8Bit(argv[2]));
    const QString versions[2] = {savedversions::text(kind, 0), savedversions::text(kind, 1)};
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (unsigned i = 1;; ++i) {
        if (!WriteTextFile(path, versions[i % 2]))
            return 1;
    }
}
