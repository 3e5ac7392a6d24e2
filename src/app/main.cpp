#include "browserapp.h"
#include "prompt.h"
#include "webenginebrowserfactory.h"

#include <QApplication>
#include <QDir>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Brackenly"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brackenly"));
    QApplication application(argc, argv);

    brackenly::WebEngineBrowserFactory browsers;
    brackenly::MessageBoxPrompt prompt;
    brackenly::Services services;
    services.browsers = &browsers;
    services.prompt = &prompt;
    services.programFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());

    brackenly::BrowserApp app(services);
    app.startFirstWindow();
    return application.exec();
}
