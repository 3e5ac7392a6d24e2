#pragma once

#include "services.h"

#include <QObject>
#include <QPointer>

namespace brackenly {

class Browser;
class HarvestHost;
class frmPopup;

// Decides where a page's request for a new window goes: nowhere (blocked), into a capture
// pop-up window during an image-saving run, or into a new pop-up level window.
// One per main window, a child of it beside the window's ImageHarvester.
//
// A page that opens windows in a loop without a user's gesture gets at most
// MaxUnrequestedPopups pop-up level windows open at a time, program-wide; the rest are
// blocked and counted like the ones "Block pop-up window" blocks.
class PopupRouter : public QObject
{
    Q_OBJECT
public:
    PopupRouter(HarvestHost* host, const Services& services, QObject* parent = nullptr);

    // Makes this router answer the new-window requests of the window's browser.
    void install(Browser* wbMyBrowser);

    static constexpr int MaxUnrequestedPopups = 20;

    // NewWindow2: the browser that takes the new page, or nullptr to block it. A failure
    // gives nullptr, the engine's own answer when nobody takes the page.
    Browser* wbMyBrowser_NewWindow2(bool userInitiated = true);

    qint32 BlockedPopupCount() const { return blockedPopupCount_; }
    // The capture pop-up window opened last (for tests); nullptr once closed.
    frmPopup* lastCapturePopup() const;

private:
    Browser* OpenPopupWindow(bool userInitiated);
    Browser* OpenCapturePopup();
    void countBlocked();

    QPointer<HarvestHost> host_;
    Services services_;
    qint32 blockedPopupCount_ = 0;
    QPointer<frmPopup> lastPopup_;
};

} // namespace brackenly
