#pragma once

#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "frmpopup.h"
#include "harvesthost.h"
#include "imagedownloader.h"
#include "imageharvester.h"
#include "popuprouter.h"
#include "scriptedprompt.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

namespace brackenly {

// A main window as the harvest sees it: plain fields, real status panels. One made over a
// first window is a pop-up level window; its runs' capture windows report to the first.
class RigWindow : public HarvestHost
{
public:
    explicit RigWindow(RigWindow* first = nullptr) : first_(first)
    {
        for (QLabel*& panel : panels)
            panel = new QLabel(win);
    }
    ~RigWindow() override { delete win.data(); }
    QWidget* window() const override { return win.data(); }
    Prompt& prompt() const override { return prompts; }
    HarvestRun& run() override { return state; }
    FrameRef lastCompletedBrowser() const override { return target; }
    void setGobackFlag(bool) override {}
    QString saveImageCaption() const override { return caption; }
    void setSaveImageCaption(const QString& text) override { caption = text; }
    bool blockPopups() const override { return block; }
    bool modernImages() const override { return modern; }
    QString saveFolder() const override { return folder; }
    QLabel* statusPanel(int index) const override
    {
        return index >= 1 && index <= 3 ? panels[index - 1] : nullptr;
    }
    void stopBusyTimer() override {}
    HarvestHost* firstWindow() const override
    {
        return first_ ? static_cast<HarvestHost*>(first_) : const_cast<RigWindow*>(this);
    }
    bool programEnding() const override { return false; }
    Browser* openPopupLevelWindow() override { return ++levelWindows, levelBrowser; }
    QString panelText(int index) const { return panels[index - 1]->text(); }

    QPointer<QWidget> win = new QWidget;
    QLabel* panels[3] = {};
    mutable ScriptedPrompt prompts;
    HarvestRun state;
    bool block = false, modern = false;
    FrameRef target;
    QString caption = QStringLiteral("S A V E    I M A G E"), folder;
    int levelWindows = 0;
    Browser* levelBrowser = nullptr;

private:
    RigWindow* first_;
};

// Stores the address as the file's content; never over an existing file, nor once aborted.
struct RecordingDownloader : ImageDownloader
{
    bool download(const QString& src, const QString& path, Browser*) override
    {
        sources << src;
        if (onDownload)
            onDownload(src);
        QFile file(path);
        return !aborted.contains(path) && file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
               file.write(src.toUtf8()) > 0;
    }
    void abort(const QString& path) override { aborted << path; }
    // Holds nothing, but needs nothing from the page either unless told so.
    bool prepare(const QStringList& srcs, Browser*) override
    {
        if (onPrepare)
            onPrepare(srcs);
        return !needsPage;
    }
    QStringList sources, aborted;
    std::function<void(const QString&)> onDownload;
    std::function<void(const QStringList&)> onPrepare;
    bool needsPage = false;
};

// One window's harvest on the engine double; its browsers load the added pages a moment after
// a Navigate, as the real engine does. It runs in the first window or a level window over it.
struct HarvestRig
{
    explicit HarvestRig(int timeOutMs = 5000, bool inLevelWindow = false)
        : host(inLevelWindow ? level : first)
    {
        first.folder = dir.path();
        level.folder = levelDir.path();
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
        QObject::connect(harvester->Timer3(), &QTimer::timeout, [this] { ++timeOuts; });
        router = new PopupRouter(&host, services, host.window());
        router->install(&main);
    }
    ~HarvestRig()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            delete qobject_cast<frmPopup*>(w);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void addPage(const QString& url, const QStringList& images, const QStringList& late = {})
    {
        pages[url] = [url, images, late] {
            auto doc = FakeDocument::create(url);
            for (const QString& src : images)
                doc->addImage(src);
            doc->addLateImages(late);
            return doc;
        };
    }
    void loadLater(QPointer<FakeBrowser> b, const QString& url)
    {
        QTimer::singleShot(loadDelayMs.value(url), [this, b, url] {
            if (!b || !pages.contains(url))
                return;
            b->load(pages[url]());
            if (onLoaded)
                onLoaded(url, b);
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
    // The index page shown with its links in order: a name leads to "<name>.html", a page
    // holding "<name>.jpg"; an address (with a ':') is linked as it is.
    std::shared_ptr<FakeDocument> showLinks(const QStringList& links)
    {
        auto doc = show(QStringLiteral("http://site/index.html"));
        for (const QString& link : links) {
            if (!link.contains(u':'))
                addPage("http://site/" + link + ".html", {link + ".jpg"});
            doc->addLink(link.contains(u':') ? link : link + ".html");
        }
        return doc;
    }
    void click()
    {
        harvester->mnuSaveImage_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QStringList files(const RigWindow& w) const
    {
        return QDir(w.folder).entryList(QDir::Files, QDir::Name);
    }
    QStringList files() const { return files(host); }

    QTemporaryDir dir, levelDir;
    QHash<QString, std::function<std::shared_ptr<FakeDocument>()>> pages;
    QHash<QString, int> loadDelayMs; // of a page, after the Navigate
    QStringList navigations;         // of the capture window's browser
    int timeOuts = 0;                // waits ended by Timer3
    // After a page loaded in a made browser.
    std::function<void(const QString&, FakeBrowser*)> onLoaded;
    FakeBrowserFactory browsers;
    RecordingDownloader downloader;
    Services services;
    RigWindow first;
    RigWindow level{&first};
    RigWindow& host; // the window whose run is tested
    FakeBrowser main;
    ImageHarvester* harvester;
    PopupRouter* router;
};

} // namespace brackenly
