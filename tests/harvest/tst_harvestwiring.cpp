#include "browserapp.h"
#include "browsermenus.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "fakesite.h"
#include "frmbrowser.h"
#include "frmbrowserharvesthost.h"
#include "frmpopup.h"
#include "harvesttexts.h"
#include "imageharvester.h"
#include "popuprouter.h"
#include "recordingdownloader.h"
#include "scriptedprompt.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace brackenly;

// The harvest wired into real main windows on the engine double: the button, the pop-up
// level windows and the blocked count as the user sees them.
class tst_HarvestWiring : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void popupLevelWindowsStackAndClose();
    void blockedCount_data();
    void blockedCount();
    void runThroughTheButton();
    void runInPopupLevelWindowWaitsOut();
    void imageFolderButton();

private:
    FakeBrowser* browserOf(frmBrowser* w) { return qobject_cast<FakeBrowser*>(w->wbMyBrowser); }
    frmBrowser* windowOf(Browser* b);
    QStringList files(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    FakeSite site_;
    std::unique_ptr<FakeBrowserFactory> browsers_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<RecordingDownloader> downloader_;
    std::unique_ptr<RecordingFolderOpener> folders_;
    std::unique_ptr<BrowserApp> app_;
    frmBrowser* first_ = nullptr;
};

void tst_HarvestWiring::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    site_ = FakeSite();
    browsers_ = std::make_unique<FakeBrowserFactory>();
    browsers_->onCreate = [this](FakeBrowser* b) { site_.serve(b); };
    prompt_ = std::make_unique<ScriptedPrompt>();
    downloader_ = std::make_unique<RecordingDownloader>();
    folders_ = std::make_unique<RecordingFolderOpener>();
    Services services;
    services.browsers = browsers_.get();
    services.prompt = prompt_.get();
    services.downloader = downloader_.get();
    services.folders = folders_.get();
    services.programFolder = dir_->path();
    services.captureTimeoutMs = 100;
    app_ = std::make_unique<BrowserApp>(services);
    first_ = app_->startFirstWindow();
    first_->gstrSaveFolder = dir_->path();
}

void tst_HarvestWiring::cleanup()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<frmPopup*>(w))
            delete w;
    }
    app_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

frmBrowser* tst_HarvestWiring::windowOf(Browser* b)
{
    for (frmBrowser* w : app_->windows()) {
        if (w->wbMyBrowser == b)
            return w;
    }
    return nullptr;
}

void tst_HarvestWiring::popupLevelWindowsStackAndClose()
{
    first_->move(40, 30);
    first_->resize(700, 500);
    Browser* b1 = browserOf(first_)->requestWindow();
    frmBrowser* level1 = windowOf(b1);
    QVERIFY(level1 && level1 != first_);
    QCOMPARE(level1->windowTitle(), QString("Brackenly v1.1 (Popup Window - Level 1)"));
    QCOMPARE(level1->glngPopupLevel, 1);
    QCOMPARE(level1->objParentForm.data(), first_);
    QVERIFY(level1->isVisible());
    QVERIFY(!first_->isVisible());
    QCOMPARE(level1->pos(), first_->pos());
    QCOMPARE(level1->size(), first_->size());
    QVERIFY(browserOf(level1)->registeredAsBrowser());
    QVERIFY(browserOf(level1)->silent());
    QVERIFY(!level1->menus()->mnuBlock->isChecked());

    Browser* b2 = browserOf(level1)->requestWindow();
    frmBrowser* level2 = windowOf(b2);
    QVERIFY(level2 && level2 != level1);
    QCOMPARE(level2->windowTitle(), QString("Brackenly v1.1 (Popup Window - Level 2)"));
    QCOMPARE(level2->objParentForm.data(), level1);
    QVERIFY(!level1->isVisible());
    QCOMPARE(level2->pos(), first_->pos());

    QPointer<frmBrowser> gone2(level2);
    level2->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(gone2.isNull());
    QVERIFY(level1->isVisible());
    level1->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first_->isVisible());
    QCOMPARE(app_->windows().size(), 1);
}

