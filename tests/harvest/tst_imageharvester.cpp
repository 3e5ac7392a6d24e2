#include "engineerror.h"
#include "frmcapture.h"
#include "frmpopup.h"
#include "harvestrig.h"
#include "harvesttexts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <ctime>

using namespace brackenly;

// Image-saving runs on the engine double: the order of the phases, frames, links, the
// waits and how they end, the stop click, and the files the run leaves.
class tst_ImageHarvester : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { closeCapturePopups(); }
    void imagesThenLinksInPageOrder();
    void framesTwoLevelsDeep_data();
    void framesTwoLevelsDeep();
    void secondRunFetchesNothingNew();
    void scriptLinksClickedEveryTime();
    void waitEnds_data();
    void waitEnds();
    void waitSleeps();
    void stopClick_data();
    void stopClick();
    void stopDuringImagesPhase();
    void runEndsWithWindowOrProgram_data();
    void runEndsWithWindowOrProgram();
    void runInPopupLevelWindowReportsToFirst();
    void runWithoutTarget_data();
    void runWithoutTarget();
    void emptyPage();
    void imageNames_data();
    void imageNames();
    void sameNameKeepsFirst();
};

namespace {

QString read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

// A script link that opens nothing and a link to a page that loads after it.
std::shared_ptr<FakeDocument> waitingPage(HarvestRig& rig)
{
    rig.site.addPage(QStringLiteral("http://site/after.html"), {QStringLiteral("after.jpg")});
    auto doc = FakeDocument::create(QStringLiteral("http://site/index.html"));
    doc->addLink(QStringLiteral("javascript:nothing()"));
    doc->addLink(QStringLiteral("after.html"));
    return doc;
}

} // namespace

void tst_ImageHarvester::imagesThenLinksInPageOrder()
{
    HarvestRig rig;
    rig.site.addPage("http://site/page1.html", {"p1a.jpg", "http://other/p1b.png"});
    rig.site.addPage("http://site/pop1.html", {"pop/x.jpg", "https://site/pop/secure.jpg"});
    rig.site.addPage("http://site/page2.html#top", {"never.jpg"});
    auto doc = rig.show(FakeDocument::create("http://site/index.html"));
    doc->addImage("pics/a.jpg");
    doc->addImage("http://site/pics/b.gif");
    doc->addImage("");
    doc->addImage("thumbs/t1.jpg");
    doc->addLink("big1.html", "<img src=\"thumbs/t1.jpg\" border=0>");
    doc->addLink("page1.html");
    const ElementId script = doc->addLink("javascript:openIt()");
    doc->addLink("https://site/secure.html");
    doc->addLink("page1.html");
    doc->addLink("javascript:window.external.AddFavorite()");
    doc->addLink("page2.html#top");
    doc->addLink("big1.html");
    rig.site.openWindowOnClick(*doc, script, rig.main.get(), "http://site/pop1.html");

    rig.click();

    QCOMPARE(rig.downloader.sources(),
             QStringList({"http://site/pics/a.jpg", "http://site/pics/b.gif",
                          "http://site/thumbs/t1.jpg", "http://site/p1a.jpg",
                          "http://other/p1b.png", "http://site/pop/x.jpg"}));
    QCOMPARE(rig.navigations, QStringList({"http://site/page1.html"}));
    QCOMPARE(doc->writeLog(), QStringList({"click javascript:openIt()"}));
    QCOMPARE(rig.harvester->ImageLinks(), QStringList({"http://site/big1.html"}));
    QCOMPARE(rig.harvester->VisitedLinks(),
             QStringList({"http://site/page1.html", "https://site/secure.html",
                          "http://site/page2.html#top"}));
    // Capture page, pop-up, and the "#" address given up without loading.
    QCOMPARE(rig.host->reports, QStringList({"capture", "popup", "capture"}));
    QCOMPARE(rig.host->timeOuts, 0);
    QCOMPARE(rig.files(), QStringList({"a.jpg", "b.gif", "p1a.jpg", "p1b.png", "t1.jpg", "x.jpg"}));
    QCOMPARE(rig.downloader.calls[0].pageId, rig.main.get());
    QCOMPARE(rig.captureBrowsers.size(), 1);
    QCOMPARE(rig.downloader.calls[3].pageId, rig.captureBrowsers[0]);
    QVERIFY(rig.downloader.calls[5].pageId != rig.main.get());

    QCOMPARE(rig.host->caption, kSaveImageText);
    QVERIFY(!rig.host->SavingImages);
    QVERIFY(!rig.harvester->isRunning());
    QVERIFY(!rig.harvester->captureWindow());
    QCOMPARE(rig.host->panel2, QString());
    QVERIFY(rig.host->panel2History.contains("Saving http://site/pics/a.jpg"));
    frmPopup* popup = rig.router->lastCapturePopup();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->windowTitle(), QString("Capture Popup Image"));
    QCOMPARE(popup->captureStatus(), kFinishedText);
    QCOMPARE(rig.host->busyTimerStops, 1);
}

