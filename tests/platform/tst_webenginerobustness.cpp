// Document-model calls on pages that hang, navigate away, die or lose their browser.

#include "engineerror.h"
#include "enginetesting.h"
#include "fixtureserver.h"
#include "webenginebrowser.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScriptCollection>
#include <memory>
#ifdef Q_OS_UNIX
#include <signal.h>
#endif

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

// Its link keeps the page's own script busy for `ms` (for ever when negative), from 50 ms
// after the click on.
QString busyPage(int ms)
{
    return QStringLiteral("<html><body><a href=\"javascript:void(setTimeout(function () {"
                          " var s = Date.now(); while (%1 < 0 || Date.now() - s < %1) {} }, 50))\">"
                          "busy</a></body></html>")
        .arg(ms);
}

// Loads a busy page and sets it spinning; returns its document, read before the spin.
std::shared_ptr<Document> spinning(WebEngineBrowser& browser, const QString& url)
{
    if (!loadAndWait(browser, url))
        return nullptr;
    auto document = browser.document();
    document->click(document->links().value(0).handle);
    settle(150);
    return document;
}

void killRenderer(WebEngineBrowser& browser)
{
#ifdef Q_OS_UNIX
    const qint64 pid = browser.page()->renderProcessPid();
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
#else
    Q_UNUSED(browser);
#endif
}

// Times a call that must fail; returns its duration, or -1 when it did not throw.
template <typename Call> qint64 failingCall(Call call)
{
    QElapsedTimer clock;
    clock.start();
    try {
        call();
    } catch (const EngineError&) {
        return clock.elapsed();
    }
    return -1;
}

} // namespace

class TestWebEngineRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void hungPageFailsWithinTheTimeLimit();
    void lateAnswerAfterTimeOutIsHarmless();
    void oldDocumentNeverReadsTheNextPage();
    void navigationDuringAWaitFailsCleanly();
    void goneBrowserFails_data();
    void goneBrowserFails();
    void browserDestroyedDuringACall();
    void rendererDeath_data();
    void rendererDeath();
    void pageWithoutTheHelperGetsItOnDemand();
    void stuckRendererMakesWayForTheNextPage_data();
    void stuckRendererMakesWayForTheNextPage();

private:
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return server_.url(path, host).toString();
    }

    FixtureServer server_;
    std::unique_ptr<WebEngineBrowser> browser_;
};

void TestWebEngineRobustness::initTestCase()
{
#ifndef Q_OS_UNIX
    QSKIP("ends renderer processes with POSIX signals");
#endif
    QVERIFY(server_.start());
    server_.addPage("/hang.html", busyPage(-1));
    server_.addPage("/busy800.html", busyPage(800));
    server_.addPage("/busy1500.html", busyPage(1500));
    server_.addPage("/a.html", "<html><body>A <a href='/b.html'>b</a></body></html>");
    server_.addPage("/b.html", "<html><body>B</body></html>");
    server_.setDelay("/b.html", 300);
    server_.addPage("/slowinput.html",
                    "<html><body><input name='f'><script>"
                    "document.addEventListener('input', function () { var s = Date.now();"
                    " while (Date.now() - s < 400) {} });</script></body></html>");
}

void TestWebEngineRobustness::init()
{
    WebEngineBrowser::setCallTimeoutMs(500);
    browser_ = std::make_unique<WebEngineBrowser>();
    showView(*browser_);
}

void TestWebEngineRobustness::cleanup()
{
    browser_.reset();
}

void TestWebEngineRobustness::hungPageFailsWithinTheTimeLimit()
{
    const auto document = spinning(*browser_, url("/hang.html"));
    QVERIFY(document);

    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    const qint64 first = failingCall([&] { document->url(); });
    const int ticksDuringCall = ticks;
    const qint64 second = failingCall([&] { browser_->document(); });

    QVERIFY2(first >= 450 && first < 2000, qPrintable(QString::number(first)));
    QVERIFY2(second >= 450 && second < 2000, qPrintable(QString::number(second)));
    QVERIFY2(ticksDuringCall >= 10, qPrintable(QString::number(ticksDuringCall))); // window lived

    // A renderer left spinning could be handed the next test's page.
    QSignalSpy gone(browser_.get(), &Browser::RenderProcessGone);
    killRenderer(*browser_);
    QVERIFY(gone.wait(5000));
}

