#include "frmcapture.h"

#include "browser.h"
#include "documentwalk.h"
#include "harvestobserver.h"
#include "harvesttexts.h"
#include "imagenames.h"
#include "pageimages.h"

#include <QPointer>
#include <stdexcept>
#include <utility>

namespace brackenly {

frmCapture::frmCapture(const Services& services, HarvestHost* firstWindow, QWidget* parent)
    : CaptureWindow(services, firstWindow, kCaptureCaption, parent)
{
    setObjectName(QStringLiteral("frmCapture"));
    connect(ImgBrowser1, &Browser::DocumentComplete, this,
            &frmCapture::ImgBrowser1_DocumentComplete);
    // Today's sites send many addresses on (http to https, a tracker): with modern image
    // sources the page it leads to is the link's page.
    connect(ImgBrowser1, &Browser::Redirected, this, [this](const QString& url) {
        if (firstWindow_ && firstWindow_->run().modernImages)
            redirectedTo_ = url;
    });
}

void frmCapture::ImgBrowser1_DocumentComplete(const FrameRef& pDisp, const QString& url)
{
    // A frame completes before its page does: the page's own completion reads every frame.
    if (!pDisp.isTop())
        return;
    // Whatever happens below, the page's first completion after a navigation ends the run's
    // wait. The first window is held apart from this one, which may be closed during the reads.
    const QPointer<HarvestHost> first = firstWindow_;
    const QPointer<frmCapture> self(this); // a stop may close it during the reads
    const QString redirectedTo = std::exchange(redirectedTo_, QString());
    // As one window reads only the page it was sent to, one of several reads only the first
    // completion after it loaded its link: not a reload, a refresh or a script's next page
    // while the page waits for its turn, nor a page that completes after its time ran out.
    if (ownLinks_ && !std::exchange(awaiting_, false))
        return;
    try {
        if (first && (url.contains(level2Url(), Qt::CaseInsensitive) ||
                      (!redirectedTo.isEmpty() && url.contains(redirectedTo, Qt::CaseInsensitive))))
            CaptureFrames(pDisp);
    } catch (const std::exception&) {
    }
    if (self && ownLinks_)
        Q_EMIT pageReported();
    else if (first)
        first->run().gbCaptureLevel2 = false;
}

void frmCapture::loadOwnLink(const QString& url)
{
    ownLinks_ = true;
    awaiting_ = true;
    ownLink_ = url;
    ImgBrowser1->Navigate(url);
}

QString frmCapture::level2Url() const
{
    if (ownLinks_)
        return ownLink_;
    HarvestHost* first = firstWindow_.data();
    return first ? first->run().gstrLevel2Url : QString();
}

void frmCapture::CaptureFrames(const FrameRef& target)
{
    std::shared_ptr<Document> doc;
    try {
        doc = target.document();
    } catch (const std::exception&) {
        return;
    }
    if (!doc)
        return;
    HarvestHost* first = firstWindow_.data();
    // A frame that cannot be read ends the handler.
    WalkDocuments(doc, first && first->run().modernImages, false,
                  [this](const std::shared_ptr<Document>& document, const QList<int>& path) {
                      CaptureImages(document, path);
                      return true;
                  });
}

void frmCapture::CaptureImages(const std::shared_ptr<Document>& doc, const QList<int>& frame)
{
    const QPointer<frmCapture> self(this);
    const QPointer<HarvestHost> first = firstWindow_;
    const QList<DomImage> images =
        RunImages(*doc, first && first->run().modernImages, services_.scrollLimitMs);
    if (!self)
        throw std::runtime_error("the capture window closed");
    captured_.append(CapturedDocument{images, FramePathText(frame), level2Url()});
}

bool frmCapture::SaveCapturedImages(const std::function<void()>& moveOn)
{
    const QPointer<frmCapture> self(this);
    // A page completed during the saves below is left for the next call.
    const QList<CapturedDocument> pages = std::exchange(captured_, {});
    QList<DomImage> all;
    for (const CapturedDocument& page : pages)
        all += page.images;
    bool whole = true;
    if (!all.isEmpty() && !prepareSaves(all, &whole))
        return false;
    // The page is left before the files are written only when they need nothing more from it.
    auto leave = [&self, &moveOn] {
        if (moveOn)
            moveOn();
        return !self.isNull();
    };
    if (whole && !leave())
        return false;
    for (const CapturedDocument& page : pages) {
        for (const DomImage& image : page.images) {
            if (image.src.trimmed().isEmpty()) {
                reportSkipped(image.src, page.frame, page.via, QStringLiteral("no address"));
                continue;
            }
            HarvestHost* first = firstWindow_.data();
            if (!first)
                return true;
            if (!saveOne(image.src, ImageFilePath(first->saveFolder(), image.src), page.frame,
                         page.via))
                return false;
        }
        setCaptureStatus(kFinishedText);
    }
    if (!pages.isEmpty())
        setCaptureStatus(QString());
    return whole || leave();
}

} // namespace brackenly
