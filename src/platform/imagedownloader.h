#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace brackenly {

class Browser;

// The platform's blocking download of one address into one file.
class ImageDownloader
{
public:
    // Told when a file could not be stored because its folder refuses it (read-only, full,
    // gone), with the system's reason; a refused or failed fetch is not a refusal.
    using FolderRefused = std::function<void(const QString& folder, const QString& reason)>;

    virtual ~ImageDownloader() = default;
    // Waits (the windows stay responsive) until `src` is stored at `path` or has failed.
    // Never replaces an existing file and leaves no file behind on failure, refusal (4xx/5xx)
    // or time-out. `page` is the browser showing the image, whose cache, cookies and proxy the
    // download shares; it may be null or die during the wait.
    virtual bool download(const QString& src, const QString& path, Browser* page) = 0;
    // Says that `srcs` of `page` are about to be downloaded one by one, so a downloader may
    // fetch them together beforehand. May wait like download(). True when it then holds all
    // of them: their downloads need nothing more from the page, which may move on.
    virtual bool prepare(const QStringList& srcs, Browser* page)
    {
        Q_UNUSED(srcs);
        Q_UNUSED(page);
        return false;
    }

    // Ends the download into `path` in progress, if any: it stores nothing and returns false.
    virtual void abort(const QString& path) { Q_UNUSED(path); }

    void setFolderRefusedHandler(FolderRefused handler) { folderRefused_ = std::move(handler); }

protected:
    void reportFolderRefused(const QString& folder, const QString& reason) const
    {
        if (folderRefused_)
            folderRefused_(folder, reason);
    }

private:
    FolderRefused folderRefused_;
};

// Opens a folder in the desktop's file manager; no shell is involved.
class FolderOpener
{
public:
    virtual ~FolderOpener() = default;
    virtual bool openFolder(const QString& folder) = 0;
};

} // namespace brackenly
