#include "frmpopup.h"

#include "browser.h"
#include "harvestobserver.h"
#include "harvestrules.h"
#include "harvesttexts.h"
#include "imagenames.h"
#include "pageimages.h"
#include "runsaver.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <iterator>

namespace brackenly {

frmPopup::frmPopup(const Services& services, HarvestHost* firstWindow, QWidget* parent)
    : CaptureWindow(services, firstWindow, kCapturePopupCaption, parent)
{
    setObjectName(QStringLiteral("frmPopup"));
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ImgBrowser1, &Browser::DocumentComplete, this, &frmPopup::ImgBrowser1_DocumentComplete);
    // Still open when the program ends: goes with the last events, before the engine does.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &QObject::deleteLater);
}

void frmPopup::ImgBrowser1_DocumentComplete(const FrameRef& pDisp, const QString& url)
{
    // It saves for the run that opened it, and its first page only: a pop-up that navigates
    // itself on and on writes nothing more.
    if (pageDone_ || !run_ || !run_->inProgress())
        return;
    if (pDisp.isTop())
        pageDone_ = true;
    const QString frame = FramePathText(pDisp.path());
    try {
        const std::shared_ptr<Document> doc = pDisp.document();
        const QPointer<frmPopup> self(this);
        const bool modern = firstWindow_ && firstWindow_->run().modernImages;
        const QList<DomImage> images = RunImages(*doc, modern, services_.scrollLimitMs);
        if (!self)
            return;
        QList<DomImage> wanted; // the rest are passed over below
        std::copy_if(images.cbegin(), images.cend(), std::back_inserter(wanted),
                     [modern](const DomImage& image) { return IsRunAddress(image.src, modern); });
        if (!prepareSaves(wanted))
            return;
        for (const DomImage& image : images) {
            if (image.src.trimmed().isEmpty()) {
                reportSkipped(image.src, frame, url, QStringLiteral("no address"));
                continue;
            }
            if (!IsRunAddress(image.src, modern)) {
                reportSkipped(image.src, frame, url,
                              modern ? QStringLiteral("not a web address")
                                     : QStringLiteral("not an http:// address"));
                continue;
            }
            HarvestHost* first = firstWindow_.data();
            if (!first)
                return;
            if (!saveOne(image.src, ImageFilePath(first->saveFolder(), image.src), frame, url))
                return;
        }
        setCaptureStatus(kFinishedText);
        if (HarvestHost* first = firstWindow_.data()) {
            first->run().gbPopup = false;
            first->stopBusyTimer();
        }
    } catch (const std::exception&) {
        // The run's wait ends by its time-out.
    }
}

} // namespace brackenly
