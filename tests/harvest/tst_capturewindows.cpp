#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "fakeharvesthost.h"
#include "frmcapture.h"
#include "frmpopup.h"
#include "harvesttexts.h"
#include "imagedownload.h"
#include "recordingdownloader.h"
#include "services.h"
#include "statuspacer.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

using namespace brackenly;

// The capture window and the capture pop-up windows on their own: what a completed page
// saves, what they report to the first main window, and how they end on failure.
class tst_CaptureWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void windowsAtCreation();
    void captureCompletion_data();
    void captureCompletion();
    void captureStatusWhileSaving();
    void captureFailureEndsWholeHandler();
    void captureNestedCompletionSavesOnce();
    void popupSavesOnlyHttpImages_data();
    void popupSavesOnlyHttpImages();
    void popupClosedDuringSave();
    void statusPaintIsPaced();

private:
    QStringList files() const { return QDir(dir_->path()).entryList(QDir::Files, QDir::Name); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakeBrowserFactory> browsers_;
    std::unique_ptr<RecordingDownloader> downloader_;
    std::unique_ptr<FakeHarvestHost> first_;
    Services services_;
};

void tst_CaptureWindows::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    browsers_ = std::make_unique<FakeBrowserFactory>();
    downloader_ = std::make_unique<RecordingDownloader>();
    first_ = std::make_unique<FakeHarvestHost>();
    first_->gstrSaveFolder = dir_->path();
    services_ = Services();
    services_.browsers = browsers_.get();
    services_.downloader = downloader_.get();
}

