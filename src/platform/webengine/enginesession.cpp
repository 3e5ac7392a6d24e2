#include "enginesession.h"

#include "enginecookiejar.h"
#include "networkimagedownloader.h"
#include "sharedprofile.h"
#include "webenginebrowser.h"

#include <QWebEngineProfile>

namespace brackenly {

void ShareEngineSession(NetworkImageDownloader& downloader)
{
    QWebEngineProfile* profile = sharedProfile();
    downloader.setCookieJar(new EngineCookieJar(profile->cookieStore()));
    downloader.setUserAgent(profile->httpUserAgent().toUtf8());
    downloader.setCachedBytes(&WebEngineBrowser::cachedBytesOf);
}

} // namespace brackenly
