#include "browserapp.h"
#include "datafolder.h"
#include "desktopfolderopener.h"
#include "enginecookiejar.h"
#include "networkimagedownloader.h"
#include "prompt.h"
#include "sharedprofile.h"
#include "webenginebrowser.h"
#include "webenginebrowserfactory.h"

#include <QApplication>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Brackenly"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brackenly"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brackenly.Brackenly"));

    brackenly::WebEngineBrowserFactory browsers;
    brackenly::MessageBoxPrompt prompt;
    brackenly::NetworkImageDownloader downloader;
    // Images download with the engine's cookies and user agent, as the page saw them.
    QWebEngineProfile* profile = brackenly::sharedProfile();
    downloader.setCookieJar(new brackenly::EngineCookieJar(profile->cookieStore()));
    downloader.setUserAgent(profile->httpUserAgent().toUtf8());
    // Images the page already shows come from the engine's cache, not the server again.
    downloader.setCachedBytes(&brackenly::WebEngineBrowser::cachedBytesOf);
    brackenly::DesktopFolderOpener folders;

    brackenly::Services services;
    services.browsers = &browsers;
    services.prompt = &prompt;
    services.downloader = &downloader;
    services.folders = &folders;
    services.programFolder = brackenly::ProgramDataFolder();

    brackenly::BrowserApp app(services);
    app.startFirstWindow();
    return application.exec();
}
