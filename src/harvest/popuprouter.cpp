#include "popuprouter.h"

#include "browser.h"
#include "centerform.h"
#include "frmpopup.h"
#include "harvesthost.h"
#include "harvestrules.h"

#include <QLabel>

namespace brackenly {

PopupRouter::PopupRouter(HarvestHost* host, const Services& services, QObject* parent)
    : QObject(parent), host_(host), services_(services)
{
}

void PopupRouter::install(Browser* wbMyBrowser)
{
    const QPointer<PopupRouter> self(this);
    wbMyBrowser->setNewWindowHandler(
        [self]() -> Browser* { return self ? self->wbMyBrowser_NewWindow2() : nullptr; });
}

Browser* PopupRouter::wbMyBrowser_NewWindow2()
{
    if (!host_)
        return nullptr;
    try {
        if (host_->blockPopups()) {
            ++blockedPopupCount_;
            if (QLabel* panel = host_->statusPanel(3))
                panel->setText(BlockedPopupText(blockedPopupCount_));
            return nullptr;
        }
        if (host_->run().SavingImages)
            return OpenCapturePopup();
        return OpenPopupWindow();
    } catch (const std::exception&) {
        return nullptr;
    }
}

frmPopup* PopupRouter::lastCapturePopup() const
{
    return lastPopup_.data();
}

Browser* PopupRouter::OpenPopupWindow()
{
    return host_->openPopupLevelWindow();
}

Browser* PopupRouter::OpenCapturePopup()
{
    auto* popup = new frmPopup(services_, host_->firstWindow());
    lastPopup_ = popup;
    popup->ImgBrowser1->setRegisterAsBrowser(true);
    popup->ImgBrowser1->setSilent(true);
    CenterForm(popup);
    popup->show();
    if (QWidget* window = host_->window())
        window->repaint();
    return popup->ImgBrowser1;
}

} // namespace brackenly
