// Pages that hang, renderers that die, browsers that go away, image bytes read back from the
// engine's cache, and form submissions as the engine sends them (from where, once).

#include "endprocess.h"
#include "enginepump.h"
#include "enginetesting.h"
#include "fixtureserver.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <memory>

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

// Controls the engine leaves out, and a page listener that adds a field after the helper saw
// the list.
const QString kFormPage = QStringLiteral(R"(<html><body>
<form id="f" method="post" action="/sent" target="_self"><input name="t" value="a b">
<input name="off" disabled><input type="checkbox" name="c1" value="y" checked>
<input type="checkbox" name="c2"><input type="radio" name="r" value="r1">
<input type="radio" name="r" value="r2" checked><select name="m" multiple><option selected>p
</option><option>q</option><option selected>s</option></select><fieldset disabled>
<input name="in"></fieldset><input type="file" name="up"><input type="submit" name="first"
value="1"><input type="submit" name="second" value="2"><button type="button" name="b">b</button>
</form><script>document.addEventListener('formdata', e => e.formData.append('late', 'x'));
</script></body></html>)");

const QString kSent = QStringLiteral("t=a b;c1=y;r=r2;m=p;m=s;up=;");

} // namespace

class TestWebEngineRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        // Its link keeps the page's script busy for ever from 50 ms on.
        server_.addPage("/hang.html", "<a href='javascript:void(setTimeout(() => { for (;;) {} },"
                                      " 50))'>busy</a>");
        server_.addPage("/a.html", "<html><body>A <a href='/b.html'>b</a></body></html>");
        server_.addPage("/slow.html", "<html><body><img src='/stalled.gif'></body></html>");
        server_.stall("/stalled.gif");
        server_.addPage("/form.html", kFormPage);
        server_.addPage("/framed.html", "<iframe></iframe><iframe src='/form.html'></iframe>");
        server_.addPage("/sent", "sent");
        WebEngineBrowser::setPingTimeoutMs(300);
    }
    void init()
    {
        WebEngineBrowser::setCallTimeoutMs(500);
        browser_ = std::make_unique<WebEngineBrowser>();
        showView(*browser_);
    }

    // A page whose script spins: left (after a call ran out of time or not), its renderer is
    // ended, unlike one whose page merely loads slowly; gone during a call, the call and the
    // ones after it fail at once and unsent.
    void pageStopsAnswering_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("ended"); // renderers gone once the next page is in
        QTest::newRow("hung, asked first, then left") << "asked" << 1;
        QTest::newRow("hung, then left") << "" << 1;
        QTest::newRow("loading slowly, then left") << "slow" << 0;
        QTest::newRow("browser deleted during a call") << "deleted" << 0;
        QTest::newRow("renderer killed during a call") << "killed" << 1;
    }
    void pageStopsAnswering()
    {
        QFETCH(QString, how);
        QFETCH(int, ended);
        std::shared_ptr<Document> document;
        ElementId link = 0;
        if (how == "slow") {
            browser_->Navigate(url("/slow.html"));
            QVERIFY(server_.waitForRequest("/stalled.gif", 5000));
        } else {
            QVERIFY(loadAndWait(*browser_, url("/hang.html")));
            document = browser_->document();
            link = document->links().value(0).handle;
            document->click(link); // the page starts spinning
            settle(150);
        }
        const qint64 pid = browser_->page()->renderProcessPid();
        const FrameRef top = browser_->topFrame();
        QSignalSpy gone(browser_.get(), &Browser::RenderProcessGone);
        if (how == "asked")
            QCOMPARE(failureOf([&] { document->url(); }), kNoAnswerInTime);
        if (how == "deleted" || how == "killed") {
            WebEngineBrowser::setCallTimeoutMs(5000);
            QTimer::singleShot(200, this, [&] {
                if (how == "deleted")
                    browser_.reset();
                else
                    endProcess(pid);
            });
            const QString failure = failureOf([&] { document->markup(); });
            QVERIFY2(!failure.isEmpty() && failure != kNoAnswerInTime, qPrintable(failure));
            if (browser_)
                QVERIFY(waitUntil([&] { return gone.count() == 1; }));
            const qint64 trips = browser_ ? browser_->roundTrips() : 0;
            for (const QString& failure :
                 {failureOf([&] { document->url(); }), failureOf([&] { document->click(link); }),
                  failureOf([&] { top.document(); })})
                QVERIFY2(!failure.isEmpty() && failure != kNoAnswerInTime, qPrintable(failure));
            QCOMPARE(browser_ ? browser_->roundTrips() : 0, trips);
            QCOMPARE(top.isNull(), !browser_);
            if (!browser_) {
                endProcess(pid); // an orphan still spinning could get the next test's page
                return;
            }
        }

        CompletionLog log(browser_.get());
        browser_->Navigate(url("/a.html"));
        QVERIFY(log.waitForTop(1, 3000));
        QCOMPARE(log.entries.last(), "/ " + url("/a.html"));
        // On a fresh renderer: the stuck one would never have committed it.
        QCOMPARE(gone.count(), ended);
        if (ended)
            QVERIFY(browser_->page()->renderProcessPid() != pid);
        // The waits' guard against a lost wake-up of the engine's pump is armed (a spare one
        // is harmless): this fails should a later Qt rename or drop the pump's scheduler.
        QVERIFY(EnginePump::nudge());
        QCOMPARE(browser_->document()->links().size(), 1);
    }
    // Only bytes the page could read itself come back, within the size limit.
    void cachedBytesNeedNoServer()
    {
        WebEngineBrowser::setCallTimeoutMs(3000);
        QByteArray large = FixtureResponse::gif("/cache/large.gif");
        for (int i = 0; i < 300000; ++i)             // several chunks, every byte value
            large += char((i * 7 + i / 256) & 0xff); // decoders stop at the trailer
        server_.addResource("/cache/large.gif", large, "image/gif");
        server_.addImage("/cache/foreign.gif");
        server_.addImage("/cache/missing.gif");
        server_.setStatus("/cache/missing.gif", 404);
        const QStringList srcs{url("/cache/large.gif"), url("/cache/foreign.gif", "localhost"),
                               url("/cache/missing.gif")};
        server_.addPage("/cache/page.html", "<img src='" + srcs.join("'><img src='") + "'>");
        QVERIFY(loadAndWait(*browser_, url("/cache/page.html")));

        WebEngineBrowser::setMaxCachedBytes(large.size());
        QCOMPARE(browser_->cachedBytes(srcs[0]).value_or(QByteArray()), large);
        QVERIFY(!browser_->cachedBytes(srcs[1])); // cross-origin without CORS
        QVERIFY(!browser_->cachedBytes(srcs[2]));
        WebEngineBrowser::setMaxCachedBytes(large.size() - 1);
        QVERIFY(!browser_->cachedBytes(srcs[0]));
        for (const char* path : {"/cache/large.gif", "/cache/foreign.gif", "/cache/missing.gif"})
            QCOMPARE(server_.requestCount(path), 1);
    }
    // What a completion handler reads first: from the page's own report on a prefetching page
    // (the images as they were at the load event, no round trip), asked for otherwise. (A
    // prefetching frameset is the harvest engine test's framed page.)
    void completionHandlerReads_data()
    {
        QTest::addColumn<bool>("prefetch");
        QTest::newRow("prefetching") << true;
        QTest::newRow("not prefetching") << false;
    }
    void completionHandlerReads()
    {
        QFETCH(bool, prefetch);
        WebEngineBrowser::setCallTimeoutMs(3000);
        WebEngineBrowser::setMaxCachedBytes(50 * 1024 * 1024);
        browser_->setPrefetchImages(prefetch);
        const QString prefix = QString("/complete/%1/").arg(prefetch);
        // Elements named after globals a helper could lean on change nothing.
        QString markup = "<div id='brackenlyEagerImages'></div><div id='brackenlyHelper'></div>";
        QStringList srcs;
        for (int i = 0; i < 5; ++i) {
            server_.addImage(prefix + QString::number(i) + ".gif");
            srcs << url(prefix + QString::number(i) + ".gif");
            markup += "<img src='" + srcs.last() + "'>";
        }
        // An image added right after the load event is not part of the completed document.
        server_.addImage(prefix + "late.gif");
        markup += "<script>addEventListener('load', function () {"
                  " setTimeout(function () { var i = new Image(); i.src = '" +
                  prefix + "late.gif'; document.body.appendChild(i); }, 0); });</script>";
        server_.addPage(prefix + "page.html", markup);

        // What the handler read: frame count, image addresses, bytes, round trips.
        int frameCount = -1;
        QStringList images;
        QHash<QString, QByteArray> bytes;
        qint64 trips = -1;
        QString failure;
        std::shared_ptr<Document> document;
        const auto handler =
            connect(browser_.get(), &Browser::DocumentComplete, this, [&](const FrameRef& frame) {
                if (!frame.isTop())
                    return;
                const qint64 before = browser_->roundTrips();
                failure = failureOf([&] {
                    document = frame.document();
                    frameCount = document->frameCount();
                    for (const DomImage& image : document->images())
                        images << image.src;
                    bytes = browser_->cachedBytes(images + images, 1 << 20); // asked twice
                });
                trips = browser_->roundTrips() - before;
            });
        QVERIFY(loadAndWait(*browser_, url(prefix + "page.html")));
        disconnect(handler);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        QCOMPARE(frameCount, 0);
        // Asked, the page may have added the late one already.
        QCOMPARE(prefetch ? images : images.mid(0, srcs.size()), srcs);
        QCOMPARE(bytes.size(), images.size());
        for (int i = 0; i < srcs.size(); ++i)
            QCOMPARE(bytes.value(srcs[i]),
                     FixtureResponse::gif(prefix + QString::number(i) + ".gif"));
        // Asked again: only what fits the limit on the bytes taken together (one size).
        const qint64 before = browser_->roundTrips();
        const qint64 oneGif = FixtureResponse::gif(prefix + "0.gif").size();
        QCOMPARE(browser_->cachedBytes(srcs, oneGif * 3).size(), 3);
        QCOMPARE(browser_->roundTrips() - before, 2); // start and take
        // After the handler the same document is asked: the late image is there now.
        QVERIFY(waitUntil([&] { return document->images().size() == 6; }));
        if (prefetch)
            QCOMPARE(trips, 0);
        else
            QVERIFY(trips >= 5); // open, frames, images, start and take

        // The document of the handler is gone with the next page, though the new one's
        // identity came in a report too.
        QVERIFY(loadAndWait(*browser_, url("/a.html")));
        QVERIFY(!failureOf([&] { document->images(); }).isEmpty());
    }

    void reportsWhatTheEngineSends_data()
    {
        QTest::addColumn<QString>("script"); // in the page's world; f is the form (by its id)
        QTest::addColumn<QString>("fields"); // the frame path, then "name=value;" per field
        QTest::newRow("second button") << "f.second.click()" << kSent + "second=2;";
        QTest::newRow("cancelled, then submit()")
            << "f.onsubmit = e => e.preventDefault(); f.first.click(); f.submit()" << kSent;
        QTest::newRow("forged event, then submit()")
            << "f.dispatchEvent(new FormDataEvent('formdata', {formData: new FormData()}));"
               "f.submit()"
            << kSent;
        QTest::newRow("in a frame") << "frames[1].f.first.click()"
                                    << "1" + kSent + "first=1;";
    }
    void reportsWhatTheEngineSends()
    {
        QFETCH(QString, script);
        QFETCH(QString, fields);
        const QString page = script.startsWith("frames") ? "/framed.html" : "/form.html";
        server_.clearRequests();
        QVERIFY(loadAndWait(*browser_, url(page)));
        QSignalSpy spy(browser_.get(), &Browser::FormSubmitted);
        browser_->page()->runJavaScript(script);
        QVERIFY(server_.waitForRequest("/sent", 10000));
        QVERIFY(waitUntil([&] { return !spy.isEmpty(); }));
        settle(200); // a second report would be here by now
        QCOMPARE(spy.size(), 1);

        const auto submission = spy.first().first().value<FormSubmission>();
        QString got;
        for (int index : submission.frame.path())
            got += QString::number(index);
        for (const auto& [name, value] : submission.fields)
            got += name + '=' + value + ';';
        QCOMPARE(got, fields);
        QCOMPARE(submission.frame.browser(), browser_.get());
        QCOMPARE(submission.url, url("/form.html"));
        QCOMPARE(submission.action, url("/sent"));
        QCOMPARE(submission.target, QStringLiteral("_self"));
    }

private:
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return server_.url(path, host).toString();
    }
    FixtureServer server_;
    std::unique_ptr<WebEngineBrowser> browser_;
};

QTEST_MAIN(TestWebEngineRobustness)
#include "tst_webenginerobustness.moc"
