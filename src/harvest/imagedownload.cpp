#include "imagedownload.h"

#include "imagedownloader.h"

#include <QFileInfo>
#include <QSet>

namespace brackenly {

namespace {

QSet<QString>& inFlight()
{
    static QSet<QString> paths;
    return paths;
}

} // namespace

bool DownloadImageOnce(ImageDownloader* downloader, const QString& src, const QString& path,
                       Browser* page)
{
    if (!downloader || path.isEmpty() || inFlight().contains(path) || QFileInfo::exists(path))
        return false;
    inFlight().insert(path);
    struct Release
    {
        QString path;
        ~Release() { inFlight().remove(path); }
    } release{path};
    try {
        return downloader->download(src, path, page);
    } catch (const std::exception&) {
        return false;
    }
}

bool IsImageDownloading(const QString& path)
{
    return inFlight().contains(path);
}

} // namespace brackenly
