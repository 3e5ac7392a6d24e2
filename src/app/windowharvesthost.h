#pragma once

#include "harvesthost.h"

namespace brackenly {

class frmBrowser;
class ImageHarvester;
class PopupRouter;

// The harvest's view of a main window, over the window's own members.
class WindowHarvestHost : public HarvestHost
{
    Q_OBJECT
public:
    // A child of the window.
    explicit WindowHarvestHost(frmBrowser* window);

    // The host of a window, nullptr for none.
    static WindowHarvestHost* of(frmBrowser* window);

    QWidget* window() const override;
    bool savingImages() const override;
    void setSavingImages(bool on) override;
    FrameRef lastCompletedBrowser() const override;
    void setGobackFlag(bool on) override;
    QString saveImageCaption() const override;
    void setSaveImageCaption(const QString& caption) override;
    bool blockPopups() const override;
    void setBlockedStatus(const QString& text) override;

    QString saveFolder() const override;
    QString level2Url() const override;
    void setLevel2Url(const QString& url) override;
    bool captureLevel2() const override;
    void setCaptureLevel2(bool on) override;
    bool popup() const override;
    void setPopup(bool on) override;
    bool timeOut() const override;
    void setTimeOut(bool on) override;
    void setSavingStatus(const QString& text) override;
    QWidget* savingStatusPanel() const override;
    void stopBusyTimer() override;

    HarvestHost* firstWindow() const override;
    bool programEnding() const override;
    Browser* openPopupLevelWindow() override;

    // The image folder refused a file: a run saving there ends as after a stop click, and
    // says why once it has ended.
    void folderRefused(const QString& folder, const QString& reason);
    void runStarted() { refusal_.clear(); }
    void runFinished();

private:
    frmBrowser* w_;
    QString refusal_;
};

// Gives a main window its harvest: the host, the harvester behind "S A V E    I M A G E",
// "Auto Save Image" and "I M A G E    F O L D E R", and the router of its browser's
// new-window requests. Run once for every main window, right after it is created.
void AttachHarvest(frmBrowser* window);

ImageHarvester* HarvesterOf(frmBrowser* window);
PopupRouter* PopupRouterOf(frmBrowser* window);

// A pop-up level window over `opener`: one level deeper, loaded (which hides the opener),
// shown where the opener was. Returns its browser, which takes the requested page.
Browser* OpenPopupLevelWindow(frmBrowser& opener);

} // namespace brackenly
