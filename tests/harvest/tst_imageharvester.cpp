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

        rig.click();

        // Every image of the page first, then the links in page order.
        QCOMPARE(rig.downloader.sources,
                 QStringList({"http://site/pics/a.jpg", "http://site/pics/b.gif",
                              "http://site/thumbs/t1.jpg", "http://site/p1a.jpg",
                              "http://other/p1b.png", "http://site/pop/x.jpg"}));
        QCOMPARE(rig.files(),
                 QStringList({"a.jpg", "b.gif", "p1a.jpg", "p1b.png", "t1.jpg", "x.jpg"}));
        QCOMPARE(rig.navigations, QStringList({"http://site/page1.html"}));
        QCOMPARE(doc->writeLog(), QStringList({"click javascript:openIt()"}));
        QCOMPARE(rig.harvester->ImageLinks(), QStringList({"http://site/big1.html"}));
        QCOMPARE(rig.harvester->VisitedLinks(),
                 QStringList({"http://site/page1.html", "https://site/secure.html",
                              "http://site/page2.html#top"}));
        // The "#" address is given up without loading; nothing waited for the time-out.
        QCOMPARE(rig.timeOuts, 0);
        QCOMPARE(rig.host.caption, u"S A V E    I M A G E"_s);
        QVERIFY(!rig.host.state.SavingImages);
        QVERIFY(!rig.harvester->captureWindow());
        QCOMPARE(rig.router->lastCapturePopup()->captureStatus(), u"Finished"_s);

        // Visited links stay across runs; script links are clicked again.
        rig.click();
        QCOMPARE(rig.downloader.sources.size(), 6);
        QCOMPARE(rig.navigations.size(), 1);
        QCOMPARE(doc->writeLog().size(), 2);
        QCOMPARE(rig.timeOuts, 0);
    }
    void frames_data()
    {
        QTest::addColumn<bool>("allRefused");
        QTest::addColumn<QStringList>("saved");
        QTest::newRow("two levels deep")
            << false << QStringList{"f0.jpg", "f10.jpg", "f11.jpg", "f4.jpg"};
        QTest::newRow("no frame reached") << true << QStringList{"top.jpg"};
    }
    void frames()
    {
        QFETCH(bool, allRefused);
        QFETCH(QStringList, saved);
        HarvestRig rig;
        auto top = rig.show("http://site/frames.html");
        top->addImage("top.jpg"); // a frameset is not harvested itself
        top->addRefusedFrame("http://other/r.html")->addImage("r.jpg");
        if (!allRefused) {
            top->addFrame("http://site/f0.html")->addImage("f0.jpg");
            auto f1 = top->addFrame("http://site/f1.html");
            f1->addImage("f1.jpg");
            f1->addFrame("http://site/f10.html")->addImage("f10.jpg");
            auto f11 = f1->addFrame("http://site/f11.html");
            f11->addImage("f11.jpg");
            f11->addFrame("http://site/f110.html")->addImage("f110.jpg"); // third level
            auto f3 = top->addFrame("http://site/f3.html");
            f3->addImage("f3.jpg");
            f3->failOn(DomCall::Images);
            top->addFrame("http://site/f4.html")->addImage("f4.jpg");
        }
        rig.click();
        QCOMPARE(rig.files(), saved);
    }
    void stopClick_data()
    {
        QTest::addColumn<int>("startMs");
        QTest::addColumn<int>("clickMs");
        QTest::addColumn<bool>("stops");
        QTest::newRow("rounds to one second") << 0 << 1400 << false;
        QTest::newRow("rounds to two seconds") << 0 << 1600 << true;
        QTest::newRow("start rounds up") << 500 << 2400 << false;
    }
    void stopClick()
    {
        QFETCH(int, startMs);
        QFETCH(int, clickMs);
        QFETCH(bool, stops);
        HarvestRig rig;
        qint64 now = startMs;
        rig.harvester->setClock([&now] { return now; });
        rig.showLinks({"javascript:nothing()", "after"});
        QString caption;
        QTimer::singleShot(20, [&] {
            now = clickMs;
            rig.harvester->mnuSaveImage_Click();
            caption = rig.host.caption;
            rig.host.state.gbTimeOut = true; // an ignored click's run goes on at once
        });
        rig.click();
        QCOMPARE(caption, stops ? u"S A V E    I M A G E"_s : u"S A V I N G    I M A G E ....."_s);
        QCOMPARE(rig.files(), stops ? QStringList() : QStringList({"after.jpg"}));
        QCOMPARE(rig.navigations.size(), stops ? 0 : 1);
    }
    void capturedPageTakenBeforeMovingOn_data()
    {
        // Once the first page is captured: nothing, a stop click, or the second page's
        // navigation fails.
        QTest::addColumn<QString>("then");
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
        rig.downloader.onDownload = [&](const QString& src) { step("save ", src); };
        if (then == "stop") {
            rig.onLoaded = [&](const QString&) {
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
        }
        rig.click();
        QCOMPARE(got, steps);
        QCOMPARE(rig.timeOuts, 0); // an error page completes like any other
        QCOMPARE(rig.host.caption, u"S A V E    I M A G E"_s);
        QVERIFY(!rig.harvester->captureWindow());
    }
    void waitEndsByTimeOut_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("block");
        QTest::newRow("script link opens nothing") << "javascript:nothing()" << false;
        QTest::newRow("page never completes") << "http://site/silent.html" << false;
        QTest::newRow("pop-up blocked during the run") << "javascript:pop()" << true;
    }
    void waitEndsByTimeOut()
    {
        QFETCH(QString, first);
        QFETCH(bool, block);
        HarvestRig rig(150);
        rig.host.block = block;
        rig.addPage("http://site/pop.html", {"pop.jpg"});
        auto doc = rig.showLinks({first, "after"});
        if (first == "javascript:pop()")
            rig.popupOnClick(*doc, doc->links().value(0).handle, "http://site/pop.html");
        rig.click();
        QCOMPARE(rig.timeOuts, 1);
        QCOMPARE(rig.files(), QStringList({"after.jpg"})); // the run went on after the time-out
        QCOMPARE(rig.host.panelText(3), block ? QString("1 Pop-up is blocked") : QString());
    }
    void capturesReportToFirstWindow_data()
    {
        QTest::addColumn<bool>("inLevelWindow");
        QTest::addColumn<QStringList>("ownFiles");   // in the running window's folder
        QTest::addColumn<QStringList>("firstFiles"); // in the first window's folder
        QTest::addColumn<int>("timeOuts");
        // Each image as it downloads: R when the running window's panel 2 reads "Saving " + its
        // address, F when the first window's does.
        QTest::addColumn<QStringList>("shown");
        const QStringList all{"a.jpg", "p.jpg", "x.jpg"};
        QTest::newRow("first window")
            << false << all << all << 0 << QStringList{"a.jpg RF", "p.jpg RF", "x.jpg RF"};
        // The capture windows report to the first window, so each wait ends by its time-out.
        QTest::newRow("pop-up level window")
            << true << QStringList{"a.jpg"} << QStringList{"p.jpg", "x.jpg"} << 2
            << QStringList{"a.jpg R-", "p.jpg -F", "x.jpg -F"};
    }
    void capturesReportToFirstWindow()
    {
        QFETCH(bool, inLevelWindow);
        QFETCH(QStringList, ownFiles);
        QFETCH(QStringList, firstFiles);
        QFETCH(int, timeOuts);
        QFETCH(QStringList, shown);
        HarvestRig rig(150, inLevelWindow);
        rig.addPage("http://site/page1.html", {"p.jpg"});
        rig.addPage("http://site/pop.html", {"x.jpg"});
        auto doc = rig.show("http://site/index.html");
        doc->addImage("a.jpg");
        doc->addLink("page1.html");
        rig.popupOnClick(*doc, doc->addLink("javascript:pop()"), "http://site/pop.html");
        QStringList seen;
        rig.downloader.onDownload = [&](const QString& src) {
            const auto shows = [&](const RigWindow& w) {
                return w.panelText(2) == "Saving " + src;
            };
            seen << src.section('/', -1) + ' ' + (shows(rig.host) ? 'R' : '-') +
                        (shows(rig.first) ? 'F' : '-');
        };
        rig.click();
        QCOMPARE(seen, shown);
        QCOMPARE(rig.files(), ownFiles);
        QCOMPARE(rig.files(rig.first), firstFiles);
        QCOMPARE(rig.timeOuts, timeOuts);
        QCOMPARE(rig.host.panelText(2), QString()); // the run's end clears its own panel
    }
    void scriptLinkLeavesThePage()
    {
        HarvestRig rig(150);
        // The second script link is on a page that is gone.
        auto doc = rig.showLinks({"javascript:go()", "javascript:more()", "after"});
        doc->onClick(doc->links().value(0).handle,
                     [&rig] { rig.main.load(FakeDocument::create("http://site/other.html")); });
        rig.click();
        QCOMPARE(doc->writeLog(), QStringList{"click javascript:go()"});
        QCOMPARE(rig.files(), QStringList{"after.jpg"});
        QCOMPARE(rig.host.caption, u"S A V E    I M A G E"_s);
    }
    void progressBar_data()
    {
        QTest::addColumn<bool>("frames");
        QTest::addColumn<QStringList>("seen"); // the bar as each image downloads
        // Found: the three images, then the three links; the followed page's image is not counted.
        // A followed page's images are saved just before the capture window moves on or the
        // run ends.
        QTest::newRow("page") << false << QStringList{"a.jpg 0/3", "b.jpg 2/3", "p.jpg 6/6"};
        // Each frame's images and links are counted when that frame is read.
        QTest::newRow("frames") << true << QStringList{"f0.jpg 0/1", "f1.jpg 2/3"};
    }
    void progressBar()
    {
        QFETCH(bool, frames);
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
        rig.addPage("http://site/page1.html", {"p.jpg"});
        auto doc = rig.show("http://site/index.html");
        if (frames) {
            doc->addImage("top.jpg"); // a frameset is not harvested
            auto f0 = doc->addFrame("http://site/f0.html");
            f0->addImage("f0.jpg");
            f0->addLink("https://site/secure.html");
            doc->addFrame("http://site/f1.html")->addImage("f1.jpg");
        } else {
            for (const char* src : {"a.jpg", "", "b.jpg"})
                doc->addImage(src);
            for (const char* href :
                 {"page1.html", "javascript:window.external.AddFavorite()", "ftp://site/x"})
                doc->addLink(href);
        }
        QVERIFY(bar.isHidden());
        rig.click();
        QCOMPARE(samples, seen);
        QVERIFY(bar.isHidden());
        QCOMPARE(bar.value(), bar.maximum());
    }
    void runBudget_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<qint64>("bytes"); // a saved file holds its 17-byte address
        QTest::addColumn<QStringList>("saved");
        const qint64 plenty = 1 << 20;
        QTest::newRow("within budget")
            << 10 << plenty << QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"};
        QTest::newRow("files, capture pages counted")
            << 3 << plenty << QStringList{"a.jpg", "b.jpg", "c.jpg"};
        QTest::newRow("bytes") << 10 << qint64(34) << QStringList{"a.jpg", "b.jpg"};
    }
    void runBudget()
    {
        QFETCH(int, files);
        QFETCH(qint64, bytes);
        QFETCH(QStringList, saved);
        HarvestRig rig;
        ScriptedPrompt& prompt = rig.host.prompts;
        prompt.setDefaultAnswer(PromptAnswer::Ok);
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
        // Told once, after the run has ended.
        QCOMPARE(prompt.texts().size(), saved.size() < 5 ? 1 : 0);
        QCOMPARE(rig.host.caption, QString("S A V E    I M A G E"));
        QVERIFY(!rig.host.state.SavingImages);
    }
    void stopAbortsTheDownload()
    {
        // Holds each download until it is aborted (or 5 s pass).
        struct StallingDownloader : RecordingDownloader
        {
            bool download(const QString&, const QString& path, Browser*) override
            {
                abortedMeanwhile = QTest::qWaitFor([&] { return aborted.contains(path); }, 5000);
                return !abortedMeanwhile;
            }
            void abort(const QString& path) override { aborted << path; }
            QStringList aborted;
            bool abortedMeanwhile = false;
        } downloader;
        HarvestRig rig;
        rig.services.downloader = &downloader;
        auto* harvester = new ImageHarvester(&rig.host, rig.services, rig.host.window());
        qint64 now = 0;
        harvester->setClock([&now] { return now; });
        rig.show("http://site/index.html")->addImage("big.jpg");
        QTimer::singleShot(20, [&] {
            now = 5000;
            harvester->mnuSaveImage_Click();
        });
        harvester->mnuSaveImage_Click();
        QCOMPARE(downloader.aborted, QStringList{rig.dir.filePath("big.jpg")});
        QVERIFY(downloader.abortedMeanwhile); // not after the download gave up by itself
        QCOMPARE(rig.host.caption, QString("S A V E    I M A G E"));
    }
    void popupSavesItsRunsFirstPage_data()
    {
        // When the pop-up loads a second page: right after its first, or during a later run.
        QTest::addColumn<bool>("laterRun");
        QTest::newRow("same run") << false;
        QTest::newRow("later run") << true;
    }
    void popupSavesItsRunsFirstPage()
    {
        QFETCH(bool, laterRun);
        HarvestRig rig(150);
        rig.addPage("http://site/pop.html", {"pop.jpg"});
        rig.addPage("http://site/next.html", {"next.jpg"});
        auto doc = rig.show("http://site/index.html");
        QPointer<FakeBrowser> popup;
        doc->onClick(doc->addLink("javascript:pop()"), [&] {
            if (popup)
                return; // the later run's click
            popup = qobject_cast<FakeBrowser*>(rig.main.requestWindow());
            popup->load(rig.pages["http://site/pop.html"]());
            if (!laterRun)
                popup->load(rig.pages["http://site/next.html"]());
        });
        rig.click();
        QVERIFY(popup);
        if (laterRun) {
            // The later run waits on a page that never completes meanwhile.
            doc->addLink("http://site/silent.html");
            QTimer::singleShot(20, [&] { popup->load(rig.pages["http://site/next.html"]()); });
            rig.click();
        }
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
    void windowClosedMidRunKeepsCapturedPage()
    {
        HarvestRig rig;
        rig.showLinks({"one", "http://site/silent.html"});
        // The window goes while the run waits, right after the capture window took a page.
        rig.onLoaded = [&](const QString& url) {
            if (url.endsWith("one.html"))
                delete std::exchange(rig.harvester, nullptr);
        };
        auto* harvester = rig.harvester;
        harvester->mnuSaveImage_Click();
        QVERIFY(QTest::qWaitFor([&] { return !rig.files().isEmpty(); }, 2000));
        QCOMPARE(rig.files(), QStringList{"one.jpg"});
    }
    void oneDeadlinePerLink()
    {
        HarvestRig rig;
        rig.downloader.needsPage = true; // the last page's files are written before moving on
        rig.downloader.onDownload = [](const QString&) { QTest::qWait(150); };
        rig.showLinks({"one", "two"});
        int leftAtSecond = -1; // as the second page arrives
        const auto two = rig.pages["http://site/two.html"];
        rig.pages["http://site/two.html"] = [&, two] {
            leftAtSecond = rig.harvester->Timer3()->remainingTime();
            return two();
        };
        rig.click();
        // The link's deadline ran while the first page's file was written.
        QVERIFY2(leftAtSecond >= 0 && leftAtSecond <= 5000 - 150,
                 qPrintable(QString::number(leftAtSecond)));
        QCOMPARE(rig.files(), QStringList({"one.jpg", "two.jpg"}));
    }
    void severalWindows_data()
    {
        QTest::addColumn<QString>("first"); // the first link; one.html loads last
        QTest::addColumn<bool>("stop");     // a stop click once a page has loaded
        QTest::addColumn<QStringList>("downloads");
        QTest::addColumn<int>("loads");
        // Saved in the order of the links, whichever page loads first.
        QTest::newRow("link order")
            << "one" << false << QStringList{"s.jpg", "one.jpg", "two.jpg", "three.jpg"} << 3;
        QTest::newRow("a page never completes")
            << "http://site/silent.html" << false << QStringList{"s.jpg", "two.jpg", "three.jpg"}
            << 3;
        // The pages captured so far keep their images; no window takes another link.
        QTest::newRow("stopped while windows load")
            << "one" << true << QStringList{"s.jpg", "two.jpg"} << 2;
    }
    void severalWindows()
    {
        QFETCH(QString, first);
        QFETCH(bool, stop);
        QFETCH(QStringList, downloads);
        QFETCH(int, loads);
        HarvestRig rig(150);
        rig.harvester->setJobs(2);
        qint64 now = 0;
        rig.harvester->setClock([&now] { return now; });
        rig.showLinks({first, "two", "three"});
        rig.addPage("http://site/one.html", {"s.jpg", "one.jpg"});
        rig.addPage("http://site/two.html", {"s.jpg", "two.jpg"});
        rig.browsers.onCreate = [&](FakeBrowser* b) {
            b->onNavigate = [&rig, b = QPointer<FakeBrowser>(b)](const QString& url) {
                rig.navigations << url;
                QTimer::singleShot(url.endsWith("one.html") ? 50 : 0, b.data(),
                                   [&rig, b, url] { rig.loadLater(b, url); });
            };
        };
        rig.onLoaded = [&](const QString&) {
            if (stop && std::exchange(now, 5000) == 0)
                QTimer::singleShot(0, [&] { rig.harvester->mnuSaveImage_Click(); });
        };
        rig.click();
        QStringList got;
        for (const QString& src : std::as_const(rig.downloader.sources))
            got << src.section('/', -1);
        QCOMPARE(got, downloads);
        QCOMPARE(rig.navigations.size(), loads);
        QCOMPARE(rig.host.caption, QStringLiteral("S A V E    I M A G E"));
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<frmCapture*>(w));
    }
};

QTEST_MAIN(tst_ImageHarvester)
#include "tst_imageharvester.moc"
