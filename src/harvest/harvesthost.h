#pragma once

#include "browser.h"

#include <QObject>
#include <QString>

class QWidget;

namespace brackenly {

// What the image harvest needs of one main window. The window implements it over its own
// members; the harvest never sees the window class itself. It is a QObject so that windows
// which outlive a run (capture pop-ups) can notice the main window going away.
class HarvestHost : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~HarvestHost() override = default;

    // ---- this main window
    virtual QWidget* window() const = 0;
    virtual bool savingImages() const = 0; // SavingImages
    virtual void setSavingImages(bool on) = 0;
    virtual FrameRef lastCompletedBrowser() const = 0; // LastCompletedBrowser
    virtual void setGobackFlag(bool on) = 0;           // gbGobackFlag
    virtual QString saveImageCaption() const = 0;      // cmdSaveImage's caption
    virtual void setSaveImageCaption(const QString& caption) = 0;
    virtual bool blockPopups() const = 0;                   // mnuBlock checked
    virtual void setBlockedStatus(const QString& text) = 0; // panel 3 of StatusBar1

    // ---- the public variables of this window that the capture windows report through
    virtual QString saveFolder() const = 0; // gstrSaveFolder
    virtual QString level2Url() const = 0;  // gstrLevel2Url
    virtual void setLevel2Url(const QString& url) = 0;
    virtual bool captureLevel2() const = 0; // gbCaptureLevel2
    virtual void setCaptureLevel2(bool on) = 0;
    virtual bool popup() const = 0; // gbPopup
    virtual void setPopup(bool on) = 0;
    virtual bool timeOut() const = 0; // gbTimeOut
    virtual void setTimeOut(bool on) = 0;
    // Panel 2 of StatusBar1: sets the text only; the harvest paces its painting.
    virtual void setSavingStatus(const QString& text) = 0;
    // The widget of panel 2, painted by the harvest; nullptr if there is none.
    virtual QWidget* savingStatusPanel() const = 0;
    // Stops Timer1, the busy dots of panel 1.
    virtual void stopBusyTimer() = 0;

    // ---- the program
    // The host of the first main window (this one when it is the first); nullptr if gone.
    virtual HarvestHost* firstWindow() const = 0;
    // BrowserApp::isEnding: every wait of a run ends.
    virtual bool programEnding() const = 0;
    // A new pop-up level window one level deeper than this one, loaded and shown over it;
    // returns its browser, which takes the requested page. nullptr when it cannot be made.
    virtual Browser* openPopupLevelWindow() = 0;
};

} // namespace brackenly