void tst_ImageHarvester::framesTwoLevelsDeep_data()
{
    QTest::addColumn<bool>("allRefused");
    QTest::addColumn<QStringList>("saved");
    QTest::newRow("frames") << false << QStringList{"f0.jpg", "f10.jpg", "f11.jpg", "f4.jpg"};
    QTest::newRow("no frame reached") << true << QStringList{"top.jpg"};
}

void tst_ImageHarvester::framesTwoLevelsDeep()
{
    QFETCH(bool, allRefused);
    QFETCH(QStringList, saved);
    HarvestRig rig;
    auto top = rig.show(FakeDocument::create("http://site/frames.html"));
    top->addImage("top.jpg");
    if (allRefused) {
        top->addRefusedFrame("http://other/a.html")->addImage("a.jpg");
        top->addRefusedFrame("http://other/b.html")->addImage("b.jpg");
    } else {
        top->addFrame("http://site/f0.html")->addImage("f0.jpg");
        auto f1 = top->addFrame("http://site/f1.html");
        f1->addImage("f1.jpg"); // has frames: not harvested itself
        f1->addFrame("http://site/f10.html")->addImage("f10.jpg");
        auto f11 = f1->addFrame("http://site/f11.html");
        f11->addImage("f11.jpg");
        f11->addFrame("http://site/f110.html")->addImage("f110.jpg"); // third level
        top->addRefusedFrame("http://other/f2.html")->addImage("f2.jpg");
        auto f3 = top->addFrame("http://site/f3.html");
        f3->addImage("f3.jpg");
        f3->failOn(DomCall::Images);
        top->addFrame("http://site/f4.html")->addImage("f4.jpg");
    }
    rig.click();
    QStringList names = rig.downloader.fileNames();
    QCOMPARE(names, saved);
}

void tst_ImageHarvester::secondRunFetchesNothingNew()
{
    HarvestRig rig;
    rig.site.addPage("http://site/page1.html", {"p1.jpg"});
    rig.site.addPage("http://site/pop.html", {"pop.jpg"});
    rig.site.add("http://site/index.html", [&rig] {
        auto doc = FakeDocument::create("http://site/index.html");
        doc->addImage("a.jpg");
        doc->addImage("t.jpg");
        doc->addLink("big.html", "<img src=t.jpg>");
        doc->addLink("page1.html");
        const ElementId js = doc->addLink("javascript:pop()");
        rig.site.openWindowOnClick(*doc, js, rig.main.get(), "http://site/pop.html");
        return doc;
    });
    rig.show(rig.site.build("http://site/index.html"));
    rig.click();
    const QStringList first = rig.files();
    QCOMPARE(first, QStringList({"a.jpg", "p1.jpg", "pop.jpg", "t.jpg"}));
    const int downloads = rig.downloader.calls.size();
    QCOMPARE(downloads, 4);

    rig.show(rig.site.build("http://site/index.html"));
    rig.click();
    QCOMPARE(rig.downloader.calls.size(), downloads);
    QCOMPARE(rig.files(), first);
    QCOMPARE(rig.navigations, QStringList({"http://site/page1.html"}));
    // The script link is clicked again and its pop-up reports again.
    QCOMPARE(rig.site.windowsRequested, 2);
    QCOMPARE(rig.host->reports.count("popup"), 2);
    QCOMPARE(rig.harvester->ImageLinks(), QStringList({"http://site/big.html"}));
    QCOMPARE(rig.harvester->VisitedLinks(), QStringList({"http://site/page1.html"}));
}