void TestWebEngineRobustness::lateAnswerAfterTimeOutIsHarmless()
{
    WebEngineBrowser::setCallTimeoutMs(300);
    const auto document = spinning(*browser_, url("/busy800.html"));
    QVERIFY(document);
    QVERIFY(failingCall([&] { document->url(); }) >= 0);
    settle(800); // the answer to the abandoned call arrives now

    WebEngineBrowser::setCallTimeoutMs(3000);
    QCOMPARE(document->frameCount(), 0);
    QCOMPARE(document->url(), url("/busy800.html"));
    QCOMPARE(document->images().size(), 0);
}

void TestWebEngineRobustness::oldDocumentNeverReadsTheNextPage()
{
    WebEngineBrowser::setCallTimeoutMs(3000);
    QVERIFY(loadAndWait(*browser_, url("/a.html")));
    const auto document = browser_->document();
    CompletionLog log(browser_.get());
    document->click(document->links().value(0).handle);

    int answered = 0;
    QStringList wrong;
    while (log.topCount() == 0) {
        try {
            const QString read = document->url();
            ++answered;
            if (read != url("/a.html"))
                wrong << read;
        } catch (const EngineError&) {
        }
        settle(10);
        QVERIFY(answered < 1000);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
    QVERIFY(answered > 0); // the old page answered while the next one was on its way
    QVERIFY(failingCall([&] { document->url(); }) >= 0);
    QCOMPARE(browser_->document()->url(), url("/b.html"));
}

void TestWebEngineRobustness::navigationDuringAWaitFailsCleanly()
{
    WebEngineBrowser::setCallTimeoutMs(3000);
    QVERIFY(loadAndWait(*browser_, url("/slowinput.html")));
    const auto document = browser_->document();
    const ElementId field = document->elementsByTagName("INPUT").value(0).handle;
    CompletionLog log(browser_.get());
    // Another site: the page is replaced while the call still waits for the busy listener.
    QTimer::singleShot(50, browser_.get(),
                       [&] { browser_->Navigate(url("/b.html", "localhost")); });
    document->setValue(field, "x");
    try {
        document->flush();
    } catch (const EngineError&) {
    }
    QVERIFY(log.waitForTop());
    QCOMPARE(browser_->document()->url(), url("/b.html", "localhost"));
    QVERIFY(failingCall([&] { document->url(); }) >= 0);
}

void TestWebEngineRobustness::goneBrowserFails_data()
{
    QTest::addColumn<bool>("deleteView");
    QTest::newRow("browser deleted") << false;
    QTest::newRow("view deleted") << true;
}

void TestWebEngineRobustness::goneBrowserFails()
{
    QFETCH(bool, deleteView);
    QVERIFY(loadAndWait(*browser_, url("/a.html")));
    const auto document = browser_->document();
    const FrameRef top = browser_->topFrame();
    const ElementId link = document->links().value(0).handle;

    if (deleteView) {
        delete browser_->widget();
        QVERIFY(!browser_->widget());
        browser_->Navigate(url("/b.html")); // ignored, not a crash
        browser_->GoBack();
        QVERIFY(failingCall([&] { browser_->document(); }) >= 0);
    } else {
        browser_.reset();
        QVERIFY(top.isNull());
    }
    QVERIFY(failingCall([&] { document->url(); }) >= 0);
    QVERIFY(failingCall([&] { document->click(link); }) >= 0);
    QVERIFY(failingCall([&] { document->setValue(link, "x"); }) >= 0);
    QVERIFY(failingCall([&] { top.document(); }) >= 0);
}

void TestWebEngineRobustness::browserDestroyedDuringACall()
{
    WebEngineBrowser::setCallTimeoutMs(5000);
    const auto document = spinning(*browser_, url("/busy1500.html"));
    QVERIFY(document);
    QTimer::singleShot(200, [&] { browser_.reset(); });
    const qint64 elapsed = failingCall([&] { document->markup(); });
    QVERIFY2(elapsed >= 0 && elapsed < 1000, qPrintable(QString::number(elapsed)));
    QVERIFY(!browser_);
    settle(1500); // the orphaned renderer stops spinning before the next test
}

void TestWebEngineRobustness::rendererDeath_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("renderer killed") << "kill";
    QTest::newRow("renderer killed during a call") << "kill during call";
    QTest::newRow("chrome://crash") << "crash url";
}

