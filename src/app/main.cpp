#include "browserapp.h"
#include "datafolder.h"
#include "desktopfolderopener.h"
#include "enginesession.h"
#include "networkimagedownloader.h"
#include "prompt.h"
#include "scenegraphbackend.h"
#include "webenginebrowserfactory.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Brackenly"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brackenly"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brackenly.Brackenly"));
    brackenly::ChooseSceneGraphBackend();

    brackenly::WebEngineBrowserFactory browsers;
    brackenly::MessageBoxPrompt prompt;
    brackenly::NetworkImageDownloader downloader;
    brackenly::ShareEngineSession(downloader);
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
