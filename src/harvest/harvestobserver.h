#pragma once

#include <QList>
#include <QString>

namespace brackenly {

struct HarvestRun;

// What became of one image an image-saving run met.
struct ImageOutcome
{
    enum class Status
    {
        Saved,   // written by this run
        Exists,  // its file was there already
        Skipped, // never tried (no address, no safe name, not an http address)
        Failed,  // the download failed; no file was left
    };

    QString frame; // the document's frame index path from the top one ("1/0"); "" for the top
    QString via;   // the followed link or the pop-up's address; "" on the run's own page
    QString src;
    QString file; // where it is (or would be) saved; "" when it has no safe name
    Status status = Status::Skipped;
    QString reason; // why it was skipped or failed
};

// Told each image's outcome as a run learns it. The windows set none; a run from the
// command line writes its manifest from these.
class HarvestObserver
{
public:
    virtual ~HarvestObserver() = default;
    virtual void imageMet(const ImageOutcome& outcome) = 0;
};

// Tells the run's observer, if it has one.
void ReportImage(const HarvestRun& run, const ImageOutcome& outcome);

// "1/0" for the frame path {1, 0}.
QString FramePathText(const QList<int>& path);

} // namespace brackenly
