#include "browserapp.h"

#include "centerform.h"
#include "frmbrowser.h"
#include "frmhome.h"
#include "frmproxy.h"
#include "imagedownloader.h"
#include "imageharvester.h"

#include <QCoreApplication>

namespace brackenly {

BrowserApp::BrowserApp(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services))
{
    if (services_.downloader) {
        services_.downloader->setFolderRefusedHandler(
            [this](const QString& folder, const QString& reason) {
                for (frmBrowser* w : windows())
                    w->harvester()->folderRefused(folder, reason);
            });
    }
}

BrowserApp::~BrowserApp()
{
    if (services_.downloader)
        services_.downloader->setFolderRefusedHandler({});
    // Windows still open when the program ends are discarded without their close steps.
    for (const QPointer<frmBrowser>& w : std::as_const(windows_))
        delete w.data();
}

frmBrowser* BrowserApp::firstWindow() const
{
    return firstWindow_.data();
}

frmProxy* BrowserApp::loadProxyDialog()
{
    if (!proxyDialog_) {
        proxyDialog_ = std::make_unique<frmProxy>(services_);
        exitProxyStep = [this](frmBrowser*) { proxyDialog_->SwitchOffAtExit(); };
    }
    return proxyDialog_.get();
}

frmHome* BrowserApp::preferences()
{
    if (!preferences_) {
        preferences_ = std::make_unique<frmHome>(*services_.prompt, [this] {
            frmBrowser* first = firstWindow();
            return first ? first->gstrSaveFolder : QString();
        });
    }
    return preferences_.get();
}

frmBrowser* BrowserApp::startFirstWindow()
{
    auto* w = createWindow();
    firstWindow_ = w;
    w->Form_Load();
    w->show();
    CenterForm(w);
    return w;
}

frmBrowser* BrowserApp::createWindow()
{
    auto* w = new frmBrowser(*this);
    windows_.append(w);
    return w;
}

QList<frmBrowser*> BrowserApp::windows() const
{
    QList<frmBrowser*> list;
    for (const QPointer<frmBrowser>& w : windows_)
        if (w)
            list.append(w);
    return list;
}

void BrowserApp::endProgram()
{
    ending_ = true;
    for (frmBrowser* w : windows())
        w->hide();
    // Leaves every event loop, nested waits included.
    QCoreApplication::exit(0);
}

} // namespace brackenly
