#pragma once

#include "browser.h"
#include "harvestrun.h"

#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace brackenly {

class Prompt;

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
    virtual Prompt& prompt() const = 0;
    // The window's run state, also when a capture window reports to it.
    virtual HarvestRun& run() = 0;
    virtual FrameRef lastCompletedBrowser() const = 0; // LastCompletedBrowser
    virtual void setGobackFlag(bool on) = 0;           // gbGobackFlag
    virtual QString saveImageCaption() const = 0;      // cmdSaveImage's caption
    virtual void setSaveImageCaption(const QString& caption) = 0;
    virtual bool blockPopups() const = 0;   // mnuBlock checked
    virtual QString saveFolder() const = 0; // gstrSaveFolder
    // mnuModernImages checked; windows without the item have it off.
    virtual bool modernImages() const { return false; }
    // Panel 1 to 3 of StatusBar1 (2: the image being saved, 3: blocked pop-ups); the
    // harvest paces their painting. nullptr when the window has no such panel.
    virtual QLabel* statusPanel(int index) const = 0;
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
