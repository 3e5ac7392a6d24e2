#include "frmcapture.h"

#include "browser.h"
#include "harvesttexts.h"
#include "imagenames.h"

#include <QPointer>

namespace brackenly {

frmCapture::frmCapture(const Services& services, HarvestHost* firstWindow, QWidget* parent)
    : CaptureWindow(services, firstWindow, kCaptureCaption, parent)
{
    setObjectName(QStringLiteral("frmCapture"));
    connect(ImgBrowser1, &Browser::DocumentComplete, this,
            &frmCapture::ImgBrowser1_DocumentComplete);
}

void frmCapture::ImgBrowser1_DocumentComplete(const FrameRef& pDisp, const QString& url)
{
    // Whatever happens below, the first completion after a navigation ends the run's wait.
    // The first window is held apart from this one, which may be closed during the saves.
    const QPointer<HarvestHost> first = firstWindow_;
    try {
        if (first && url.contains(first->level2Url(), Qt::CaseInsensitive))
            CaptureFrames(pDisp);
    } catch (const std::exception&) {
    }
    if (first)
        first->setCaptureLevel2(false);
}

bool frmCapture::CaptureFrames(const FrameRef& target)
{
    std::shared_ptr<Document> doc;
    try {
        doc = target.document();
    } catch (const std::exception&) {
        return true;
    }
    if (!doc)
        return true;
    const int frames = doc->frameCount();
    if (frames > 0) {
        for (int i = 0; i < frames; ++i) {
            std::shared_ptr<Document> frame = doc->frame(i);
            const int inner = frame->frameCount();
            if (inner > 0) {
                for (int j = 0; j < inner; ++j) {
                    if (!CaptureImages(frame->frame(j)))
                        return false;
                }
            } else if (!CaptureImages(frame)) {
                return false;
            }
        }
    } else if (!CaptureImages(doc)) {
        return false;
    }
    setCaptureStatus(QString());
    return true;
}

bool frmCapture::CaptureImages(const std::shared_ptr<Document>& doc)
{
    const QList<DomImage> images = doc->images();
    if (!prepareSaves(images))
        return false;
    try {
        for (const DomImage& image : images) {
            if (image.src.trimmed().isEmpty())
                continue;
            HarvestHost* first = firstWindow_.data();
            if (!first)
                return true;
            if (!SaveCapturedImage(image.src, ImageFilePath(first->saveFolder(), image.src)))
                return false;
        }
    } catch (const std::exception&) {
        return true; // the rest of this document is skipped, without "Finished"
    }
    setCaptureStatus(kFinishedText);
    return true;
}

bool frmCapture::SaveCapturedImage(const QString& src, const QString& path)
{
    return saveOne(src, path);
}

} // namespace brackenly
