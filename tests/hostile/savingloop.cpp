// Saves one session or settings file through the program's own writer, alternating two
// versions, until it is killed. Arguments: "session" or "settings", the program folder, the
// version to write first (0 or 1).

#include "savedversions.h"

#include <QDir>
#include <cstdio>
#include <cstdlib>

using namespace brackenly;

int main(int argc, char* argv[])
{
    if (argc != 4)
        return 2;
    const QString kind = QString::fromLocal8Bit(argv[1]);
    const QString path = savedversions::filePath(kind, QString::fromLocal8Bit(argv[2]));
    const QString versions[2] = {savedversions::text(kind, 0), savedversions::text(kind, 1)};
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (unsigned i = std::atoi(argv[3]);; ++i) {
        if (!WriteTextFile(path, versions[i % 2]))
            return 1;
    }
}
