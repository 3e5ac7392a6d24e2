#pragma once

#include <QString>

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
    // The folder the session folder, the settings file and the proxy list live in.
    QString programFolder;
    // Timer3: how long an image-saving run waits for a capture window or pop-up.
    int captureTimeoutMs = 50000;
};

} // namespace brackenly
