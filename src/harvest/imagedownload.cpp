#include "imagedownload.h"

#include "imagedownloader.h"
#include "imagenames.h"

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

bool PrepareImageDownloads(ImageDownloader* downloader, const QList<DomImage>& images,
                           const QString& folder, Browser* page, const QString& prefix)
{
    if (!downloader)
        return true;
    QStringList srcs;
    for (const DomImage& image : images) {
        if (image.src.trimmed().isEmpty() || !image.src.startsWith(prefix))
            continue;
        const QString path = ImageFilePath(folder, image.src);
        if (!path.isEmpty() && !inFlight().contains(path) && !QFileInfo::exists(path))
            srcs.append(image.src);
    }
    if (srcs.isEmpty())
        return true;
    try {
        return downloader->prepare(srcs, page);
    } catch (const std::exception&) {
        return false;
    }
}

bool IsImageDownloading(const QString& path)
{
    return inFlight().contains(path);
}

} // namespace brackenly
