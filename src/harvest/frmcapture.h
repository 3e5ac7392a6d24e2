#pragma once

#include "capturewindow.h"

#include <memory>

namespace brackenly {

class Document;
class FrameRef;

// "Capture Image": loads, one at a time, the pages an image-saving run follows, saves
// their images and tells the first main window that the page is done.
class frmCapture : public CaptureWindow
{
    Q_OBJECT
public:
    frmCapture(const Services& services, HarvestHost* firstWindow, QWidget* parent = nullptr);

    void ImgBrowser1_DocumentComplete(const FrameRef& pDisp, const QString& url);

private:
    // Each returns false when this window was closed meanwhile.
    bool CaptureFrames(const FrameRef& target);
    bool CaptureImages(const std::shared_ptr<Document>& doc);
    bool SaveCapturedImage(const QString& src, const QString& path);
};

} // namespace brackenly
