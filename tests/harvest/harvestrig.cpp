#include "harvestrig.h"

#include "frmcapture.h"
#include "frmpopup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>

namespace brackenly {

HarvestRig::HarvestRig(int timeOutMs, HarvestHost* firstWindow)
{
    folder = dir.path() + QStringLiteral("/Image");
    QDir().mkpath(folder);
    browsers.onCreate = [this](FakeBrowser* b) {
        site.serve(b);
        // Only the capture window's browser is ever told to navigate by the harvest.
        auto serve = b->onNavigate;
        b->onNavigate = [this, serve](const QString& url) {
            navigations << url;
            serve(url);
        };
    };
    services.browsers = &browsers;
    services.downloader = &downloader;
    services.folders = &folders;
    services.captureTimeoutMs = timeOutMs;
    host = std::make_unique<FakeHarvestHost>();
    host->gstrSaveFolder = folder;
    host->first = firstWindow;
    main = std::make_unique<FakeBrowser>();
    harvester = new ImageHarvester(host.get(), services, host->window());
    router = new PopupRouter(host.get(), services, host->window());
    router->install(main.get());
    QObject::connect(harvester, &ImageHarvester::runStarted, harvester, [this] {
        if (frmCapture* capture = harvester->captureWindow())
            captureBrowsers << capture->ImgBrowser1;
    });
}

HarvestRig::~HarvestRig()
{
    closeCapturePopups();
    host.reset();
    flushDeletes();
}

std::shared_ptr<FakeDocument> HarvestRig::show(std::shared_ptr<FakeDocument> doc)
{
    main->setDocument(doc);
    host->LastCompletedBrowser = main->topFrame();
    return doc;
}

void HarvestRig::click()
{
    if (harvester)
        harvester->mnuSaveImage_Click();
    flushDeletes();
}

QStringList HarvestRig::files() const
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void closeCapturePopups()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<frmPopup*>(w))
            delete w;
    }
}

} // namespace brackenly
