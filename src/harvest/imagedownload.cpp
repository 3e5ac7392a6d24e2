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

std::optional<ImageOutcome> UnneededDownload(const QString& src, const QString& path)
{
    ImageOutcome outcome;
    outcome.src = src;
    if (path.isEmpty()) {
        outcome.reason = QStringLiteral("no safe file name");
        return outcome;
    }
    if (!QFileInfo::exists(path))
        return std::nullopt;
    outcome.file = path;
    outcome.status = ImageOutcome::Status::Exists;
    return outcome;
}

ImageOutcome DownloadImageOutcome(ImageDownloader* downloader, const QString& src,
                                  const QString& path, Browser* page)
{
    if (auto unneeded = UnneededDownload(src, path))
        return *unneeded;
    ImageOutcome outcome;
    outcome.src = src;
    outcome.file = path;
    if (inFlight().contains(path)) {
        // The step further up the stack reports it.
        outcome.file.clear();
        outcome.reason = QStringLiteral("saved by another step at the same time");
    } else if (DownloadImageOnce(downloader, src, path, page)) {
        outcome.status = ImageOutcome::Status::Saved;
    } else if (QFileInfo::exists(path)) {
        outcome.status = ImageOutcome::Status::Exists;
    } else {
        outcome.status = ImageOutcome::Status::Failed;
        outcome.file.clear();
        outcome.reason = QStringLiteral("download failed");
    }
    return outcome;
}

bool PrepareImageDownloads(ImageDownloader* downloader, const QList<DomImage>& images,
                           const QString& folder, Browser* page)
{
    if (!downloader)
        return true;
    QStringList srcs;
    for (const DomImage& image : images) {
        if (image.src.trimmed().isEmpty())
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
