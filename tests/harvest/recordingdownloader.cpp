#include "recordingdownloader.h"

#include "browser.h"

#include <QFile>
#include <QFileInfo>

namespace brackenly {

bool RecordingDownloader::download(const QString& src, const QString& path, Browser* page)
{
    calls.append({src, path, page, page});
    if (during)
        during(src);
    if (failing.contains(src) || QFileInfo::exists(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    file.write(src.toUtf8());
    return true;
}

QStringList RecordingDownloader::sources() const
{
    QStringList list;
    for (const Call& call : calls)
        list << call.src;
    return list;
}

QStringList RecordingDownloader::fileNames() const
{
    QStringList list;
    for (const Call& call : calls)
        list << QFileInfo(call.path).fileName();
    return list;
}

} // namespace brackenly
