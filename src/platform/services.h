#pragma once

#include <QString>
#include <QtGlobal>

namespace brackenly {

class BrowserFactory;
class FolderOpener;
class ImageDownloader;
class Prompt;

// What the windows need from the platform, handed from window to window.
// Tests replace any member; times are here so tests need not sit out real time-outs.
struct Services
{
    BrowserFactory* browsers = nullptr;
    Prompt* prompt = nullptr;
    ImageDownloader* downloader = nullptr;
    FolderOpener* folders = nullptr;
    // The folder the session folder, the settings file, the proxy list and the default image
    // folder live in: the program folder, or the user's data folder when that cannot be
    // written (ProgramDataFolder).
    QString programFolder;
    // Timer3: how long an image-saving run waits for a capture window or pop-up.
    int captureTimeoutMs = 50000;
    // How long a run with modern image sources scrolls a page for images loaded on view.
    int scrollLimitMs = 2000;
    // What one image-saving run may store at most, counting its capture windows; a hostile
    // site must not fill the disk. The per-image cap is the downloader's own.
    int runFileBudget = 10000;
    qint64 runByteBudget = qint64(2) * 1024 * 1024 * 1024;
};

} // namespace brackenly
