#include "browserapp.h"
#include "browsermenus.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "frmbrowserharvesthost.h"
#include "frmpopup.h"
#include "harvesttexts.h"
#include "networkimagedownloader.h"
#include "popuprouter.h"
#include "recordingdownloader.h"
#include "scriptedprompt.h"
#include "webenginebrowserfactory.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace brackenly;

namespace {
// The engine wants shared contexts set before the application object exists.
const bool kShareContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
} // namespace

// Image-saving runs and pop-up windows on the real engine against the loopback server.
class tst_HarvestEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void galleryRunAndSecondRun();
    void framesetRun();
    void scriptLinkPopupSavesHttpImages();
    void popupThatNeverComes_data();
    void popupThatNeverComes();
    void popupLevelWindowsStackAndClose();

private:
    void start(int timeOutMs);
    QString url(const QString& path) const { return server_.url(path).toString(); }
    bool browse(frmBrowser* w, const QString& address);
    QStringList files() const { return QDir(folder_).entryList(QDir::Files, QDir::Name); }
    frmBrowser* windowOf(Browser* b) const;

    FixtureServer server_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    WebEngineBrowserFactory browsers_;
    std::unique_ptr<NetworkImageDownloader> downloader_;
    ScriptedPrompt prompt_;
    RecordingFolderOpener folders_;
    std::unique_ptr<BrowserApp> app_;
    frmBrowser* first_ = nullptr;
};

void tst_HarvestEngine::init()
{
    QVERIFY(server_.isRunning() || server_.start());
    server_.clearRequests();
    dir_ = std::make_unique<QTemporaryDir>();
    folder_ = dir_->path() + "/Image";
    QDir().mkpath(folder_);
}

void tst_HarvestEngine::start(int timeOutMs)
{
    downloader_ = std::make_unique<NetworkImageDownloader>();
    downloader_->setTimeoutMs(5000);
    Services services;
    services.browsers = &browsers_;
    services.prompt = &prompt_;
    services.downloader = downloader_.get();
    services.folders = &folders_;
    services.programFolder = dir_->path();
    services.captureTimeoutMs = timeOutMs;
    app_ = std::make_unique<BrowserApp>(services);
    first_ = app_->startFirstWindow();
    first_->gstrSaveFolder = folder_;
}

void tst_HarvestEngine::cleanup()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<frmPopup*>(w))
            delete w;
    }
    app_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    downloader_.reset();
}

bool tst_HarvestEngine::browse(frmBrowser* w, const QString& address)
{
    w->txtUrl->setText(address);
    w->cmdPlayback_Click();
    return waitUntil([&] {
        return w->strLastUrl == address && w->LastCompletedBrowser.isTop() &&
               w->cmdSaveImage->isEnabled();
    });
}

frmBrowser* tst_HarvestEngine::windowOf(Browser* b) const
{
    for (frmBrowser* w : app_->windows()) {
        if (w->wbMyBrowser == b)
            return w;
    }
    return nullptr;
}

void tst_HarvestEngine::galleryRunAndSecondRun()
{
    server_.addPage("/g/index.html",
                    "<html><body><img src=\"img/a.gif\"> <img src=\"img/b.gif\">"
                    "<a href=\"big1.html\"><img src=\"thumbs/t1.gif\"></a>"
                    "<a href=\"page1.html\">one</a> <a href=\"page2.html\">two</a>"
                    "<a href=\"page1.html\">one again</a>"
                    "<img src=\"img/missing.gif\"> <img src=\"show.php?id=7&amp;s=big\">"
                    "</body></html>");
    server_.addPage("/g/page1.html", "<html><body><img src=\"img/p1.gif\"></body></html>");
    server_.addPage("/g/page2.html",
                    "<html><body><img src=\"img/p2.gif\"><img src=\"img/a.gif\"></body></html>");
    server_.addPage("/g/big1.html", "<html><body><img src=\"img/big.gif\"></body></html>");
    for (const char* path : {"/g/img/a.gif", "/g/img/b.gif", "/g/thumbs/t1.gif", "/g/img/p1.gif",
                             "/g/img/p2.gif", "/g/img/big.gif", "/g/show.php"})
        server_.addImage(path);
    start(5000);
    QVERIFY(browse(first_, url("/g/index.html")));

    first_->cmdSaveImage->click();

    QCOMPARE(first_->cmdSaveImage->text(), kSaveImageText);
    QCOMPARE(files(),
             QStringList({"a.gif", "b.gif", "id_7&s_big.jpg", "p1.gif", "p2.gif", "t1.gif"}));
    QCOMPARE(server_.requestCount("/g/big1.html"), 0);
    QCOMPARE(server_.requestCount("/g/page1.html"), 1);
    QCOMPARE(first_->statusPanel(2)->text(), QString());
    QVERIFY(!first_->gbTimeOut);

    // Only the image that failed is asked for again: nothing saved is fetched twice.
    server_.clearRequests();
    first_->cmdSaveImage->click();
    QCOMPARE(server_.requestCount("/g/img/missing.gif"), 1);
    QCOMPARE(server_.totalRequests(), 1);
    QCOMPARE(files().size(), 6);
}

