#pragma once

#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakeharvesthost.h"
#include "fakesite.h"
#include "imageharvester.h"
#include "popuprouter.h"
#include "recordingdownloader.h"
#include "services.h"

#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace brackenly {

// One main window's harvest on the engine double: a host, its harvester and pop-up router,
// the main browser, a site the capture browsers load from, and an image folder.
struct HarvestRig
{
    explicit HarvestRig(int timeOutMs = 5000, HarvestHost* firstWindow = nullptr);
    ~HarvestRig();

    // Shows doc in the main browser as the run's target.
    std::shared_ptr<FakeDocument> show(std::shared_ptr<FakeDocument> doc);
    // One click on the button, then the windows the run let go are deleted.
    void click();
    QStringList files() const;

    QTemporaryDir dir;
    QString folder;
    FakeSite site;
    FakeBrowserFactory browsers;
    RecordingDownloader downloader;
    RecordingFolderOpener folders;
    Services services;
    std::unique_ptr<FakeHarvestHost> host;
    std::unique_ptr<FakeBrowser> main;
    QPointer<ImageHarvester> harvester;
    QPointer<PopupRouter> router;
    QList<const Browser*> captureBrowsers; // one per run, not to be used
    QStringList navigations;               // of the capture browsers, over all runs
};

// Deletes what the event loop was asked to delete.
void flushDeletes();
// Closes every capture pop-up window still open.
void closeCapturePopups();

} // namespace brackenly
