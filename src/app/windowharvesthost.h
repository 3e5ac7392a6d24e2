#pragma once

#include "harvesthost.h"

namespace brackenly {

class frmBrowser;

// The harvest's view of its main window.
class WindowHarvestHost : public HarvestHost
{
    Q_OBJECT
public:
    explicit WindowHarvestHost(frmBrowser& window) : w_(window) {}

    QWidget* window() const override;
    Prompt& prompt() const override;
    HarvestRun& run() override;
    FrameRef lastCompletedBrowser() const override;
    void setGobackFlag(bool on) override;
    QString saveImageCaption() const override;
    void setSaveImageCaption(const QString& caption) override;
    bool blockPopups() const override;
    bool modernImages() const override;
    QString saveFolder() const override;
    QLabel* statusPanel(int index) const override;
    void stopBusyTimer() override;

    HarvestHost* firstWindow() const override;
    bool programEnding() const override;
    // One level deeper, loaded (which hides the opener), shown where the opener was.
    Browser* openPopupLevelWindow() override;

private:
    frmBrowser& w_;
};

} // namespace brackenly