void tst_ImageHarvester::scriptLinksClickedEveryTime()
{
    HarvestRig rig;
    rig.site.addPage("http://site/pop.html", {});
    auto doc = rig.show(FakeDocument::create("http://site/index.html"));
    for (const char* href : {"javascript:pop()", "javascript:pop()", "JavaScript:Pop.External.x()",
                             "javascript:pop()"}) {
        const ElementId id = doc->addLink(href);
        rig.site.openWindowOnClick(*doc, id, rig.main.get(), "http://site/pop.html");
    }
    rig.click();
    QCOMPARE(doc->writeLog(), QStringList({"click javascript:pop()", "click javascript:pop()",
                                           "click javascript:pop()"}));
    QCOMPARE(rig.host->reports, QStringList({"popup", "popup", "popup"}));
    QVERIFY(rig.harvester->VisitedLinks().isEmpty());
}

void tst_ImageHarvester::waitEnds_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<bool>("block");
    QTest::newRow("script link opens nothing") << "javascript:nothing()" << false;
    QTest::newRow("page never completes") << "http://site/silent.html" << false;
    QTest::newRow("pop-up blocked during the run") << "javascript:pop()" << true;
}

void tst_ImageHarvester::waitEnds()
{
    QFETCH(QString, first);
    QFETCH(bool, block);
    const int timeOut = 150;
    HarvestRig rig(timeOut);
    rig.host->block = block;
    rig.site.addPage("http://site/pop.html", {"pop.jpg"});
    rig.site.addPage("http://site/after.html", {"after.jpg"});
    auto doc = rig.show(FakeDocument::create("http://site/index.html"));
    const ElementId id = doc->addLink(first);
    if (first == "javascript:pop()")
        rig.site.openWindowOnClick(*doc, id, rig.main.get(), "http://site/pop.html");
    doc->addLink("after.html");

    QElapsedTimer clock;
    clock.start();
    rig.click();
    QVERIFY2(clock.elapsed() >= timeOut, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.host->timeOuts, 1);
    // The run went on with the next link after the time-out.
    QCOMPARE(rig.files(), QStringList({"after.jpg"}));
    QCOMPARE(rig.router->BlockedPopupCount(), block ? 1 : 0);
    QCOMPARE(rig.host->panel3, block ? QString("1 Pop-up is blocked") : QString());
}

void tst_ImageHarvester::waitSleeps()
{
    HarvestRig rig(600);
    rig.show(waitingPage(rig));
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpu = std::clock();
    rig.click();
    const double cpuMs = double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
    QVERIFY(wall.elapsed() >= 600);
    QVERIFY2(cpuMs < 0.1 * double(wall.elapsed()),
             qPrintable(QString("cpu %1 ms over %2 ms").arg(cpuMs).arg(wall.elapsed())));
}

void tst_ImageHarvester::stopClick_data()
{
    QTest::addColumn<int>("startMs");
    QTest::addColumn<int>("clickMs");
    QTest::addColumn<bool>("stops");
    QTest::newRow("same second") << 0 << 400 << false;
    QTest::newRow("rounds to one second") << 0 << 1400 << false;
    QTest::newRow("rounds to two seconds") << 0 << 1600 << true;
    QTest::newRow("start rounds up") << 500 << 2400 << false;
    QTest::newRow("two seconds") << 500 << 2500 << true;
    QTest::newRow("long after") << 0 << 60000 << true;
}