void TestWebEngineRobustness::rendererDeath()
{
    QFETCH(QString, how);
    WebEngineBrowser::setCallTimeoutMs(5000);
    QSignalSpy gone(browser_.get(), &Browser::RenderProcessGone);
    std::shared_ptr<Document> document;
    if (how == "kill during call") {
        document = spinning(*browser_, url("/busy1500.html"));
    } else {
        QVERIFY(loadAndWait(*browser_, url("/a.html")));
        document = browser_->document();
    }
    QVERIFY(document);

    if (how == "kill during call") {
        QTimer::singleShot(200, browser_.get(), [&] { killRenderer(*browser_); });
        const qint64 elapsed = failingCall([&] { document->url(); });
        QVERIFY2(elapsed >= 0 && elapsed < 2000, qPrintable(QString::number(elapsed)));
    } else if (how == "kill") {
        killRenderer(*browser_);
    } else {
        browser_->Navigate("chrome://crash");
    }
    QVERIFY(gone.wait(5000) || gone.count() == 1);
    QCOMPARE(gone.count(), 1);

    // Calls fail at once rather than waiting for a renderer that is not there.
    const qint64 elapsed = failingCall([&] { document->url(); });
    QVERIFY2(elapsed >= 0 && elapsed < 200, qPrintable(QString::number(elapsed)));
    QVERIFY(failingCall([&] { browser_->document(); }) >= 0);

    QVERIFY(loadAndWait(*browser_, url("/a.html")));
    QCOMPARE(browser_->document()->url(), url("/a.html"));
    QCOMPARE(browser_->document()->links().size(), 1);
}

void TestWebEngineRobustness::pageWithoutTheHelperGetsItOnDemand()
{
    // What the engine does now and then to a page after a renderer crash.
    WebEngineBrowser::setCallTimeoutMs(3000);
    browser_->page()->scripts().clear();
    QVERIFY(loadAndWait(*browser_, url("/a.html")));
    const auto document = browser_->document();
    QCOMPARE(document->url(), url("/a.html"));
    const QList<DomLink> links = document->links();
    QCOMPARE(links.size(), 1);
    CompletionLog log(browser_.get());
    document->click(links[0].handle);
    QVERIFY(log.waitForTop());
    QCOMPARE(log.entries.constLast().url, url("/b.html"));
    QCOMPARE(browser_->document()->url(), url("/b.html"));
}

void TestWebEngineRobustness::stuckRendererMakesWayForTheNextPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ended");
    QTest::newRow("stuck, Navigate") << "/hang.html"
                                     << "navigate" << true;
    QTest::newRow("stuck, Navigate2") << "/hang.html"
                                      << "navigate2" << true;
    QTest::newRow("stuck, GoBack") << "/hang.html"
                                   << "back" << true;
    // Busy past the call's limit, but answering again within the check.
    QTest::newRow("slow once, Navigate") << "/busy800.html"
                                         << "navigate" << false;
}

void TestWebEngineRobustness::stuckRendererMakesWayForTheNextPage()
{
    QFETCH(QString, page);
    QFETCH(QString, how);
    QFETCH(bool, ended);
    const QString next = url("/a.html");
    if (how == "back")
        QVERIFY(loadAndWait(*browser_, next));
    const auto document = spinning(*browser_, url(page));
    QVERIFY(document);
    QVERIFY(failingCall([&] { document->url(); }) >= 0);
    const qint64 pid = browser_->page()->renderProcessPid();
    QSignalSpy gone(browser_.get(), &Browser::RenderProcessGone);
    CompletionLog log(browser_.get());

    QElapsedTimer clock;
    clock.start();
    if (how == "back")
        browser_->GoBack();
    else if (how == "navigate2")
        browser_->Navigate2(next);
    else
        browser_->Navigate(next);
    QVERIFY(log.waitForTop(1, 5000));
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
    QCOMPARE(log.entries.constLast().url, next);
    QCOMPARE(gone.count(), ended ? 1 : 0);
    QCOMPARE(browser_->page()->renderProcessPid() == pid, !ended);
    QCOMPARE(browser_->document()->url(), next);
    QCOMPARE(browser_->document()->links().size(), 1);
}

QTEST_MAIN(TestWebEngineRobustness)
#include "tst_webenginerobustness.moc"
