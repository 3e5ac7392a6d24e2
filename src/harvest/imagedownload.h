#pragma once

#include <QString>

namespace brackenly {

class Browser;
class ImageDownloader;

// Downloads src into path unless a file is there already or the same path is being
// downloaded further up the stack: every save lets events run first, and a handler nested
// in it may reach the same image. Returns whether the file was stored. A missing downloader
// stores nothing.
bool DownloadImageOnce(ImageDownloader* downloader, const QString& src, const QString& path,
                       Browser* page);

// The file names being downloaded right now (for tests).
bool IsImageDownloading(const QString& path);

} // namespace brackenly
