// GetFileName and the safe-name rule: whatever an image address holds, the path built from
// it is either refused or names a plain file directly inside the image folder.

#include "fuzztext.h"
#include "imagenames.h"

#include <QFile>
#include <QFileInfo>

using namespace brackenly;
using namespace brackenly::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ExactText src(InputTexts(data, size, 1).at(0));
    const QString name = GetFileName(src.str());
    const bool safe = IsSafeImageFileName(name);
    const QString folder = QStringLiteral("/srv/image folder");
    const QString path = ImageFilePath(folder, src.str());
    FUZZ_CHECK(path.isEmpty() == !safe, src.str());
    if (!safe)
        return 0;

    // What the file system is handed: one visible component under the folder.
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    const QByteArray onDisk = QFile::encodeName(path);
    FUZZ_CHECK(onDisk.startsWith(prefix), path);
    const QByteArray leaf = onDisk.mid(prefix.size());
    FUZZ_CHECK(!leaf.isEmpty() && !leaf.startsWith('.'), path);
    FUZZ_CHECK(!leaf.contains('/') && !leaf.contains('\\') && !leaf.contains('\0'), path);
    FUZZ_CHECK(leaf.size() <= 255, path); // NAME_MAX
    FUZZ_CHECK(QFileInfo(path).absolutePath() == folder, path);
    FUZZ_CHECK(QFileInfo(path).fileName() == name, path);
    return 0;
}
