#include "browserapp.h"
#include "commandline.h"
#include "commandlineprompt.h"
#include "commandlinerun.h"
#include "datafolder.h"
#include "desktopfolderopener.h"
#include "enginesession.h"
#include "networkimagedownloader.h"
#include "prompt.h"
#include "scenegraphbackend.h"
#include "webenginebrowserfactory.h"

#include <QApplication>
#include <cstdio>

namespace {

// --help, --version and usage errors need no window and no engine.
int answerWithoutWindows(int argc, char* argv[], const brackenly::CommandLine& commandLine)
{
    using Action = brackenly::CommandLine::Action;
    QCoreApplication core(argc, argv);
    if (commandLine.action == Action::Version) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (commandLine.action == Action::Help) {
        std::fputs(qPrintable(brackenly::CommandLineHelp()), stdout);
        return 0;
    }
    std::fprintf(stderr, "brackenly: %s\n%s", qPrintable(commandLine.error),
                 qPrintable(brackenly::CommandLineHelp()));
    return 2;
}

QtMessageHandler gQtMessages = nullptr;

// A run from the command line says one line when it fails: Qt's and the engine's notices
// (no runtime folder, the engine's set-up, a page's console) would bury it. Critical ones
// still pass; QT_LOGGING_RULES brings the rest back.
void onlyCriticalMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        gQtMessages(type, context, text);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Brackenly"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brackenly"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRACKENLY_VERSION_TEXT));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const brackenly::CommandLine commandLine = brackenly::ParseCommandLine(arguments);
    const bool saveImages = commandLine.action == brackenly::CommandLine::Action::SaveImages;
    if (commandLine.action != brackenly::CommandLine::Action::Browse && !saveImages)
        return answerWithoutWindows(argc, argv, commandLine);
    // A run from the command line shows nothing and needs no display; an explicit platform
    // choice still wins.
    if (saveImages && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (saveImages && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        gQtMessages = qInstallMessageHandler(onlyCriticalMessages);

    QApplication application(argc, argv);
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brackenly.Brackenly"));
    brackenly::ChooseSceneGraphBackend();

    brackenly::WebEngineBrowserFactory browsers;
    brackenly::MessageBoxPrompt messageBoxes;
    brackenly::CommandLinePrompt quiet;
    brackenly::NetworkImageDownloader downloader;
    brackenly::ShareEngineSession(downloader);
    brackenly::DesktopFolderOpener folders;

    brackenly::Services services;
    services.browsers = &browsers;
    services.prompt = saveImages ? static_cast<brackenly::Prompt*>(&quiet) : &messageBoxes;
    services.downloader = &downloader;
    services.folders = &folders;
    services.programFolder = brackenly::ProgramDataFolder();

    brackenly::BrowserApp app(services);
    if (saveImages)
        return brackenly::CommandLineRun(app, quiet, commandLine).exec();
    app.startFirstWindow();
    return application.exec();
}
