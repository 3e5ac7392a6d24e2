#include "frmcapture.h"
#include "harvestrig.h"
#include "runprogress.h"
#include "scriptedprompt.h"

#include <QProgressBar>
#include <QTest>

using namespace brackenly;
using namespace Qt::StringLiterals;

// Image-saving runs and pop-up routing on the engine double.
class tst_ImageHarvester : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scanOrderAndSecondRun()
    {
        HarvestRig rig;
        rig.addPage("http://site/page1.html", {"p1a.jpg", "http://other/p1b.png"});
        rig.addPage("http://site/pop1.html", {"pop/x.jpg", "https://site/pop/secure.jpg"});
        rig.addPage("http://site/page2.html#top", {"never.jpg"});
        auto doc = rig.show("http://site/index.html");
        for (const char* src : {"pics/a.jpg", "http://site/pics/b.gif", "", "thumbs/t1.jpg"})
            doc->addImage(src);
        doc->addLink("big1.html", "<img src=\"thumbs/t1.jpg\" border=0>");
        doc->addLink("page1.html");
        rig.popupOnClick(*doc, doc->addLink("javascript:openIt()"), "http://site/pop1.html");
        for (const char* href :
             {"https://site/secure.html", "page1.html", "javascript:window.external.AddFavorite()",
              "page2.html#top", "big1.html"})
            doc->addLink(href);
        QStringList unshown; // downloaded while panel 2 did not read "Saving <src>"
        rig.downloader.onDownload = [&](const QString& src) {
            if (rig.host.panelText(2) != "Saving " + src)
                unshown << src;
        };
        rig.click();

        // Every image of the page first, then the links in page order.
        QCOMPARE(rig.downloader.sources,
                 QStringList({"http://site/pics/a.jpg", "http://site/pics/b.gif",
                              "http://site/thumbs/t1.jpg", "http://site/p1a.jpg",
                              "http://other/p1b.png", "http://site/pop/x.jpg"}));
        QCOMPARE(rig.files(),
                 QStringList({"a.jpg", "b.gif", "p1a.jpg", "p1b.png", "t1.jpg", "x.jpg"}));
        // Not the image's own link (big1.html), nor the "#" address, given up without a wait.
        QCOMPARE(rig.navigations, QStringList({"http://site/page1.html"}));
        QCOMPARE(rig.timeOuts, 0);
        QCOMPARE(doc->writeLog(), QStringList({"click javascript:openIt()"}));
        QCOMPARE(rig.host.caption, u"S A V E    I M A G E"_s);
        QVERIFY(!rig.harvester->captureWindow());
        QCOMPARE(rig.router->lastCapturePopup()->captureStatus(), u"Finished"_s);
        QCOMPARE(unshown, QStringList());

        // Visited links stay across runs; script links are clicked again.
        rig.click();
        QCOMPARE(rig.downloader.sources.size(), 6);
        QCOMPARE(rig.navigations.size(), 1);
        QCOMPARE(doc->writeLog().size(), 2);
        QCOMPARE(rig.timeOuts, 0);
    }
    void modernRunsFollowSecureAddresses()
    {
        HarvestRig rig;
        rig.host.modern = true;
        rig.addPage("https://site/secure.html", {"s.jpg"});
        rig.addPage("http://site/pop.html", {"https://site/p.jpg", "ftp://site/f.jpg"});
        auto doc = rig.show("https://site/index.html");
        doc->addLink("https://site/secure.html");
        rig.popupOnClick(*doc, doc->addLink("javascript:openIt()"), "http://site/pop.html");
        rig.click();
        QCOMPARE(rig.navigations, QStringList{"https://site/secure.html"});
        QCOMPARE(rig.files(), QStringList({"p.jpg", "s.jpg"}));
    }
    void progressAndFrames_data()
    {
        QTest::addColumn<bool>("reached"); // frames two levels deep, or none reached
        // The bar as each image downloads: a document's images are counted when it is read.
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("frames two levels deep")
            << true << QStringList{"f0.jpg 0/1", "f10.jpg 2/3", "f11.jpg 3/4", "f4.jpg 4/5"};
        QTest::newRow("no frame reached") << false << QStringList{"top.jpg 0/1"};
    }
    void progressAndFrames()
    {
        QFETCH(bool, reached);
        QFETCH(QStringList, seen);
        HarvestRig rig;
        QProgressBar bar(rig.host.window());
        ShowRunProgress(rig.harvester, &bar);
        QStringList samples;
        rig.downloader.onDownload = [&](const QString& src) {
            samples << src.section('/', -1) + ' ' +
                           (bar.isHidden() ? u"hidden"_s
                                           : u"%1/%2"_s.arg(bar.value()).arg(bar.maximum()));
        };
        auto doc = rig.show("http://site/index.html");
        doc->addImage("top.jpg"); // a frameset is not harvested itself
        doc->addRefusedFrame("http://other/r.html")->addImage("r.jpg");
        if (reached) {
            auto f0 = doc->addFrame("http://site/f0.html");
            f0->addImage("f0.jpg");
            f0->addLink("https://site/secure.html");
            auto f1 = doc->addFrame("http://site/f1.html");
            f1->addImage("f1.jpg");
            f1->addFrame("http://site/f10.html")->addImage("f10.jpg");
            auto f11 = f1->addFrame("http://site/f11.html");
            f11->addImage("f11.jpg");
            f11->addFrame("http://site/f110.html")->addImage("f110.jpg"); // third level
            auto f3 = doc->addFrame("http://site/f3.html");
            f3->addImage("f3.jpg");
            f3->failOn(DomCall::Images);
            doc->addFrame("http://site/f4.html")->addImage("f4.jpg");
        }
        QVERIFY(bar.isHidden());
        rig.click();
        QCOMPARE(samples, seen);
        QVERIFY(bar.isHidden());
    }
    void stopClick_data()
    {
        QTest::addColumn<int>("clickMs"); // after the start
        QTest::addColumn<bool>("stops");
        QTest::newRow("rounds to one second") << 1400 << false;
        QTest::newRow("rounds to two seconds") << 1600 << true;
    }
    void stopClick()
    {
        QFETCH(int, clickMs);
        QFETCH(bool, stops);
        HarvestRig rig;
        qint64 now = 0;
        rig.harvester->setClock([&now] { return now; });
        rig.showLinks({"after"})->addImage("big.jpg");
        bool letGo = false; // each download waits until it is aborted or let go
        rig.downloader.onDownload = [&](const QString&) {
            QVERIFY(QTest::qWaitFor([&] { return letGo || !rig.downloader.aborted.isEmpty(); }));
        };
        QString caption;
        QTimer::singleShot(20, [&] {
            now = clickMs;
            rig.harvester->mnuSaveImage_Click();
            caption = rig.host.caption;
            letGo = true; // an ignored click's download goes on
        });
        rig.click();
        QCOMPARE(caption, stops ? u"S A V E    I M A G E"_s : u"S A V I N G    I M A G E ....."_s);
        // A stop aborts the download under way, not once it gave up.
        QCOMPARE(rig.downloader.aborted,
                 stops ? QStringList{rig.dir.filePath("big.jpg")} : QStringList());
        QCOMPARE(rig.files(), stops ? QStringList() : QStringList({"after.jpg", "big.jpg"}));
        QCOMPARE(rig.navigations.size(), stops ? 0 : 1);
    }
    void capturedPageTakenBeforeMovingOn_data()
    {
        QTest::addColumn<QString>("then");   // once the first page is captured
        QTest::addColumn<bool>("needsPage"); // the downloader does not hold all the bytes
        // Bytes taken and files written, each @ the capture window's navigations at the time:
        // a page's bytes are taken before the window leaves it, its files written after unless
        // they still need the page.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("run goes on")
            << "" << false
            << QStringList{"take one.jpg@1", "save one.jpg@2", "take two.jpg@2", "save two.jpg@2"};
        QTest::newRow("page still needed")
            << "" << true
            << QStringList{"take one.jpg@1", "save one.jpg@1", "take two.jpg@2", "save two.jpg@2"};
        QTest::newRow("stopped meanwhile")
            << "stop" << false << QStringList{"take one.jpg@1", "save one.jpg@1"};
        QTest::newRow("next page fails to load")
            << "fail" << false << QStringList{"take one.jpg@1", "save one.jpg@2"};
        // One deadline per link: writing the last page's file used it up; the next is not loaded.
        QTest::newRow("slow save")
            << "slow" << true << QStringList{"take one.jpg@1", "save one.jpg@1"};
        QTest::newRow("window closed")
            << "close" << false << QStringList{"take one.jpg@1", "save one.jpg@1"};
    }
    void capturedPageTakenBeforeMovingOn()
    {
        QFETCH(QString, then);
        QFETCH(bool, needsPage);
        QFETCH(QStringList, steps);
        HarvestRig rig(150);
        rig.downloader.needsPage = needsPage;
        qint64 now = 0;
        rig.harvester->setClock([&now] { return now; });
        rig.showLinks({"one", "two"});
        QStringList got;
        const auto step = [&](const char* what, const QString& src) {
            got << what + src.section('/', -1) + '@' + QString::number(rig.navigations.size());
        };
        rig.downloader.onPrepare = [&](const QStringList& srcs) {
            for (const QString& src : srcs)
                step("take ", src);
        };
        rig.downloader.onDownload = [&](const QString& src) {
            step("save ", src);
            if (then == "slow")
                QTest::qWait(300); // twice the capture time-out
        };
        if (then == "stop") {
            rig.onLoaded = [&](const QString&, FakeBrowser*) {
                rig.onLoaded = nullptr;
                QTimer::singleShot(0, [&] {
                    now = 5000;
                    rig.harvester->mnuSaveImage_Click();
                });
            };
        } else if (then == "fail") {
            rig.pages["http://site/two.html"] = [] {
                return FakeDocument::errorPage("http://site/two.html");
            };
        } else if (then == "close") {
            rig.onLoaded = [&](const QString&, FakeBrowser*) {
                delete std::exchange(rig.harvester, nullptr);
            };
        }
        rig.click();
        QTRY_COMPARE(got, steps); // a closed window's capture saves from the event loop
        QCOMPARE(rig.timeOuts, then == "slow" ? 1 : 0); // an error page completes like any other
    }
    void waitEndsByTimeOut_data()
    {
        QTest::addColumn<QStringList>("links"); // before "after"
        QTest::addColumn<bool>("block");
        QTest::newRow("script link opens nothing") << QStringList{"javascript:nothing()"} << false;
        QTest::newRow("page never completes") << QStringList{"http://site/silent.html"} << false;
        QTest::newRow("pop-up blocked during the run") << QStringList{"javascript:pop()"} << true;
        // The second script link is on a page that is gone: neither clicked nor waited for.
        QTest::newRow("script link leaves the page")
            << QStringList{"javascript:go()", "javascript:more()"} << false;
    }
    void waitEndsByTimeOut()
    {
        QFETCH(QStringList, links);
        QFETCH(bool, block);
        HarvestRig rig(150);
        rig.host.block = block;
        rig.addPage("http://site/pop.html", {"pop.jpg"});
        auto doc = rig.showLinks(links + QStringList{"after"});
        const ElementId first = doc->links().value(0).handle;
        if (links[0] == "javascript:pop()")
            rig.popupOnClick(*doc, first, "http://site/pop.html");
        if (links[0] == "javascript:go()")
            doc->onClick(first, [&] { rig.main.load(FakeDocument::create("http://o/x.html")); });
        rig.click();
        QCOMPARE(rig.timeOuts, 1);
        QCOMPARE(rig.files(), QStringList({"after.jpg"})); // the run went on after the time-out
        QCOMPARE(rig.host.panelText(3), block ? QString("1 Pop-up is blocked") : QString());
        QCOMPARE(rig.host.caption, u"S A V E    I M A G E"_s);
        QCOMPARE(doc->writeLog(), links[0].startsWith("javascript:")
                                      ? QStringList{"click " + links[0]}
                                      : QStringList());
    }
    // In a pop-up level window: the capture windows report to the first window (its panel, its
    // folder), so each wait ends by its time-out. (The first window's run is scanOrder's.)
    void runInPopupLevelWindow()
    {
        HarvestRig rig(150, true);
        rig.addPage("http://site/page1.html", {"p.jpg"});
        rig.addPage("http://site/pop.html", {"x.jpg"});
        auto doc = rig.show("http://site/index.html");
        doc->addImage("a.jpg");
        doc->addLink("page1.html");
        rig.popupOnClick(*doc, doc->addLink("javascript:pop()"), "http://site/pop.html");
        QStringList seen; // each image as it downloads: R(unning) and F(irst) window show it
        rig.downloader.onDownload = [&](const QString& src) {
            const auto shows = [&](const RigWindow& w) {
                return w.panelText(2) == "Saving " + src;
            };
            seen << src.section('/', -1) + ' ' + (shows(rig.host) ? 'R' : '-') +
                        (shows(rig.first) ? 'F' : '-');
        };
        rig.click();
        QCOMPARE(seen, (QStringList{"a.jpg R-", "p.jpg -F", "x.jpg -F"}));
        QCOMPARE(rig.files(), QStringList{"a.jpg"});
        QCOMPARE(rig.files(rig.first), (QStringList{"p.jpg", "x.jpg"}));
        QCOMPARE(rig.timeOuts, 2);
        QCOMPARE(rig.host.panelText(2), QString()); // the run's end clears its own panel
    }
    void runBudget_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<qint64>("bytes"); // a saved file holds its 17-byte address
        QTest::addColumn<QStringList>("saved");
        // Within budget, nothing is told: every other run test fails on an unscripted question.
        QTest::newRow("files, capture pages counted")
            << 3 << qint64(1 << 20) << QStringList{"a.jpg", "b.jpg", "c.jpg"};
        QTest::newRow("bytes") << 10 << qint64(34) << QStringList{"a.jpg", "b.jpg"};
    }
    void runBudget()
    {
        QFETCH(int, files);
        QFETCH(qint64, bytes);
        QFETCH(QStringList, saved);
        HarvestRig rig;
        rig.host.prompts.setDefaultAnswer(PromptAnswer::Ok);
        Services services = rig.services;
        services.runFileBudget = files;
        services.runByteBudget = bytes;
        auto* harvester = new ImageHarvester(&rig.host, services, rig.host.window());
        auto doc = rig.showLinks({"one", "two"});
        rig.addPage("http://site/one.html", {"c.jpg", "d.jpg"});
        rig.addPage("http://site/two.html", {"e.jpg"});
        doc->addImage("a.jpg");
        doc->addImage("b.jpg");
        harvester->mnuSaveImage_Click();
        QCOMPARE(rig.files(), saved);
        QCOMPARE(rig.host.prompts.texts().size(), 1); // once, after the run has ended
        QCOMPARE(rig.host.caption, QString("S A V E    I M A G E"));
    }
    // A capture pop-up that navigates itself on writes nothing more than its first page.
    void popupSavesItsFirstPageOnly()
    {
        HarvestRig rig(150);
        rig.addPage("http://site/pop.html", {"pop.jpg"});
        rig.addPage("http://site/next.html", {"next.jpg"});
        auto doc = rig.show("http://site/index.html");
        doc->onClick(doc->addLink("javascript:pop()"), [&] {
            auto* popup = qobject_cast<FakeBrowser*>(rig.main.requestWindow());
            QVERIFY(popup);
            popup->load(rig.pages["http://site/pop.html"]());
            popup->load(rig.pages["http://site/next.html"]());
        });
        rig.click();
        QCOMPARE(rig.files(), QStringList{"pop.jpg"});
    }
    // Outside a run a page's pop-up opens a pop-up level window (blocking, and capture pop-ups
    // during a run, are tst_frmBrowser's and the run tests' above).
    void unrequestedPopupsAreCapped()
    {
        HarvestRig rig;
        auto* level = new FakeBrowser;
        rig.host.levelBrowser = level;
        for (int i = 0; i < 25; ++i)
            rig.main.requestWindow(false);
        QCOMPARE(rig.host.levelWindows, 20);
        QCOMPARE(rig.host.panelText(3), QString("5 Pop-up is blocked"));
        QCOMPARE(rig.main.requestWindow(true), level); // a click still opens one
        delete level;                                  // the windows closed: room again
        rig.host.levelBrowser = new FakeBrowser(rig.host.window());
        QVERIFY(rig.main.requestWindow(false));
    }
    void severalWindows_data()
    {
        QTest::addColumn<QString>("first"); // the first link; one.html loads last
        QTest::addColumn<QString>("twist"); // what else happens: see the rows
        QTest::addColumn<QStringList>("downloads");
        const auto row = [](const char* name, const char* first, const char* twist,
                            const QStringList& downloads) {
            QTest::newRow(name) << first << twist << downloads;
        };
        // Saved in the order of the links, whichever page loads first.
        row("link order", "one", "", {"s.jpg", "one.jpg", "two.jpg", "three.jpg"});
        row("a page never completes", "http://site/silent.html", "",
            {"s.jpg", "two.jpg", "three.jpg"});
        // A reload, a refresh or a script's next page is not read again, as one window would not.
        row("a waiting page loads again", "one", "reload",
            {"s.jpg", "one.jpg", "two.jpg", "three.jpg"});
        // The pages other windows hold are not tried against a refusing folder.
        row("the folder refuses a file", "one", "refusal", {"s.jpg"});
        // One page's scroll runs in the other's pause, and does not use up that walk's time.
        row("a scroll inside another", "one", "scroll",
            {"s.jpg", "late1", "late2", "late3", "feed", "three.jpg"});
    }
    void severalWindows()
    {
        QFETCH(QString, first);
        QFETCH(QString, twist);
        QFETCH(QStringList, downloads);
        HarvestRig rig(twist == "scroll" ? 5000 : 150); // a walk takes up to 2 s
        rig.harvester->setJobs(2);
        rig.showLinks({first, "two", "three"});
        rig.addPage("http://site/one.html", {"s.jpg", "one.jpg"});
        rig.addPage("http://site/two.html", {"s.jpg", "two.jpg"});
        rig.loadDelayMs["http://site/one.html"] = 50;
        if (twist == "scroll") { // the feed is longer than the time allowed
            rig.host.modern = true;
            rig.addPage("http://site/one.html", {"s.jpg"}, {"late1", "late2", "late3"});
            rig.addPage("http://site/two.html", {}, QStringList(100, "feed"));
            rig.loadDelayMs["http://site/two.html"] = 100;
        }
        rig.onLoaded = [&](const QString& url, FakeBrowser* b) {
            if (twist != "reload" || !url.endsWith("two.html"))
                return;
            twist.clear();
            rig.addPage(url, {"again.jpg"});
            rig.loadLater(b, url);
        };
        rig.downloader.onDownload = [&](const QString&) {
            if (twist == "refusal")
                rig.harvester->folderRefused(rig.host.folder, u"the disk is full"_s);
        };
        rig.host.prompts.setDefaultAnswer(PromptAnswer::Ok);
        rig.click();
        QStringList got;
        for (const QString& src : std::as_const(rig.downloader.sources))
            got << src.section('/', -1);
        QCOMPARE(got, downloads);
        QCOMPARE(rig.navigations.size(), 3);
        QCOMPARE(rig.host.caption, QStringLiteral("S A V E    I M A G E"));
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<frmCapture*>(w));
    }
};

QTEST_MAIN(tst_ImageHarvester)
#include "tst_imageharvester.moc"
