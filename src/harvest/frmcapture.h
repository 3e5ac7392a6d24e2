#pragma once

#include "capturewindow.h"

#include <functional>
#include <memory>

namespace brackenly {

class Document;
class FrameRef;

// "Capture Image": loads, one at a time, the pages an image-saving run follows, saves
// their images and tells the first main window that the page is done.
//
// A completed page's images are read at once but saved by SaveCapturedImages(), which the
// run calls just before this window moves on (or the run ends): the bytes a prefetching
// page sends after its load event then arrive while the run's timer for the next link
// runs, instead of holding the run up.
class frmCapture : public CaptureWindow
{
    Q_OBJECT
public:
    frmCapture(const Services& services, HarvestHost* firstWindow, QWidget* parent = nullptr);

    void ImgBrowser1_DocumentComplete(const FrameRef& pDisp, const QString& url);
    // Saves the images of the pages captured so far, and runs `moveOn` (if given) once the
    // page is no longer needed: as soon as the downloader holds all their bytes, so the next
    // page loads while the files are written, else after the saves. False when this window
    // was closed meanwhile (the caller must not touch it then).
    bool SaveCapturedImages(const std::function<void()>& moveOn = {});
    // Loads `url` as one of several capture windows of a run: the completion is told by
    // pageReported(), not through the first window's flags, which serve one link at a time.
    void loadOwnLink(const QString& url);
    // The link's time ran out: a completion that comes after is not read.
    void abandonLink() { awaiting_ = false; }

Q_SIGNALS:
    void pageReported();

private:
    // The link being captured: this window's own, or else the first window's.
    QString level2Url() const;

    // Reads the images of the page's leaf documents (two frame levels) for saving.
    void CaptureFrames(const FrameRef& target);
    void CaptureImages(const std::shared_ptr<Document>& doc, const QList<int>& frame);

    struct CapturedDocument
    {
        QList<DomImage> images;
        QString frame; // its frame path
        QString via;   // the link the run followed to its page
    };
    QList<CapturedDocument> captured_; // in order
    QString ownLink_;
    bool ownLinks_ = false;
    bool awaiting_ = false; // the own link's page has not completed yet
    QString redirectedTo_;  // where the server sent the present navigation on, if it did
};

} // namespace brackenly
