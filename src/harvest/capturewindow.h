#pragma once

#include "dom.h"
#include "harvesthost.h"
#include "services.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QStatusBar;

namespace brackenly {

class Browser;
class RunSaver;

// What the capture window and the capture pop-up windows share: a browser `ImgBrowser1`,
// a one-line status bar `CaptureStatus`, and the first main window they report to.
class CaptureWindow : public QWidget
{
    Q_OBJECT
public:
    CaptureWindow(const Services& services, HarvestHost* firstWindow, const QString& caption,
                  QWidget* parent = nullptr);
    ~CaptureWindow() override;

    Browser* ImgBrowser1 = nullptr;
    QStatusBar* statusBar = nullptr;
    QLabel* CaptureStatus = nullptr;

    QString captureStatus() const;
    HarvestHost* firstWindow() const { return firstWindow_.data(); }
    // The run this window saves for; without one (or once its budget is spent) it saves
    // nothing.
    void setRun(RunSaver* run);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void setCaptureStatus(const QString& text);
    // The save step shared by both windows: skips a file that exists, shows "Saving " + src
    // here and in the first window, lets events run and downloads. False when this window
    // was closed meanwhile (the caller must not touch it then).
    // The first window's run hears what became of the image, met in `frame` of the page
    // reached `via` a link or pop-up.
    bool saveOne(const QString& src, const QString& path, const QString& frame, const QString& via);
    // Tells the first window's run of an image passed over.
    void reportSkipped(const QString& src, const QString& frame, const QString& via,
                       const QString& reason);
    // Lets the downloader fetch the images about to be saved together (see
    // PrepareImageDownloads); `whole`, when given, tells whether the saves need nothing more
    // from the page. False when this window was closed meanwhile.
    bool prepareSaves(const QList<DomImage>& images, bool* whole = nullptr);

    Services services_;
    QPointer<HarvestHost> firstWindow_;
    QPointer<RunSaver> run_;

private:
    QWidget* statusHolder_ = nullptr;
};

} // namespace brackenly
