#pragma once

#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "frmpopup.h"
#include "harvesthost.h"
#include "imagedownloader.h"
#include "imageharvester.h"
#include "popuprouter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

namespace brackenly {

// A main window's harvest state as plain fields; it is its own first window.
class FakeHost : public HarvestHost
{
public:
    ~FakeHost() override { delete win.data(); }
    QWidget* window() const override { return win.data(); }
    bool savingImages() const override { return saving; }
    void setSavingImages(bool on) override { saving = on; }
    FrameRef lastCompletedBrowser() const override { return target; }
    void setGobackFlag(bool) override {}
    QString saveImageCaption() const override { return caption; }
    void setSaveImageCaption(const QString& text) override { caption = text; }
    bool blockPopups() const override { return block; }
    void setBlockedStatus(const QString& text) override { panel3 = text; }
    QString saveFolder() const override { return folder; }
    QString level2Url() const override { return level2; }
    void setLevel2Url(const QString& url) override { level2 = url; }
    bool captureLevel2() const override { return capture; }
    void setCaptureLevel2(bool on) override
    {
        captureReports += (capture = on) ? 0 : 1;
        if (!on && onCaptureReport)
            onCaptureReport();
    }
    bool popup() const override { return gbPopup; }
    void setPopup(bool on) override { popupReports += (gbPopup = on) ? 0 : 1; }
    bool timeOut() const override { return gbTimeOut; }
    void setTimeOut(bool on) override
    {
        timeOuts += on;
        gbTimeOut = on;
    }
    void setSavingStatus(const QString&) override {}
    QWidget* savingStatusPanel() const override { return nullptr; }
    void stopBusyTimer() override {}
    HarvestHost* firstWindow() const override { return const_cast<FakeHost*>(this); }
    bool programEnding() const override { return false; }
    Browser* openPopupLevelWindow() override { return ++levelWindows, levelBrowser; }

    QPointer<QWidget> win = new QWidget;
    bool saving = false, block = false, capture = false, gbPopup = false, gbTimeOut = false;
    FrameRef target;
    QString caption = QStringLiteral("S A V E    I M A G E"), panel3, folder, level2;
    // Reports: each time a capture window clears gbCaptureLevel2 or gbPopup.
    int captureReports = 0, popupReports = 0, timeOuts = 0, levelWindows = 0;
    Browser* levelBrowser = nullptr;
    std::function<void()> onCaptureReport;
};

// Stores the address as the file's content; never over an existing file.
struct RecordingDownloader : ImageDownloader
{
    bool download(const QString& src, const QString& path, Browser*) override
    {
        sources << src;
        if (onDownload)
            onDownload(src);
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && file.write(src.toUtf8()) > 0;
    }
    // Holds nothing, but needs nothing from the page either unless told so.
    bool prepare(const QStringList& srcs, Browser*) override
    {
        if (onPrepare)
            onPrepare(srcs);
        return !needsPage;
    }
    QStringList sources;
    std::function<void(const QString&)> onDownload;
    std::function<void(const QStringList&)> onPrepare;
    bool needsPage = false;
};

// One window's harvest on the engine double; browsers made for it load the pages added
// here a moment after a Navigate, like the real engine.
struct HarvestRig
{
    explicit HarvestRig(int timeOutMs = 5000)
    {
        host.folder = dir.path();
        browsers.onCreate = [this](FakeBrowser* b) {
            b->onNavigate = [this, b = QPointer<FakeBrowser>(b)](const QString& url) {
                navigations << url;
                loadLater(b, url);
            };
        };
        services.browsers = &browsers;
        services.downloader = &downloader;
        services.captureTimeoutMs = timeOutMs;
        harvester = new ImageHarvester(&host, services, host.window());
        router = new PopupRouter(&host, services, host.window());
        router->install(&main);
    }
    ~HarvestRig()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            delete qobject_cast<frmPopup*>(w);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void addPage(const QString& url, const QStringList& images)
    {
        pages[url] = [url, images] {
            auto doc = FakeDocument::create(url);
            for (const QString& src : images)
                doc->addImage(src);
            return doc;
        };
    }
    void loadLater(QPointer<FakeBrowser> b, const QString& url)
    {
        QTimer::singleShot(0, [this, b, url] {
            if (b && pages.contains(url))
                b->load(pages[url]());
        });
    }
    // A click on the link asks for a new window, as window.open does, and loads url there.
    void popupOnClick(FakeDocument& doc, ElementId link, const QString& url)
    {
        doc.onClick(link, [this, url] {
            loadLater(qobject_cast<FakeBrowser*>(main.requestWindow()), url);
        });
    }
    std::shared_ptr<FakeDocument> show(const QString& url)
    {
        auto doc = FakeDocument::create(url);
        main.setDocument(doc);
        host.target = main.topFrame();
        return doc;
    }
    void click()
    {
        harvester->mnuSaveImage_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    QHash<QString, std::function<std::shared_ptr<FakeDocument>()>> pages;
    QStringList navigations; // of the capture window's browser
    FakeBrowserFactory browsers;
    RecordingDownloader downloader;
    Services services;
    FakeHost host;
    FakeBrowser main;
    ImageHarvester* harvester;
    PopupRouter* router;
};

} // namespace brackenly
