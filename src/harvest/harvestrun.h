#pragma once

#include <QString>

namespace brackenly {

class HarvestObserver;

// A main window's image-saving run as its capture windows see it: the run waits on these
// flags, which the capture windows clear when they report.
struct HarvestRun
{
    bool SavingImages = false;    // a run is in progress; cleared to stop it
    QString gstrLevel2Url;        // the link the capture window loads
    bool gbCaptureLevel2 = false; // the capture window has not reported that link yet
    bool gbPopup = false;         // a clicked script link's pop-up has not reported yet
    bool gbTimeOut = false;       // Timer3 ran out during the current wait
    // The run also saves lazy, srcset, picture and background images (taken from the
    // window's "Modern Image Sources" check as the run starts).
    bool modernImages = false;
    // Told what became of each image met; the windows set none.
    HarvestObserver* observer = nullptr;
};

} // namespace brackenly
