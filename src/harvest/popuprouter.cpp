#include "popuprouter.h"

#include "browser.h"
#include "centerform.h"
#include "frmpopup.h"
#include "harvesthost.h"
#include "harvestrules.h"
#include "imageharvester.h"

#include <QLabel>

namespace brackenly {

namespace {

// The browsers of the pop-up level windows opened without a gesture and still open.
QList<QPointer<Browser>>& unrequestedPopups()
{
    static QList<QPointer<Browser>> open;
    open.removeAll(nullptr);
    return open;
}

} // namespace

PopupRouter::PopupRouter(HarvestHost* host, const Services& services, QObject* parent)
    : QObject(parent), host_(host), services_(services)
{
}

void PopupRouter::install(Browser* wbMyBrowser)
{
    const QPointer<PopupRouter> self(this);
    const QPointer<Browser> browser(wbMyBrowser);
    wbMyBrowser->setNewWindowHandler([self, browser]() -> Browser* {
        if (!self || !browser)
            return nullptr;
        return self->wbMyBrowser_NewWindow2(browser->newWindowUserInitiated());
    });
}

Browser* PopupRouter::wbMyBrowser_NewWindow2(bool userInitiated)
{
    if (!host_)
        return nullptr;
    try {
        if (host_->blockPopups()) {
            countBlocked();
            return nullptr;
        }
        if (host_->run().SavingImages)
            return OpenCapturePopup();
        if (!userInitiated && unrequestedPopups().size() >= MaxUnrequestedPopups) {
            countBlocked();
            return nullptr;
        }
        return OpenPopupWindow(userInitiated);
    } catch (const std::exception&) {
        return nullptr;
    }
}

void PopupRouter::countBlocked()
{
    ++blockedPopupCount_;
    if (QLabel* panel = host_->statusPanel(3))
        panel->setText(BlockedPopupText(blockedPopupCount_));
}

frmPopup* PopupRouter::lastCapturePopup() const
{
    return lastPopup_.data();
}

Browser* PopupRouter::OpenPopupWindow(bool userInitiated)
{
    Browser* browser = host_->openPopupLevelWindow();
    if (browser && !userInitiated)
        unrequestedPopups().append(browser);
    return browser;
}

Browser* PopupRouter::OpenCapturePopup()
{
    auto* popup = new frmPopup(services_, host_->firstWindow());
    lastPopup_ = popup;
    // It saves for this window's run only while that run goes on.
    const auto* harvester =
        parent() ? parent()->findChild<ImageHarvester*>(QString(), Qt::FindDirectChildrenOnly)
                 : nullptr;
    if (harvester)
        popup->setRun(harvester->currentRun());
    popup->ImgBrowser1->setRegisterAsBrowser(true);
    popup->ImgBrowser1->setSilent(true);
    CenterForm(popup);
    popup->show();
    if (QWidget* window = host_->window())
        window->repaint();
    return popup->ImgBrowser1;
}

} // namespace brackenly