void tst_ImageHarvester::stopClick()
{
    QFETCH(int, startMs);
    QFETCH(int, clickMs);
    QFETCH(bool, stops);
    HarvestRig rig;
    qint64 now = startMs;
    rig.harvester->setClock([&now] { return now; });
    rig.show(waitingPage(rig));
    QString captionAfterClick;
    bool savingAfterClick = true;
    bool captureShown = true;
    QTimer::singleShot(20, [&] {
        now = clickMs;
        rig.harvester->mnuSaveImage_Click();
        captionAfterClick = rig.host->caption;
        savingAfterClick = rig.host->SavingImages;
        captureShown =
            rig.harvester->captureWindow() && rig.harvester->captureWindow()->isVisible();
        if (!stops)
            rig.host->gbTimeOut = true; // let the ignored click's run go on at once
    });
    rig.click();
    QCOMPARE(captionAfterClick, stops ? kSaveImageText : kSavingImageText);
    QCOMPARE(savingAfterClick, !stops);
    QCOMPARE(captureShown, !stops);
    QCOMPARE(rig.files(), stops ? QStringList() : QStringList({"after.jpg"}));
    QCOMPARE(rig.host->caption, kSaveImageText);
    QVERIFY(!rig.harvester->captureWindow());
}

void tst_ImageHarvester::stopDuringImagesPhase()
{
    HarvestRig rig;
    qint64 now = 0;
    rig.harvester->setClock([&now] { return now; });
    auto doc = rig.show(FakeDocument::create("http://site/index.html"));
    for (const char* src : {"1.jpg", "2.jpg", "3.jpg"})
        doc->addImage(src);
    doc->addLink("http://site/page.html");
    rig.downloader.during = [&](const QString& src) {
        if (src.endsWith("2.jpg")) {
            now = 5000;
            rig.harvester->mnuSaveImage_Click();
        }
    };
    rig.click();
    QCOMPARE(rig.files(), QStringList({"1.jpg", "2.jpg"}));
    QVERIFY(rig.navigations.isEmpty());
    QVERIFY(rig.harvester->VisitedLinks().isEmpty());
}

void tst_ImageHarvester::runEndsWithWindowOrProgram_data()
{
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("window deleted") << true;
    QTest::newRow("program ending") << false;
}

void tst_ImageHarvester::runEndsWithWindowOrProgram()
{
    QFETCH(bool, closeWindow);
    HarvestRig rig(60000);
    rig.show(waitingPage(rig));
    QPointer<frmCapture> capture;
    connect(rig.harvester, &ImageHarvester::runStarted, this,
            [&] { capture = rig.harvester->captureWindow(); });
    QTimer::singleShot(30, [&] {
        if (closeWindow)
            delete rig.host->window();
        else
            rig.host->ending = true;
    });
    QElapsedTimer clock;
    clock.start();
    rig.click();
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY(capture.isNull());
    QCOMPARE(rig.harvester.isNull(), closeWindow);
    QVERIFY(rig.navigations.isEmpty());
    QCOMPARE(rig.host->timeOuts, 0);
    if (!closeWindow) {
        QCOMPARE(rig.host->caption, kSaveImageText);
        QVERIFY(!rig.host->SavingImages);
    }
}

void tst_ImageHarvester::runInPopupLevelWindowReportsToFirst()
{
    HarvestRig first;
    HarvestRig rig(100, first.host.get());
    rig.site.addPage("http://site/page.html", {"page.jpg"});
    rig.site.addPage("http://site/pop.html", {"pop.jpg"});
    auto doc = rig.show(FakeDocument::create("http://site/index.html"));
    doc->addImage("main.jpg");
    doc->addLink("page.html");
    const ElementId js = doc->addLink("javascript:pop()");
    rig.site.openWindowOnClick(*doc, js, rig.main.get(), "http://site/pop.html");
    rig.click();
    // The capture windows report to the first window; this window's waits run out.
    QCOMPARE(first.host->reports, QStringList({"capture", "popup"}));
    QCOMPARE(rig.host->reports, QStringList());
    QCOMPARE(rig.host->timeOuts, 2);
    QCOMPARE(rig.files(), QStringList({"main.jpg"}));
    QCOMPARE(first.files(), QStringList({"page.jpg", "pop.jpg"}));
    QVERIFY(first.host->panel2History.contains("Saving http://site/pop.jpg"));
    QCOMPARE(first.host->busyTimerStops, 1);
}