void tst_HarvestWiring::blockedCount_data()
{
    QTest::addColumn<QString>("steps"); // b: blocked request, o: request with blocking off
    QTest::addColumn<QString>("panel3");
    QTest::newRow("one") << "b"
                         << "1 Pop-up is blocked";
    QTest::newRow("three in a row") << "bbb"
                                    << "3 Pop-up is blocked";
    QTest::newRow("off and on again keeps counting") << "bbbob"
                                                     << "4 Pop-up is blocked";
    QTest::newRow("none blocked") << "o"
                                  << "";
}

void tst_HarvestWiring::blockedCount()
{
    QFETCH(QString, steps);
    QFETCH(QString, panel3);
    QAction* block = first_->menus()->mnuBlock;
    for (const QChar step : steps) {
        if (block->isChecked() != (step == 'b'))
            block->trigger();
        Browser* taker = browserOf(first_)->requestWindow();
        QCOMPARE(taker == nullptr, step == 'b');
        if (frmBrowser* w = windowOf(taker)) {
            w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    QCOMPARE(first_->statusPanel(3)->text(), panel3);
    QCOMPARE(PopupRouterOf(first_)->BlockedPopupCount(), int(steps.count('b')));
}

void tst_HarvestWiring::runThroughTheButton()
{
    site_.addPage("http://site/page.html", {"p.jpg"});
    site_.addPage("http://site/pop.html", {"pop.jpg"});
    auto doc = FakeDocument::create("http://site/index.html");
    doc->addImage("a.jpg");
    doc->addLink("page.html");
    const ElementId js = doc->addLink("javascript:pop()");
    site_.openWindowOnClick(*doc, js, browserOf(first_), "http://site/pop.html");
    browserOf(first_)->load(doc);
    QVERIFY(first_->cmdSaveImage->isEnabled());

    QString during;
    connect(HarvesterOf(first_), &ImageHarvester::runStarted, this,
            [&] { during = first_->cmdSaveImage->text(); });
    first_->cmdSaveImage->click();

    QCOMPARE(during, kSavingImageText);
    QCOMPARE(first_->cmdSaveImage->text(), kSaveImageText);
    QVERIFY(!first_->SavingImages);
    QCOMPARE(files(dir_->path()), QStringList({"a.jpg", "p.jpg", "pop.jpg"}));
    QCOMPARE(first_->statusPanel(2)->text(), QString());
    QVERIFY(!first_->gbTimeOut);
    // The pop-up went to a capture pop-up window, not to a new main window.
    QCOMPARE(app_->windows().size(), 1);
    QCOMPARE(PopupRouterOf(first_)->lastCapturePopup()->windowTitle(), kCapturePopupCaption);
}

void tst_HarvestWiring::runInPopupLevelWindowWaitsOut()
{
    frmBrowser* level1 = windowOf(browserOf(first_)->requestWindow());
    QVERIFY(level1);
    QDir(dir_->path()).mkdir("level1");
    level1->gstrSaveFolder = dir_->path() + "/level1";
    site_.addPage("http://site/page.html", {"p.jpg"});
    auto doc = FakeDocument::create("http://site/index.html");
    doc->addImage("a.jpg");
    doc->addLink("page.html");
    browserOf(level1)->load(doc);
    level1->cmdSaveImage->click();
    // Its own images go to its folder, the capture page's to the first window's, and the
    // report went to the first window, so this window's wait ran out.
    QCOMPARE(files(level1->gstrSaveFolder), QStringList({"a.jpg"}));
    QCOMPARE(files(dir_->path()), QStringList({"p.jpg"}));
    QVERIFY(level1->gbTimeOut);
    QVERIFY(!first_->gbTimeOut);
}

void tst_HarvestWiring::imageFolderButton()
{
    first_->gstrSaveFolder = "/tmp/My Pics; rm -rf x";
    first_->cmdImageFolder->click();
    QCOMPARE(folders_->opened, QStringList({"/tmp/My Pics; rm -rf x"}));
}

QTEST_MAIN(tst_HarvestWiring)
#include "tst_harvestwiring.moc"