void tst_CaptureWindows::cleanup()
{
    first_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_CaptureWindows::windowsAtCreation()
{
    frmCapture capture(services_, first_.get());
    QCOMPARE(capture.windowTitle(), kCaptureCaption);
    QCOMPARE(capture.findChild<QLabel*>("CaptureStatus"), capture.CaptureStatus);
    QCOMPARE(capture.ImgBrowser1, browsers_->last());
    QVERIFY(!capture.testAttribute(Qt::WA_DeleteOnClose)); // the run unloads it

    auto* popup = new frmPopup(services_, first_.get());
    QPointer<frmPopup> alive(popup);
    QCOMPARE(popup->windowTitle(), kCapturePopupCaption);
    QCOMPARE(popup->findChild<QLabel*>("CaptureStatus"), popup->CaptureStatus);
    popup->show();
    popup->close(); // the user closes it: it goes
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(alive.isNull());
}

void tst_CaptureWindows::captureCompletion_data()
{
    QTest::addColumn<QString>("level2");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<bool>("imagesFail");
    QTest::addColumn<QStringList>("saved");
    const QStringList both{"a.jpg", "b.png"};
    QTest::newRow("requested page") << "http://site/page.html"
                                    << "http://site/page.html" << false << both;
    QTest::newRow("letter case ignored") << "http://site/Page.html"
                                         << "http://SITE/page.HTML?x=1" << false << both;
    QTest::newRow("redirected elsewhere") << "http://site/page.html"
                                          << "http://site/moved.html" << false << QStringList();
    QTest::newRow("refused read") << "http://site/page.html"
                                  << "http://site/page.html" << true << QStringList();
}

void tst_CaptureWindows::captureCompletion()
{
    QFETCH(QString, level2);
    QFETCH(QString, reported);
    QFETCH(bool, imagesFail);
    QFETCH(QStringList, saved);
    frmCapture capture(services_, first_.get());
    auto* browser = qobject_cast<FakeBrowser*>(capture.ImgBrowser1);
    auto doc = FakeDocument::create(reported);
    doc->addImage("http://site/a.jpg");
    doc->addImage("");
    doc->addImage("http://site/b.png");
    if (imagesFail)
        doc->failOn(DomCall::Images);
    browser->setDocument(doc);
    first_->gstrLevel2Url = level2;
    first_->gbCaptureLevel2 = true;
    browser->complete({}, reported);
    QVERIFY(!first_->gbCaptureLevel2);
    QCOMPARE(files(), saved);
    // A handled page leaves the status line empty.
    QCOMPARE(capture.captureStatus(), QString());
}

void tst_CaptureWindows::captureStatusWhileSaving()
{
    frmCapture capture(services_, first_.get());
    auto* browser = qobject_cast<FakeBrowser*>(capture.ImgBrowser1);
    auto doc = FakeDocument::create("http://site/page.html");
    doc->addImage("http://site/a.jpg");
    browser->setDocument(doc);
    first_->gstrLevel2Url = "http://site/page.html";
    QStringList seen;
    downloader_->during = [&](const QString&) {
        seen << capture.captureStatus() << first_->panel2;
    };
    browser->complete({});
    QCOMPARE(seen, QStringList({"Saving http://site/a.jpg", "Saving http://site/a.jpg"}));
}

void tst_CaptureWindows::captureFailureEndsWholeHandler()
{
    frmCapture capture(services_, first_.get());
    auto* browser = qobject_cast<FakeBrowser*>(capture.ImgBrowser1);
    auto top = FakeDocument::create("http://site/frames.html");
    top->addFrame("http://site/f0.html")->addImage("http://site/f0.jpg");
    auto inner = top->addFrame("http://site/f1.html");
    inner->addFrame("http://site/f10.html")->addImage("http://site/f10.jpg");
    auto broken = top->addFrame("http://site/f2.html");
    broken->addImage("http://site/f2.jpg");
    broken->failOn(DomCall::Images);
    top->addFrame("http://site/f3.html")->addImage("http://site/f3.jpg");
    browser->setDocument(top);
    first_->gstrLevel2Url = "http://site/frames.html";
    first_->gbCaptureLevel2 = true;
    browser->complete({});
    // Unlike the main scan, one failing frame ends the capture of the whole page.
    QCOMPARE(files(), QStringList({"f0.jpg", "f10.jpg"}));
    QVERIFY(!first_->gbCaptureLevel2);
}

void tst_CaptureWindows::captureNestedCompletionSavesOnce()
{
    frmCapture capture(services_, first_.get());
    auto* browser = qobject_cast<FakeBrowser*>(capture.ImgBrowser1);
    auto doc = FakeDocument::create("http://site/page.html");
    doc->addImage("http://site/a.jpg");
    browser->setDocument(doc);
    first_->gstrLevel2Url = "http://site/page";
    bool nested = false;
    downloader_->during = [&](const QString&) {
        // Another completion arrives while the first save waits for its bytes.
        if (!nested) {
            nested = true;
            browser->complete({});
        }
    };
    browser->complete({});
    QCOMPARE(downloader_->calls.size(), 1);
    QCOMPARE(files(), QStringList({"a.jpg"}));
    QVERIFY(!IsImageDownloading(dir_->path() + "/a.jpg"));
}

void tst_CaptureWindows::popupSavesOnlyHttpImages_data()
{
    QTest::addColumn<bool>("imagesFail");
    QTest::addColumn<QStringList>("saved");
    QTest::newRow("saved") << false << QStringList{"a.jpg", "d.gif"};
    QTest::newRow("refused read") << true << QStringList{};
}

void tst_CaptureWindows::popupSavesOnlyHttpImages()
{
    QFETCH(bool, imagesFail);
    QFETCH(QStringList, saved);
    HarvestHost* firstWindow = first_.get();
    auto* popup = new frmPopup(services_, firstWindow);
    auto* browser = qobject_cast<FakeBrowser*>(popup->ImgBrowser1);
    auto doc = FakeDocument::create("http://site/pop.html");
    for (const char* src : {"http://site/a.jpg", "https://site/b.jpg", "HTTP://site/c.jpg",
                            "ftp://site/e.jpg", "", "http://site/d.gif"})
        doc->addImage(src);
    if (imagesFail)
        doc->failOn(DomCall::Images);
    first_->gbPopup = true;
    browser->load(doc);
    QCOMPARE(files(), saved);
    QCOMPARE(first_->gbPopup, imagesFail);
    QCOMPARE(first_->busyTimerStops, imagesFail ? 0 : 1);
    QCOMPARE(popup->captureStatus(), imagesFail ? QString() : kFinishedText);
    delete popup;
}

void tst_CaptureWindows::popupClosedDuringSave()
{
    QPointer<frmPopup> popup = new frmPopup(services_, first_.get());
    auto* browser = qobject_cast<FakeBrowser*>(popup->ImgBrowser1);
    auto doc = FakeDocument::create("http://site/pop.html");
    doc->addImage("http://site/a.jpg");
    doc->addImage("http://site/b.jpg");
    popup->show();
    downloader_->during = [&](const QString&) {
        if (popup)
            popup->close(); // the user closes it while its first image downloads
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    first_->gbPopup = true;
    browser->load(doc);
    QVERIFY(popup.isNull());
    QCOMPARE(files(), QStringList({"a.jpg"}));
    QVERIFY(first_->gbPopup); // it never reported: the run's wait times out
}

void tst_CaptureWindows::statusPaintIsPaced()
{
    QLabel panel;
    panel.show();
    SetStatusText(&panel, [&] { panel.setText("one"); });
    QVERIFY(panel.updatesEnabled());
    SetStatusText(&panel, [&] { panel.setText("two"); });
    SetStatusText(&panel, [&] { panel.setText("three"); });
    // The text is current at once; its painting waits for the pace.
    QCOMPARE(panel.text(), QString("three"));
    QVERIFY(!panel.updatesEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(panel.updatesEnabled(), kStatusPaintMs * 4);
    SetStatusText(&panel, [&] { panel.setText("four"); });
    SetStatusText(
        &panel, [&] { panel.setText(""); }, true);
    QVERIFY(panel.updatesEnabled());
    QCOMPARE(panel.text(), QString());
}

QTEST_MAIN(tst_CaptureWindows)
#include "tst_capturewindows.moc"
