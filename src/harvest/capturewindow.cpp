#include "capturewindow.h"

#include "browser.h"
#include "harvesttexts.h"
#include "imagedownload.h"
#include "runsaver.h"
#include "statuspacer.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QVBoxLayout>

namespace brackenly {

namespace {

// A plain widget is heard as a pane; these are windows of their own, named by their caption.
QAccessibleInterface* captureWindowAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("brackenly::CaptureWindow") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

CaptureWindow::CaptureWindow(const Services& services, HarvestHost* firstWindow,
                             const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(services), firstWindow_(firstWindow)
{
    static const bool heardAsWindow = (QAccessible::installFactory(captureWindowAccessible), true);
    Q_UNUSED(heardAsWindow);
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ImgBrowser1 = services_.browsers->create(this);
    ImgBrowser1->setObjectName(QStringLiteral("ImgBrowser1"));
    ImgBrowser1->widget()->setObjectName(QStringLiteral("ImgBrowser1"));
    ImgBrowser1->setPrefetchImages(true); // every image it shows is saved
    layout->addWidget(ImgBrowser1->widget(), 1);
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("CaptureStatusBar"));
    statusBar->setSizeGripEnabled(false);
    // The label sits in a holder without a layout: a status bar repaints itself whole on
    // every layout request, which each new text of a label laid out inside it would post.
    statusHolder_ = new QWidget(statusBar);
    CaptureStatus = new QLabel(statusHolder_);
    CaptureStatus->setObjectName(QStringLiteral("CaptureStatus"));
    // Its text is its accessible name: a fixed name would keep it from screen readers.
    CaptureStatus->setAccessibleDescription(QStringLiteral("Capture status"));
    statusHolder_->setMinimumHeight(CaptureStatus->sizeHint().height());
    statusHolder_->installEventFilter(this);
    statusBar->addWidget(statusHolder_, 1);
    layout->addWidget(statusBar);
    resize(640, 480);
}

CaptureWindow::~CaptureWindow() = default;

bool CaptureWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == statusHolder_ && event->type() == QEvent::Resize)
        CaptureStatus->setGeometry(statusHolder_->rect());
    return QWidget::eventFilter(watched, event);
}

QString CaptureWindow::captureStatus() const
{
    return CaptureStatus->text();
}

void CaptureWindow::setCaptureStatus(const QString& text)
{
    SetStatusText(CaptureStatus, text);
}

void CaptureWindow::setRun(RunSaver* run)
{
    run_ = run;
}

bool CaptureWindow::saveOne(const QString& src, const QString& path, const QString& frame,
                            const QString& via)
{
    if (!run_)
        return true; // its run has ended: nothing more is saved for it
    const auto report = [this, &frame, &via](ImageOutcome outcome) {
        outcome.frame = frame;
        outcome.via = via;
        if (HarvestHost* first = firstWindow_.data())
            ReportImage(first->run(), outcome);
    };
    if (run_->spent() || path.isEmpty() || QFileInfo::exists(path)) {
        report(run_->save(src, path, ImgBrowser1)); // answers at once: nothing to download
        return true;
    }
    const QPointer<CaptureWindow> self(this);
    if (HarvestHost* first = firstWindow_.data())
        SetStatusText(first->statusPanel(2), kSavingPrefix + src);
    setCaptureStatus(kSavingPrefix + src);
    QCoreApplication::processEvents();
    if (!self)
        return false;
    if (!run_)
        return true;
    const ImageOutcome outcome = run_->save(src, path, ImgBrowser1);
    if (!self)
        return false;
    report(outcome);
    return true;
}

void CaptureWindow::reportSkipped(const QString& src, const QString& frame, const QString& via,
                                  const QString& reason)
{
    if (HarvestHost* first = firstWindow_.data())
        ReportImage(first->run(), {frame, via, src, {}, ImageOutcome::Status::Skipped, reason});
}

bool CaptureWindow::prepareSaves(const QList<DomImage>& images, bool* whole)
{
    const QPointer<CaptureWindow> self(this);
    bool taken = true;
    if (!run_ || run_->spent())
        taken = true; // nothing will be saved
    else if (HarvestHost* first = firstWindow_.data())
        taken =
            PrepareImageDownloads(services_.downloader, images, first->saveFolder(), ImgBrowser1);
    if (whole)
        *whole = taken;
    return !self.isNull();
}

} // namespace brackenly