void tst_HarvestEngine::framesetRun()
{
    server_.addPage("/f/index.html", "<html><frameset cols=\"50%,50%\"><frame src=\"left.html\">"
                                     "<frame src=\"right.html\"></frameset></html>");
    server_.addPage("/f/left.html", "<html><body><img src=\"l.gif\"></body></html>");
    server_.addPage("/f/right.html", "<html><frameset rows=\"50%,50%\"><frame src=\"inner.html\">"
                                     "<frame src=\"inner2.html\"></frameset></html>");
    server_.addPage("/f/inner.html", "<html><body><img src=\"i.gif\"></body></html>");
    server_.addPage("/f/inner2.html", "<html><body><img src=\"j.gif\"></body></html>");
    for (const char* path : {"/f/l.gif", "/f/i.gif", "/f/j.gif"})
        server_.addImage(path);
    start(5000);
    QVERIFY(browse(first_, url("/f/index.html")));
    first_->cmdSaveImage->click();
    QCOMPARE(files(), QStringList({"i.gif", "j.gif", "l.gif"}));
}

void tst_HarvestEngine::scriptLinkPopupSavesHttpImages()
{
    server_.addPage("/s/index.html",
                    "<html><body><a href=\"javascript:void(window.open('pop.html'))\">pop</a>"
                    "</body></html>");
    server_.addPage("/s/pop.html",
                    "<html><body><img src=\"pop.gif\">"
                    "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\"></body></html>");
    server_.addImage("/s/pop.gif");
    start(8000);
    QVERIFY(browse(first_, url("/s/index.html")));
    QElapsedTimer clock;
    clock.start();
    first_->cmdSaveImage->click();
    QVERIFY(clock.elapsed() < 8000); // ended by the pop-up's report, not the time-out
    QVERIFY(!first_->gbTimeOut);
    QCOMPARE(files(), QStringList({"pop.gif"}));
    frmPopup* popup = PopupRouterOf(first_)->lastCapturePopup();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->captureStatus(), kFinishedText);
    QCOMPARE(app_->windows().size(), 1);
}

void tst_HarvestEngine::popupThatNeverComes_data()
{
    QTest::addColumn<bool>("block");
    QTest::newRow("script opens nothing") << false;
    QTest::newRow("pop-up blocked during the run") << true;
}

void tst_HarvestEngine::popupThatNeverComes()
{
    QFETCH(bool, block);
    server_.addPage("/t/index.html",
                    "<html><body>"
                    "<a href=\"javascript:void(" +
                        QString(block ? "window.open('pop.html')" : "0") +
                        ")\">x</a> <a href=\"after.html\">after</a></body></html>");
    server_.addPage("/t/pop.html", "<html><body><img src=\"pop.gif\"></body></html>");
    server_.addPage("/t/after.html", "<html><body><img src=\"after.gif\"></body></html>");
    server_.addImage("/t/pop.gif");
    server_.addImage("/t/after.gif");
    start(1500);
    first_->menus()->mnuBlock->setChecked(block);
    QVERIFY(browse(first_, url("/t/index.html")));
    QElapsedTimer clock;
    clock.start();
    first_->cmdSaveImage->click();
    QVERIFY(clock.elapsed() >= 1500);
    QCOMPARE(files(), QStringList({"after.gif"}));
    QCOMPARE(first_->statusPanel(3)->text(), block ? QString("1 Pop-up is blocked") : QString());
    QCOMPARE(server_.requestCount("/t/pop.html"), 0);
}

void tst_HarvestEngine::popupLevelWindowsStackAndClose()
{
    server_.addPage("/p/index.html",
                    "<html><body><a href=\"javascript:void(window.open('index.html'))\">"
                    "open</a></body></html>");
    start(5000);
    QVERIFY(browse(first_, url("/p/index.html")));
    auto clickOpen = [](frmBrowser* w) {
        auto doc = w->wbMyBrowser->document();
        doc->click(doc->links().value(0).handle);
    };
    clickOpen(first_);
    QVERIFY(waitUntil([&] { return app_->windows().size() == 2; }));
    frmBrowser* level1 = app_->windows().last();
    QCOMPARE(level1->windowTitle(), QString("Brackenly v1.1 (Popup Window - Level 1)"));
    QVERIFY(waitUntil([&] { return level1->strLastUrl == url("/p/index.html"); }));
    QVERIFY(!first_->isVisible());
    QCOMPARE(level1->pos(), first_->pos());
    clickOpen(level1);
    QVERIFY(waitUntil([&] { return app_->windows().size() == 3; }));
    frmBrowser* level2 = app_->windows().last();
    QCOMPARE(level2->windowTitle(), QString("Brackenly v1.1 (Popup Window - Level 2)"));
    QVERIFY(waitUntil([&] { return level2->strLastUrl == url("/p/index.html"); }));
    QVERIFY(!level1->isVisible());
    // A closed window goes with the deferred deletes of the level it was closed at.
    level2->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(app_->windows().size(), 2);
    QVERIFY(level1->isVisible());
    level1->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(app_->windows().size(), 1);
    QVERIFY(first_->isVisible());
}

QTEST_MAIN(tst_HarvestEngine)
#include "tst_harvestengine.moc"
