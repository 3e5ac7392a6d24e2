#pragma once

#include "dom.h"
#include "harvestobserver.h"

#include <QList>
#include <QString>
#include <optional>

namespace brackenly {

class Browser;
class ImageDownloader;

// Downloads src into path unless a file is there already or the same path is being
// downloaded further up the stack: every save lets events run first, and a handler nested
// in it may reach the same image. Returns whether the file was stored. A missing downloader
// stores nothing.
bool DownloadImageOnce(ImageDownloader* downloader, const QString& src, const QString& path,
                       Browser* page);

// The outcome of an image that needs no download (no safe name, or its file is there);
// nothing when it is to be downloaded. Frame and via are left to the caller.
std::optional<ImageOutcome> UnneededDownload(const QString& src, const QString& path);
// DownloadImageOnce, saying what became of the image.
ImageOutcome DownloadImageOutcome(ImageDownloader* downloader, const QString& src,
                                  const QString& path, Browser* page);

// Tells the downloader which of `images` are about to be saved into `folder` (those with
// an address, a safe name and no file yet), so it may fetch them together. May wait on the
// engine; failures are left to the downloads themselves. True when their downloads need
// nothing more from the page.
bool PrepareImageDownloads(ImageDownloader* downloader, const QList<DomImage>& images,
                           const QString& folder, Browser* page);

// The file names being downloaded right now (for tests).
bool IsImageDownloading(const QString& path);

} // namespace brackenly
