#pragma once

#include "browser.h"
#include "harvestobserver.h"
#include "services.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <memory>

class QTimer;

namespace brackenly {

class CapturePool;
class Document;
class HarvestHost;
class RunSaver;
class frmCapture;

// The image-saving run of one main window: saves every image of the page shown, then
// follows its links one level deep (ordinary links in the capture window, script links by
// a click whose pop-up a capture pop-up window takes). The run executes inside the click
// handler and waits on events, so the stop click, timers and capture windows stay live.
// Make it a child of its window: a window closed during a run takes the run with it.
class ImageHarvester : public QObject
{
    Q_OBJECT
public:
    // Milliseconds on a clock that never goes back; only differences are used.
    using Clock = std::function<qint64()>;

    ImageHarvester(HarvestHost* host, const Services& services, QObject* parent = nullptr);
    ~ImageHarvester() override;

    void setClock(Clock clock) { clock_ = std::move(clock); }
    // How many capture windows follow the page's links at once (1 by default).
    void setJobs(int jobs) { jobs_ = std::max(1, jobs); }

    // ---- handlers of the window
    void cmdSaveImage_Click() { mnuSaveImage_Click(); }
    // Starts a run, or stops the one in progress when it has run more than a second.
    void mnuSaveImage_Click();
    // Stops the run in progress now, as a later click does; the pages saved so far stay, and
    // those captured but not saved yet are saved when `keepCaptured`.
    void stopRun(bool keepCaptured = true);
    // Opens the window's image folder in the file manager.
    void cmdImageFolder_Click();
    void Timer2_Timer();
    void Timer3_Timer();
    // The image folder refused a file: a run saving there ends as after a stop click, and
    // says why once it has ended.
    void folderRefused(const QString& folder, const QString& reason);

    // ---- the steps of a run
    void ScanForImages(const FrameRef& target);
    void HarvestDocument(const std::shared_ptr<Document>& doc, Browser* page);
    bool SkipLink(const QString& href);
    void ClickLink(Document& doc, const QString& href, const DomLink& link);
    void SaveImage(const QString& src, const QString& path, Browser* page);

    // ---- state
    const QStringList& VisitedLinks() const { return visitedLinks_; }
    const QStringList& ImageLinks() const { return imageLinks_; }
    qint64 SaveStartTime() const { return saveStartTime_; }
    // A run is on the stack (it may be winding down).
    bool isRunning() const { return runDepth_ > 0; }
    frmCapture* captureWindow() const;
    // The run in progress, which the capture pop-ups it opens save for; nullptr between runs.
    RunSaver* currentRun() const;
    QTimer* Timer2() const { return timer2_; }
    QTimer* Timer3() const { return timer3_; }

Q_SIGNALS:
    void runStarted();
    void runFinished();
    // Progress of the run's page: images and links found (read from a document), and each
    // one handled (an image saved or passed over, a link followed or skipped).
    void itemsFound(int count);
    void itemHandled();

private:
    qint64 nowSeconds() const;
    // SavingImages, and the program is not ending.
    bool running() const;
    void armTimeOut();
    // Waits on events while keepWaiting holds and the run goes on. False when this
    // harvester died meanwhile: the caller must return at once without touching it.
    bool waitWhile(const std::function<bool()>& keepWaiting);
    // A link of the links phase; false when this harvester died. `later` turns true when a
    // capture window of the pool takes the link up, which tells when it is done.
    bool followLink(Document& doc, const DomLink& link, bool& later);
    // Lets the capture window save the images of the pages it captured; false when this
    // harvester died meanwhile.
    bool saveCapturedImages();
    void tellRefusal();
    // Tells the run's observer, with the frame being harvested.
    void reportImage(ImageOutcome outcome);
    void openCaptureWindow();
    void unloadCaptureWindow();
    // The budget of the run ran out: the run winds down and says why when it has ended.
    void onBudgetSpent();
    void endRun();

    QPointer<HarvestHost> host_;
    Services services_;
    Clock clock_;
    QTimer* timer2_;
    QTimer* timer3_;
    QPointer<frmCapture> capture_;
    QPointer<CapturePool> pool_; // with jobs_ > 1
    int jobs_ = 1;
    QPointer<RunSaver> run_;
    QStringList imageLinks_;
    QStringList visitedLinks_;
    qint64 saveStartTime_ = 0;
    int runDepth_ = 0;
    QString frame_;   // the frame path of the document being harvested
    QString refusal_; // why the folder refused, told when the run has ended
};

} // namespace brackenly
