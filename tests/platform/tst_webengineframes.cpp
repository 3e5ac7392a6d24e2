// Page completion (DocumentComplete) and frame documents on the real engine.

#include "engineerror.h"
#include "enginetesting.h"
#include "fixtureserver.h"
#include "helperscript.h"
#include "webenginebrowser.h"

#include <QTest>
#include <memory>

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

QString page(const QString& body)
{
    return QStringLiteral("<html><body>") + body + QStringLiteral("</body></html>");
}

QStringList describe(const QList<Completion>& entries)
{
    QStringList out;
    for (const Completion& entry : entries)
        out << pathText(entry.path) + " " + entry.url;
    return out;
}

int indexOf(const QList<Completion>& entries, const QString& path)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (pathText(entries[i].path) == path)
            return i;
    }
    return -1;
}

const int kLateMs = 300;

} // namespace

class TestWebEngineFrames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void framesetCompletesFramesFirst();
    void completionsGiveTheirFramesDocuments();
    void framePathsReachNestedDocuments();
    void crossOriginFrameRefusesItsDocument();
    void pagesCannotFakeOrSuppressCompletions_data();
    void pagesCannotFakeOrSuppressCompletions();
    void pagesWithoutTheHelperStillComplete_data();
    void pagesWithoutTheHelperStillComplete();
    void replacedDocumentsFail();

private:
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return server_.url(path, host).toString();
    }

    FixtureServer server_;
    std::unique_ptr<WebEngineBrowser> browser_;
    std::unique_ptr<CompletionLog> log_;
};

void TestWebEngineFrames::initTestCase()
{
    QVERIFY(server_.start());
    server_.addPage("/fs/top.html", "<html><frameset cols='50%,50%'><frame src='left.html'>"
                                    "<frame src='right.html'></frameset></html>");
    server_.addPage("/fs/left.html", page("LEFT <a href='next.html'>next</a>"));
    server_.addPage("/fs/next.html", page("NEXT"));
    server_.addPage("/fs/right.html", "<html><frameset rows='50%,50%'><frame src='a.html'>"
                                      "<frame src='b.html'></frameset></html>");
    server_.addPage("/fs/a.html", page("FRAME-A"));
    server_.addPage("/fs/b.html", page("FRAME-B <img src='/slow.gif'>"));
    server_.addImage("/slow.gif");
    server_.setDelay("/slow.gif", 150); // the deepest frame finishes last
    server_.addPage("/xo/top.html", page(QStringLiteral("<iframe src='%1'></iframe>"
                                                        "<iframe src='same.html'></iframe>")
                                             .arg(url("/xo/inner.html", "localhost"))));
    server_.addPage("/xo/inner.html", page("INNER"));
    server_.addPage("/xo/same.html", page("SAME"));
    server_.addPage("/plain.html", page("PLAIN"));
    server_.addImage("/spoof/late.gif");
    server_.setDelay("/spoof/late.gif", kLateMs);
    WebEngineBrowser::setCallTimeoutMs(3000);
}

void TestWebEngineFrames::init()
{
    browser_ = std::make_unique<WebEngineBrowser>();
    showView(*browser_);
    log_ = std::make_unique<CompletionLog>(browser_.get());
}

void TestWebEngineFrames::cleanup()
{
    log_.reset();
    browser_.reset();
}

void TestWebEngineFrames::framesetCompletesFramesFirst()
{
    browser_->Navigate(url("/fs/top.html"));
    QVERIFY(log_->waitForTop());
    settle(300); // nothing may follow

    const QList<Completion>& entries = log_->entries;
    QStringList got = describe(entries);
    QStringList sorted = got;
    sorted.sort();
    QCOMPARE(sorted, QStringList({"/ " + url("/fs/top.html"), "/0 " + url("/fs/left.html"),
                                  "/1 " + url("/fs/right.html"), "/1/0 " + url("/fs/a.html"),
                                  "/1/1 " + url("/fs/b.html")}));
    QCOMPARE(indexOf(entries, "/"), entries.size() - 1);
    QVERIFY2(indexOf(entries, "/1/0") < indexOf(entries, "/1"), qPrintable(got.join(", ")));
    QVERIFY2(indexOf(entries, "/1/1") < indexOf(entries, "/1"), qPrintable(got.join(", ")));
    for (const Completion& entry : entries)
        QCOMPARE(entry.frame.browser(), browser_.get());
}

