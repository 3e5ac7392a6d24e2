#include "imageharvester.h"

#include "capturepool.h"
#include "centerform.h"
#include "documentwalk.h"
#include "frmcapture.h"
#include "harvesthost.h"
#include "harvestrules.h"
#include "harvesttexts.h"
#include "imagedownload.h"
#include "imagedownloader.h"
#include "imagenames.h"
#include "pageimages.h"
#include "prompt.h"
#include "runsaver.h"
#include "statuspacer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <utility>

namespace brackenly {

ImageHarvester::ImageHarvester(HarvestHost* host, const Services& services, QObject* parent)
    : QObject(parent), host_(host), services_(services),
      clock_([] { return QDeadlineTimer::current().deadline(); }), timer2_(new QTimer(this)),
      timer3_(new QTimer(this))
{
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setSingleShot(true);
    timer2_->setTimerType(Qt::PreciseTimer); // a coarse one fires up to 5% late, every link
    timer2_->setInterval(10);
    timer3_->setObjectName(QStringLiteral("Timer3"));
    timer3_->setSingleShot(true);
    timer3_->setTimerType(Qt::PreciseTimer);
    timer3_->setInterval(services_.captureTimeoutMs);
    connect(timer2_, &QTimer::timeout, this, &ImageHarvester::Timer2_Timer);
    connect(timer3_, &QTimer::timeout, this, &ImageHarvester::Timer3_Timer);
}

ImageHarvester::~ImageHarvester()
{
    if (run_)
        run_->end();
    if (!capture_)
        return;
    // The window goes during its run (a pop-up level window closed): the pages captured so
    // far keep their images, as with a stop click. The capture window reports to the first
    // window, which is still there, and may be inside one of its own handlers further up the
    // stack: it saves and goes once control is back in the event loop.
    capture_->hide();
    if (run_)
        run_->setParent(capture_);
    const QPointer<frmCapture> capture = capture_;
    QTimer::singleShot(0, capture, [capture] {
        if (capture && capture->SaveCapturedImages() && capture)
            capture->deleteLater();
    });
}

frmCapture* ImageHarvester::captureWindow() const
{
    return capture_.data();
}

RunSaver* ImageHarvester::currentRun() const
{
    return run_.data();
}

qint64 ImageHarvester::nowSeconds() const
{
    return std::llround(double(clock_()) / 1000.0);
}

bool ImageHarvester::running() const
{
    return host_ && host_->run().SavingImages && !host_->programEnding();
}

void ImageHarvester::mnuSaveImage_Click()
{
    if (!host_)
        return;
    if (host_->saveImageCaption() != kSavingImageText) {
        const QPointer<ImageHarvester> self(this);
        saveStartTime_ = nowSeconds();
        host_->setSaveImageCaption(kSavingImageText);
        host_->run().SavingImages = true;
        host_->run().modernImages = host_->modernImages();
        imageLinks_.clear();
        run_ = new RunSaver(services_.downloader, services_.runFileBudget, services_.runByteBudget,
                            this);
        run_->setDropPlaceholders(host_->run().modernImages);
        connect(run_, &RunSaver::budgetSpent, this, &ImageHarvester::onBudgetSpent);
        openCaptureWindow();
        refusal_.clear();
        ++runDepth_;
        Q_EMIT runStarted();
        if (!self)
            return;
        ScanForImages(host_->lastCompletedBrowser());
        if (!self)
            return;
        --runDepth_;
        timer2_->stop();
        timer3_->stop();
        unloadCaptureWindow();
        if (!self)
            return;
        if (host_) {
            host_->run().SavingImages = false;
            host_->setSaveImageCaption(kSaveImageText);
        }
        endRun();
        Q_EMIT runFinished();
        if (self)
            tellRefusal();
        return;
    }
    // A click while a run waits: only after the first second does it stop the run.
    if (nowSeconds() - saveStartTime_ > 1)
        stopRun();
}

void ImageHarvester::stopRun(bool keepCaptured)
{
    if (run_ && !keepCaptured)
        run_->stopSaving();
    if (!host_ || host_->saveImageCaption() != kSavingImageText)
        return;
    host_->setSaveImageCaption(kSaveImageText);
    if (host_->run().SavingImages) {
        host_->run().SavingImages = false;
        // The image being fetched now is not waited for.
        if (run_)
            run_->abortDownloads();
        unloadCaptureWindow();
    }
}

void ImageHarvester::folderRefused(const QString& folder, const QString& reason)
{
    const auto absolute = [](const QString& path) {
        return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    };
    if (!host_ || !host_->run().SavingImages || !refusal_.isEmpty() ||
        absolute(folder) != absolute(host_->saveFolder()))
        return;
    refusal_ = QStringLiteral("The images could not be saved to the folder ") +
               QDir::toNativeSeparators(folder) + QStringLiteral(": ") + reason + u'.';
    // Every further image would fail alike; the run's loops end at their next check, and
    // the pages other capture windows hold are not tried against the folder.
    if (run_)
        run_->stopSaving(QStringLiteral("the folder refused a file"));
    host_->setSaveImageCaption(kSaveImageText);
    host_->run().SavingImages = false;
}

void ImageHarvester::tellRefusal()
{
    if (refusal_.isEmpty() || !host_)
        return;
    const QString text = std::exchange(refusal_, QString());
    host_->prompt().ask(host_->window(), text, QString(), PromptButtons::Ok,
                        PromptIcon::Exclamation);
}

void ImageHarvester::onBudgetSpent()
{
    if (host_)
        host_->run().SavingImages = false;
}

void ImageHarvester::endRun()
{
    if (!run_)
        return;
    RunSaver* run = run_;
    run_ = nullptr;
    run->end();
    // Told with a refusal's message, once the run has ended.
    if (run->spent() && refusal_.isEmpty())
        refusal_ = run->budgetText();
    // A save further up the stack may still hold it.
    run->deleteLater();
}

void ImageHarvester::openCaptureWindow()
{
    unloadCaptureWindow();
    capture_ = new frmCapture(services_, host_->firstWindow());
    capture_->setRun(run_);
    CenterForm(capture_);
    capture_->show();
    if (jobs_ > 1) {
        pool_ = new CapturePool(
            services_, host_->firstWindow(), run_, capture_, jobs_, [this] { return running(); },
            this);
        connect(pool_, &CapturePool::linkDone, this, &ImageHarvester::itemHandled);
    }
    if (QWidget* window = host_->window())
        window->repaint();
}

void ImageHarvester::unloadCaptureWindow()
{
    // A page it captured keeps its images, also when the run is stopped.
    if (!saveCapturedImages())
        return;
    if (CapturePool* pool = std::exchange(pool_, nullptr))
        pool->close();
    if (!capture_)
        return;
    // Its handler may be on the stack below this click.
    capture_->hide();
    capture_->deleteLater();
    capture_ = nullptr;
    if (host_ && host_->window())
        host_->window()->repaint();
}

bool ImageHarvester::saveCapturedImages()
{
    const QPointer<ImageHarvester> self(this);
    // The links handed to the pool are followed first: saves never overlap.
    if (pool_ && (!waitWhile([this] { return pool_ && pool_->busy(); }) ||
                  (pool_ && !pool_->saveCaptured()) || !self))
        return false;
    if (const QPointer<frmCapture> capture = capture_)
        capture->SaveCapturedImages();
    return !self.isNull();
}

void ImageHarvester::cmdImageFolder_Click()
{
    if (host_ && services_.folders)
        services_.folders->openFolder(host_->saveFolder());
}

void ImageHarvester::ScanForImages(const FrameRef& target)
{
    const QPointer<ImageHarvester> self(this);
    Browser* page = target.browser();
    std::shared_ptr<Document> doc;
    try {
        doc = target.document();
    } catch (const std::exception&) {
    }
    if (!doc) {
        host_->setGobackFlag(false);
        return;
    }
    if (!running())
        return;

    const bool walked =
        WalkDocuments(doc, host_->run().modernImages, true,
                      [&](const std::shared_ptr<Document>& document, const QList<int>& path) {
                          frame_ = FramePathText(path);
                          HarvestDocument(document, page);
                          return !self.isNull();
                      });
    if (!walked || !self || !saveCapturedImages())
        return;
    if (host_)
        SetStatusText(host_->statusPanel(2), QString(), true);
}

void ImageHarvester::HarvestDocument(const std::shared_ptr<Document>& doc, Browser* page)
{
    const QPointer<ImageHarvester> self(this);
    // The last page captured from the previous document's links comes first.
    if (!saveCapturedImages() || !running())
        return;
    try {
        const QList<DomImage> images =
            RunImages(*doc, host_->run().modernImages, services_.scrollLimitMs);
        if (!self || !host_)
            return;
        Q_EMIT itemsFound(int(images.size()));
        PrepareImageDownloads(services_.downloader, images, host_->saveFolder(), page);
        if (!self || !host_)
            return;
        QList<ImageWrappingLink> imageWrappers;
        bool linksRead = false;
        for (const DomImage& image : images) {
            if (!running())
                return;
            if (image.src.trimmed().isEmpty()) {
                reportImage({{},
                             {},
                             image.src,
                             {},
                             ImageOutcome::Status::Skipped,
                             QStringLiteral("no address")});
                Q_EMIT itemHandled();
                continue;
            }
            SaveImage(image.src, ImageFilePath(host_->saveFolder(), image.src), page);
            if (!self || !host_)
                return;
            // One read of the links serves every image of the document.
            if (!linksRead) {
                imageWrappers = ImageWrappingLinks(doc->links());
                linksRead = true;
            }
            const QString link = FindImageLink(imageWrappers, image.src);
            if (!link.isEmpty())
                imageLinks_.append(link);
            Q_EMIT itemHandled();
        }

        const QList<DomLink> all = doc->links();
        Q_EMIT itemsFound(int(all.size()));
        for (const DomLink& link : all) {
            if (!running())
                return;
            bool later = false;
            if (!followLink(*doc, link, later))
                return;
            if (!later)
                Q_EMIT itemHandled();
        }
    } catch (const std::exception&) {
        // This document's harvest ends; the scan goes on with the next frame.
    }
}

bool ImageHarvester::followLink(Document& doc, const DomLink& link, bool& later)
{
    const QString& href = link.href;
    if (href.trimmed().isEmpty())
        return true;
    const bool script = IsScriptLink(href);
    if (!script && imageLinks_.contains(href))
        return true;
    if (SkipLink(href))
        return true;
    if (script) {
        if (!saveCapturedImages())
            return false;
        if (!running())
            return true;
        host_->run().gbPopup = true;
        armTimeOut();
        try {
            ClickLink(doc, href, link);
        } catch (const std::exception&) {
            // An earlier script link took the page away: its ordinary links are still followed.
            timer3_->stop();
            host_->run().gbPopup = false;
            return true;
        }
        return waitWhile([this] { return host_->run().gbPopup && !host_->run().gbTimeOut; });
    }
    if (!IsRunAddress(href, host_->run().modernImages))
        return true; // stays recorded as visited
    if (pool_) {
        pool_->add(href);
        later = true;
        return true;
    }
    host_->run().gstrLevel2Url = href;
    armTimeOut();
    timer2_->start(10);
    host_->run().gbCaptureLevel2 = true;
    return waitWhile([this] { return host_->run().gbCaptureLevel2 && !host_->run().gbTimeOut; });
}

bool ImageHarvester::SkipLink(const QString& href)
{
    return brackenly::SkipLink(href, visitedLinks_);
}

void ImageHarvester::ClickLink(Document& doc, const QString&, const DomLink& link)
{
    doc.click(link.handle);
}

void ImageHarvester::SaveImage(const QString& src, const QString& path, Browser* page)
{
    if (!run_)
        return;
    if (run_->spent() || path.isEmpty() || QFileInfo::exists(path)) {
        reportImage(run_->save(src, path, page)); // answers at once: nothing to download
        return;
    }
    const QPointer<ImageHarvester> self(this);
    const QPointer<Browser> view(page);
    SetStatusText(host_->statusPanel(2), kSavingPrefix + src);
    QCoreApplication::processEvents();
    if (!self)
        return;
    if (!run_)
        return;
    const ImageOutcome outcome = run_->save(src, path, view.data());
    if (self)
        reportImage(outcome);
}

void ImageHarvester::reportImage(ImageOutcome outcome)
{
    if (!host_)
        return;
    outcome.frame = frame_;
    ReportImage(host_->run(), outcome);
}

void ImageHarvester::armTimeOut()
{
    timer3_->setInterval(services_.captureTimeoutMs);
    host_->run().gbTimeOut = false;
    timer3_->start();
}

bool ImageHarvester::waitWhile(const std::function<bool()>& keepWaiting)
{
    const QPointer<ImageHarvester> self(this);
    while (self && running() && keepWaiting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return self && host_;
}

void ImageHarvester::Timer2_Timer()
{
    timer2_->stop();
    if (!host_)
        return;
    try {
        const QString url = host_->run().gstrLevel2Url;
        if (!ShouldLoadCaptureAddress(url)) {
            host_->run().gbCaptureLevel2 = false;
            return;
        }
        if (!capture_)
            return; // the run waits for its time-out
        // The page captured last gives up its images' bytes only now (they came in while this
        // timer ran) and is left once it has; its files are written while the next one loads.
        const QPointer<ImageHarvester> self(this);
        capture_->SaveCapturedImages([this, self, url] {
            // One deadline per link, armed when the run took the link up: when saving the
            // last page used it up, the link's wait is over and its page is not loaded.
            if (!self || !capture_ || !running() || host_->run().gbTimeOut)
                return;
            try {
                capture_->ImgBrowser1->Navigate(url);
            } catch (const std::exception&) {
                // The run waits for its time-out; the last page's files are still written.
            }
        });
    } catch (const std::exception&) {
        // The run waits for its time-out.
    }
}

void ImageHarvester::Timer3_Timer()
{
    timer3_->stop();
    if (host_)
        host_->run().gbTimeOut = true;
}

} // namespace brackenly
