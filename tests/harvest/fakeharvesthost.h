#pragma once

#include "harvesthost.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

namespace brackenly {

// A main window's state as plain fields, for driving the harvest without the window.
// It is its own first window unless `first` names another one.
class FakeHarvestHost : public HarvestHost
{
    Q_OBJECT
public:
    FakeHarvestHost();
    ~FakeHarvestHost() override;

    // A test may delete it, as a window closes, to take the harvest objects with it.
    QWidget* window() const override { return window_.data(); }
    bool savingImages() const override { return SavingImages; }
    void setSavingImages(bool on) override { SavingImages = on; }
    FrameRef lastCompletedBrowser() const override { return LastCompletedBrowser; }
    void setGobackFlag(bool on) override { gbGobackFlag = on; }
    QString saveImageCaption() const override { return caption; }
    void setSaveImageCaption(const QString& text) override { caption = text; }
    bool blockPopups() const override { return block; }
    void setBlockedStatus(const QString& text) override { panel3 = text; }

    QString saveFolder() const override { return gstrSaveFolder; }
    QString level2Url() const override { return gstrLevel2Url; }
    void setLevel2Url(const QString& url) override { gstrLevel2Url = url; }
    bool captureLevel2() const override { return gbCaptureLevel2; }
    void setCaptureLevel2(bool on) override;
    bool popup() const override { return gbPopup; }
    void setPopup(bool on) override;
    bool timeOut() const override { return gbTimeOut; }
    void setTimeOut(bool on) override;
    void setSavingStatus(const QString& text) override;
    QWidget* savingStatusPanel() const override { return nullptr; }
    void stopBusyTimer() override { ++busyTimerStops; }

    HarvestHost* firstWindow() const override
    {
        return first ? first.data() : const_cast<FakeHarvestHost*>(this);
    }
    bool programEnding() const override { return ending; }
    Browser* openPopupLevelWindow() override;

    bool SavingImages = false;
    FrameRef LastCompletedBrowser;
    bool gbGobackFlag = true;
    QString caption = QStringLiteral("S A V E    I M A G E");
    bool block = false;
    QString panel3;
    QString gstrSaveFolder;
    QString gstrLevel2Url;
    bool gbCaptureLevel2 = false;
    bool gbPopup = false;
    bool gbTimeOut = false;
    QString panel2;
    QStringList panel2History; // every non-empty text, in order
    int busyTimerStops = 0;
    int timeOuts = 0;    // gbTimeOut set to True
    QStringList reports; // "capture", "popup": each clearing of the flags, in order
    QPointer<HarvestHost> first;
    bool ending = false;
    std::function<Browser*()> onOpenPopupLevelWindow;
    int popupLevelWindowsAsked = 0;

private:
    QPointer<QWidget> window_;
};

} // namespace brackenly