void TestWebEngineFrames::completionsGiveTheirFramesDocuments()
{
    browser_->Navigate(url("/fs/top.html"));
    QVERIFY(log_->waitForTop());
    const QHash<QString, QString> markers{{"/0", "LEFT"}, {"/1/0", "FRAME-A"}, {"/1/1", "FRAME-B"}};
    for (const Completion& entry : std::as_const(log_->entries)) {
        const auto document = entry.frame.document();
        QCOMPARE(document->url(), entry.url);
        const QString marker = markers.value(pathText(entry.path));
        if (!marker.isEmpty())
            QVERIFY(document->markup().contains(marker));
    }
}

void TestWebEngineFrames::framePathsReachNestedDocuments()
{
    browser_->Navigate(url("/fs/top.html"));
    QVERIFY(log_->waitForTop());
    const auto top = browser_->document();
    QCOMPARE(top->frameCount(), 2);
    const auto right = top->frame(1);
    QCOMPARE(right->url(), url("/fs/right.html"));
    QCOMPARE(right->frameCount(), 2);
    QCOMPARE(right->frame(0)->url(), url("/fs/a.html"));
    QCOMPARE(browser_->documentAt({1, 1})->url(), url("/fs/b.html"));
    QCOMPARE(browser_->documentAt({1, 1})->images().value(0).src, url("/slow.gif"));
    QCOMPARE(top->frame(0)->frameCount(), 0);

    QVERIFY_THROWS_EXCEPTION(EngineError, top->frame(2));
    QVERIFY_THROWS_EXCEPTION(EngineError, top->frame(-1));
    QVERIFY_THROWS_EXCEPTION(EngineError, browser_->documentAt({0, 0}));
    QVERIFY_THROWS_EXCEPTION(EngineError, FrameRef(browser_.get(), {3}).document());
}

void TestWebEngineFrames::crossOriginFrameRefusesItsDocument()
{
    browser_->Navigate(url("/xo/top.html"));
    QVERIFY(log_->waitForTop());
    settle(200);
    QStringList got = describe(log_->entries);
    QCOMPARE(got.size(), 3);
    QVERIFY2(got.contains("/0 " + url("/xo/inner.html", "localhost")), qPrintable(got.join(", ")));
    QCOMPARE(got.last(), "/ " + url("/xo/top.html"));

    const auto top = browser_->document();
    QCOMPARE(top->frameCount(), 2);
    QVERIFY_THROWS_EXCEPTION(EngineError, top->frame(0));
    QVERIFY_THROWS_EXCEPTION(EngineError, browser_->documentAt({0}));
    QVERIFY_THROWS_EXCEPTION(EngineError,
                             log_->entries[indexOf(log_->entries, "/0")].frame.document());
    // The refusal harms nothing else.
    QVERIFY(top->frame(1)->markup().contains("SAME"));
    QCOMPARE(top->url(), url("/xo/top.html"));
}

void TestWebEngineFrames::pagesCannotFakeOrSuppressCompletions_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("withFrame");

    const QString forged =
        HelperScript::prefix() + "%1:{\"k\":\"load\",\"p\":[],\"u\":\"http://spoof/\"}";
    QTest::newRow("look-alike console texts")
        << QStringLiteral("function spoof() {"
                          " console.log('%1'); console.log('%2'); console.info('%3');"
                          " console.warn('%4'); console.log('%5'); }"
                          "spoof(); setTimeout(spoof, 50);")
               .arg(forged.arg(QString()), forged.arg(QString(32, u'0')),
                    forged.arg(QString(32, u'f')), forged.arg("x"), HelperScript::prefix())
        << true;
    QTest::newRow("fake load events")
        << QStringLiteral("function fake() { window.dispatchEvent(new Event('load'));"
                          " document.dispatchEvent(new Event('load')); }"
                          "fake(); setTimeout(fake, 0);"
                          "window.addEventListener('load', function () { setTimeout(fake, 20); });")
        << true;
    QTest::newRow("stopped load listeners")
        << QStringLiteral("function stop(e) { e.stopImmediatePropagation(); e.stopPropagation(); }"
                          "window.addEventListener('load', stop, true);"
                          "document.addEventListener('load', stop, true);"
                          "window.onload = stop;")
        << true;
    QTest::newRow("replaced addEventListener and console")
        << QStringLiteral("EventTarget.prototype.addEventListener = function () {};"
                          "window.addEventListener = function () {};"
                          "console.log = function () {}; window.console = {};")
        << true;
    QTest::newRow("document rewritten while loading")
        << QStringLiteral("setTimeout(function () { document.open();"
                          " document.write('<p>rewritten</p>'); document.close(); }, 0);")
        << false;
}

