#pragma once

#include "capturewindow.h"

namespace brackenly {

class FrameRef;

// "Capture Popup Image": takes a pop-up that a page opened during an image-saving run,
// saves the "http://" images of its first page while that run goes on (setRun) and tells
// the first main window. Lives until the user closes it.
class frmPopup : public CaptureWindow
{
    Q_OBJECT
public:
    frmPopup(const Services& services, HarvestHost* firstWindow, QWidget* parent = nullptr);

    void ImgBrowser1_DocumentComplete(const FrameRef& pDisp, const QString& url);

private:
    bool pageDone_ = false; // its first top document has completed
};

} // namespace brackenly