void tst_ImageHarvester::runWithoutTarget_data()
{
    QTest::addColumn<bool>("browser");
    QTest::newRow("no page completed yet") << false;
    QTest::newRow("browser without document") << true;
}

void tst_ImageHarvester::runWithoutTarget()
{
    QFETCH(bool, browser);
    HarvestRig rig;
    if (browser)
        rig.host->LastCompletedBrowser = rig.main->topFrame();
    rig.host->gbGobackFlag = true;
    rig.click();
    QVERIFY(!rig.host->gbGobackFlag);
    QCOMPARE(rig.host->caption, kSaveImageText);
    QVERIFY(!rig.host->SavingImages);
    QVERIFY(rig.downloader.calls.isEmpty());
}

void tst_ImageHarvester::emptyPage()
{
    HarvestRig rig;
    rig.show(FakeDocument::create("http://site/empty.html"));
    QPointer<frmCapture> capture;
    QString caption;
    bool saving = false;
    connect(rig.harvester, &ImageHarvester::runStarted, this, [&] {
        capture = rig.harvester->captureWindow();
        caption = rig.host->caption;
        saving = rig.host->SavingImages;
    });
    rig.click();
    QVERIFY(saving);
    QCOMPARE(caption, kSavingImageText);
    QCOMPARE(rig.host->caption, kSaveImageText);
    QVERIFY(!rig.host->SavingImages);
    QVERIFY(capture.isNull()); // shown during the run, gone after it
    QCOMPARE(rig.captureBrowsers.size(), 1);
    QVERIFY(rig.downloader.calls.isEmpty());
}

void tst_ImageHarvester::imageNames_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<QString>("file"); // "" when nothing may be written
    QTest::addColumn<bool>("fails");
    QTest::newRow("query name") << "http://site/show.php?id=12&size=big"
                                << "id_12&size_big.jpg" << false;
    QTest::newRow("percent escapes kept") << "http://site/a%20b%2Fc.jpg"
                                          << "a%20b%2Fc.jpg" << false;
    QTest::newRow("empty query") << "http://site/x.php?"
                                 << ".jpg" << false;
    QTest::newRow("directory address") << "http://site/img/"
                                       << "" << false;
    QTest::newRow("dot dot") << "http://site/a/.."
                             << "" << false;
    QTest::newRow("backslashes in the query") << "http://site/x?f=..\\..\\up"
                                              << "" << false;
    QTest::newRow("control character") << "http://site/a%0A?x=\n"
                                       << "" << false;
    QTest::newRow("too long") << "http://site/" + QString(300, 'n') + ".jpg"
                              << "" << false;
    QTest::newRow("refused download (404)") << "http://site/missing.jpg"
                                            << "" << true;
}

void tst_ImageHarvester::imageNames()
{
    QFETCH(QString, src);
    QFETCH(QString, file);
    QFETCH(bool, fails);
    HarvestRig rig;
    if (fails)
        rig.downloader.failing.insert(src);
    auto doc = rig.show(FakeDocument::create("http://site/index.html"));
    doc->addImage(src);
    doc->addImage("http://site/next.jpg");
    rig.click();
    QStringList expected{"next.jpg"};
    if (!file.isEmpty())
        expected << file;
    expected.sort();
    QCOMPARE(rig.files(), expected);
    QCOMPARE(rig.downloader.sources().contains(src), !file.isEmpty() || fails);
    // Nothing lands beside or above the image folder.
    QCOMPARE(QDir(rig.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"Image"}));
}

void tst_ImageHarvester::sameNameKeepsFirst()
{
    HarvestRig rig;
    auto doc = rig.show(FakeDocument::create("http://site/index.html"));
    doc->addImage("a.php?id=1");
    doc->addImage("b.php?id=1");
    rig.click();
    QCOMPARE(rig.files(), QStringList({"id_1.jpg"}));
    QCOMPARE(read(rig.folder + "/id_1.jpg"), QString("http://site/a.php?id=1"));
    QCOMPARE(rig.downloader.calls.size(), 1);
}

QTEST_MAIN(tst_ImageHarvester)
#include "tst_imageharvester.moc"