void TestWebEngineFrames::pagesCannotFakeOrSuppressCompletions()
{
    QFETCH(QString, script);
    QFETCH(bool, withFrame);
    const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
    // Every page holds a late picture: a completion before it arrived would be a fake.
    const QString tag = "<script>" + script + "</script><img src='/spoof/late.gif'>";
    const QString top = "/spoof/" + name + ".html";
    const QString frame = "/spoof/" + name + "-frame.html";
    server_.addPage(frame, page(tag + "frame"));
    const QString content = withFrame ? QString("<iframe src='" + frame + "'></iframe>") : "top";
    server_.addPage(top, page(tag + content));

    log_.reset(); // its clock starts now
    log_ = std::make_unique<CompletionLog>(browser_.get());
    browser_->Navigate(url(top));
    QVERIFY(log_->waitForTop());
    settle(400); // the late fakes have run

    for (const Completion& entry : std::as_const(log_->entries))
        QVERIFY2(entry.atMs >= kLateMs, qPrintable(pathText(entry.path)));
    QStringList expected;
    if (withFrame)
        expected << "/0 " + url(frame);
    expected << "/ " + url(top);
    QCOMPARE(describe(log_->entries), expected);
}

void TestWebEngineFrames::pagesWithoutTheHelperStillComplete_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expectedUrl");
    QTest::addColumn<bool>("readable");
    QTest::newRow("about:blank") << "about:blank"
                                 << "about:blank" << true;
    QTest::newRow("refused connection") << "http://127.0.0.1:1/nothing.html"
                                        << "http://127.0.0.1:1/nothing.html" << false;
}

void TestWebEngineFrames::pagesWithoutTheHelperStillComplete()
{
    QFETCH(QString, address);
    QFETCH(QString, expectedUrl);
    QFETCH(bool, readable);
    QVERIFY(loadAndWait(*browser_, url("/plain.html")));
    log_->clear();

    browser_->Navigate(address);
    QVERIFY(log_->waitForTop());
    settle(300);
    QCOMPARE(describe(log_->entries), QStringList{"/ " + expectedUrl});
    if (readable) {
        QCOMPARE(browser_->document()->url(), expectedUrl);
        QCOMPARE(browser_->document()->images().size(), 0);
    } else {
        QVERIFY_THROWS_EXCEPTION(EngineError, browser_->document());
    }
}

void TestWebEngineFrames::replacedDocumentsFail()
{
    browser_->Navigate(url("/fs/top.html"));
    QVERIFY(log_->waitForTop());
    const auto top = browser_->document();
    const auto left = browser_->documentAt({0});
    const auto right = top->frame(1);
    log_->clear();

    // The left frame follows its link: only that frame completes, only its document is new.
    left->click(left->links().value(0).handle);
    QVERIFY(waitUntil([&] { return !log_->entries.isEmpty(); }));
    settle(200);
    QCOMPARE(describe(log_->entries), QStringList{"/0 " + url("/fs/next.html")});
    QVERIFY_THROWS_EXCEPTION(EngineError, left->url());
    QVERIFY_THROWS_EXCEPTION(EngineError, left->markup());
    QCOMPARE(browser_->documentAt({0})->url(), url("/fs/next.html"));
    QCOMPARE(top->url(), url("/fs/top.html"));
    QCOMPARE(right->url(), url("/fs/right.html"));

    // A new page replaces the top document and everything reached through it.
    QVERIFY(loadAndWait(*browser_, url("/fs/top.html")));
    QVERIFY_THROWS_EXCEPTION(EngineError, top->url());
    QVERIFY_THROWS_EXCEPTION(EngineError, top->frame(0));
    QVERIFY_THROWS_EXCEPTION(EngineError, right->frameCount());
    QCOMPARE(browser_->document()->url(), url("/fs/top.html"));
}

QTEST_MAIN(TestWebEngineFrames)
#include "tst_webengineframes.moc"
