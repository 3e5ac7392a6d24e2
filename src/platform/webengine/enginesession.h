#pragma once

namespace brackenly {

class NetworkImageDownloader;

// Image downloads as the page saw them: with the engine's cookies and user agent, and the
// bytes of images a page already shows taken from the engine's cache, not the server.
void ShareEngineSession(NetworkImageDownloader& downloader);

} // namespace brackenly
