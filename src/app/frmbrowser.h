#pragma once

#include "browser.h"
#include "harvestrun.h"
#include "services.h"
#include "windowlayout.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace brackenly {

class BrowserApp;
class BrowserMenus;
class ImageHarvester;
class PlaybackDriver;
class PopupRouter;
class RecordPanel;
class WindowHarvestHost;
class WindowPlaybackHost;
class WindowSessionHost;

// The main window: the first window of the program and every pop-up level window.
class frmBrowser : public QMainWindow
{
    Q_OBJECT
public:
    frmBrowser(BrowserApp& app, QWidget* parent = nullptr);
    ~frmBrowser() override;

    // Start-up; the creator sets objParentForm and glngPopupLevel first.
    void Form_Load();
    void Form_Resize();
    void ShowRecordPanes();
    void HideRecordPanes();
    void TakeModesFromParent();
    void ReturnModesToParent();
    void CallLoadPermanentRecord();

    // Handlers.
    void cmdBack_Click();
    void cmdPlayback_Click();
    void mnuExit_Click();
    void mnuHideRecord_Click();
    void mnuMaxScreen_Click();
    void mnuAbout_Click();
    void mnuHome_Click();
    void mnuProxy_Click();
    void Timer1_Timer();
    void wbMyBrowser_BeforeNavigate2(const QString& url);
    void wbMyBrowser_DocumentComplete(const FrameRef& pDisp, const QString& url);
    void wbMyBrowser_CommandStateChange(int command, bool enable);

    bool isFirstWindow() const { return objParentForm.isNull() && glngPopupLevel == 0; }
    void setStatusText(const QString& text); // panel 1
    QString statusText() const;
    QLabel* statusPanel(int index) const; // 1-based

    BrowserApp& app() const { return app_; }
    BrowserMenus* menus() const { return menus_; }
    Browser* browser() const { return wbMyBrowser; }
    RecordPanel* records() const { return records_; }
    PlaybackDriver* playback() const { return playback_; }
    ImageHarvester* harvester() const { return harvester_; }
    PopupRouter* popupRouter() const { return popupRouter_; }
    WindowHarvestHost* harvestHost() const { return harvestHost_.get(); }

    // The playback step run by each completed document; a later subsystem plugs in here.
    using PlaybackStep = std::function<void(const FrameRef&, const QString&)>;
    void setPlaybackStep(PlaybackStep step) { playbackStep_ = std::move(step); }

    // Public variables other windows read and write.
    QPointer<frmBrowser> objParentForm;
    frmBrowser* objMeForm = this;
    qint32 glngPopupLevel = 0;
    bool bBackEnabled = false;
    bool gbGobackFlag = false;
    QString gstrSaveFolder;
    QString gstrCurMode;
    QString strLastUrl;
    HarvestRun harvestRun; // the image-saving run, reported to by the capture windows
    // The document completed last, which playback compares and a run starts from.
    QString LastCompletedUrl;
    FrameRef LastCompletedBrowser;

    // Controls (objectName = name).
    QFrame* Frame1 = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdPlayback = nullptr;
    QPushButton* cmdSaveImage = nullptr;
    QPushButton* cmdImageFolder = nullptr;
    QLabel* lblUrl = nullptr;
    QLineEdit* txtUrl = nullptr;
    Browser* wbMyBrowser = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QProgressBar* prgRun = nullptr; // beside the panels while an image-saving run is on
    QTimer* Timer1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void connectSignals();
    void applyLayoutStep(LayoutControl c, LayoutProperty p, int value, bool* stop);
    bool Form_QueryUnload();
    bool recordsChanged() const;
    bool hasTemporaryRecords() const;

    BrowserApp& app_;
    BrowserMenus* menus_ = nullptr;
    QHash<LayoutControl, QWidget*> layoutWidgets_; // what each layout step moves
    std::unique_ptr<WindowSessionHost> sessionHost_;
    RecordPanel* records_ = nullptr;
    std::unique_ptr<WindowPlaybackHost> playbackHost_;
    PlaybackDriver* playback_ = nullptr;
    std::unique_ptr<WindowHarvestHost> harvestHost_;
    ImageHarvester* harvester_ = nullptr;
    PopupRouter* popupRouter_ = nullptr;
    QWidget* client_ = nullptr;
    QLabel* panels_[3] = {nullptr, nullptr, nullptr};
    PlaybackStep playbackStep_;
    int tabHeightTw_ = 0;
    int tabStripTw_ = 1;
    int lblUrlTw_ = twips::kLblUrlWidth;
    int recordButtonTw_ = twips::kRecordButtonWidth;
    bool unloaded_ = false;
};

} // namespace brackenly
