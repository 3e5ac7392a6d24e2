// The browser control's own behaviour: dialogs, new windows, navigation events, addresses.

#include "engineerror.h"
#include "enginetesting.h"
#include "fixtureserver.h"
#include "sharedprofile.h"
#include "webenginebrowser.h"
#include "webenginebrowserfactory.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWidget>
#include <memory>

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

QString page(const QString& body)
{
    return QStringLiteral("<html><body>") + body + QStringLiteral("</body></html>");
}

QString outValue(Browser& browser)
{
    for (const DomElement& input : browser.document()->elementsByTagName("INPUT")) {
        if (input.name == QLatin1String("out"))
            return input.value;
    }
    return QStringLiteral("<no out field>");
}

// Closes every modal dialog that shows up, counting them.
class DialogWatch : public QObject
{
public:
    DialogWatch()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                ++count;
                dialog->close();
            }
        });
        timer_.start(20);
    }
    int count = 0;

private:
    QTimer timer_;
};

} // namespace

class TestWebEngineBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void silentKeepsEngineDialogsAway_data();
    void silentKeepsEngineDialogsAway();
    void newWindowRequests_data();
    void newWindowRequests();
    void beforeNavigateForTopAndFrames_data();
    void beforeNavigateForTopAndFrames();
    void backAvailabilityChanges();
    void navigateReadsAddressesLikeAnAddressBox_data();
    void navigateReadsAddressesLikeAnAddressBox();
    void browsersShareOneProfile();
    void factoryBrowsersLiveWithTheirParent();

private:
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return server_.url(path, host).toString();
    }

    FixtureServer server_;
    std::unique_ptr<WebEngineBrowser> browser_;
};

void TestWebEngineBrowser::initTestCase()
{
    QVERIFY(server_.start());
    server_.addPage("/dialogs.html",
                    page("<input name='out'><script>window.addEventListener('load', function () {"
                         " var a = alert('a'); var c = confirm('c'); var p = prompt('p', 'd');"
                         " document.getElementsByName('out')[0].value ="
                         " [String(a), String(c), String(p)].join(','); });</script>"));
    server_.addPage("/auth.html", page("DENIED"));
    server_.setStatus("/auth.html", 401);
    server_.addHeader("/auth.html", "WWW-Authenticate", "Basic realm=\"fixture\"");
    server_.addPage("/opener.html",
                    page("<input name='out'><a href=\"javascript:void(document.getElementsByName("
                         "'out')[0].value = window.open('/popup.html') ? 'opened' : 'blocked')\">"
                         "open</a>"));
    server_.addPage("/popup.html", page("POPUP"));
    server_.addPage("/fs/top.html", "<html><frameset cols='50%,50%'><frame src='left.html'>"
                                    "<frame src='right.html'></frameset></html>");
    server_.addPage("/fs/left.html", page("LEFT"));
    server_.addPage("/fs/right.html", "<html><frameset rows='50%,50%'><frame src='a.html'>"
                                      "<frame src='b.html'></frameset></html>");
    server_.addPage("/fs/a.html", page("A"));
    server_.addPage("/fs/b.html", page("B"));
    server_.addRedirect("/redirect", "/plain.html");
    server_.addPage("/plain.html", page("PLAIN"));
    server_.addPage("/p1.html", page("1"));
    server_.addPage("/p2.html", page("2"));
    server_.addPage("/p3.html", page("3"));
    server_.addPage("/typed.html", page("TYPED"));
    server_.addPage("/setcookie.html", page("SET"));
    server_.addHeader("/setcookie.html", "Set-Cookie", "shared=yes; Path=/");
    server_.addPage("/cookie.html", page("CHECK"));
    WebEngineBrowser::setCallTimeoutMs(3000);
}

void TestWebEngineBrowser::init()
{
    browser_ = std::make_unique<WebEngineBrowser>();
    showView(*browser_);
}

void TestWebEngineBrowser::cleanup()
{
    browser_.reset();
}

void TestWebEngineBrowser::silentKeepsEngineDialogsAway_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("expectedDialogs");
    QTest::newRow("silent") << true << 0;
    QTest::newRow("not silent: the engine's own dialogs") << false << 3;
}

void TestWebEngineBrowser::silentKeepsEngineDialogsAway()
{
    QFETCH(bool, silent);
    QFETCH(int, expectedDialogs);
    DialogWatch dialogs;
    browser_->setSilent(silent);
    QCOMPARE(browser_->silent(), silent);

    QVERIFY(loadAndWait(*browser_, url("/dialogs.html")));
    QVERIFY(waitUntil([&] { return outValue(*browser_) != QString(); }));
    // Answered as a cancelled dialog would be: confirm false, prompt null.
    QCOMPARE(outValue(*browser_), QStringLiteral("undefined,false,null"));
    QCOMPARE(dialogs.count, expectedDialogs);

    if (silent) {
        QVERIFY(loadAndWait(*browser_, url("/auth.html")));
        QVERIFY(browser_->document()->markup().contains("DENIED"));
        QCOMPARE(dialogs.count, 0);
    }
}

void TestWebEngineBrowser::newWindowRequests_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<bool>("opens");
    QTest::newRow("nobody handles it") << "none" << false;
    QTest::newRow("handler blocks") << "block" << false;
    QTest::newRow("handler gives another browser") << "other" << true;
    QTest::newRow("handler gives the same browser") << "same" << false;
    QTest::newRow("handler gives a browser showing a page") << "used" << true;
}

void TestWebEngineBrowser::newWindowRequests()
{
    QFETCH(QString, handler);
    QFETCH(bool, opens);
    int calls = 0;
    std::unique_ptr<WebEngineBrowser> popup;
    std::unique_ptr<CompletionLog> popupLog;
    if (handler == "used") {
        popup = std::make_unique<WebEngineBrowser>();
        showView(*popup);
        QVERIFY(loadAndWait(*popup, url("/plain.html")));
        popupLog = std::make_unique<CompletionLog>(popup.get());
    }
    if (handler != "none") {
        browser_->setNewWindowHandler([&]() -> Browser* {
            ++calls;
            if (handler == "same")
                return browser_.get();
            if (handler == "block")
                return nullptr;
            if (handler == "used")
                return popup.get();
            popup = std::make_unique<WebEngineBrowser>();
            showView(*popup);
            popupLog = std::make_unique<CompletionLog>(popup.get());
            return popup.get();
        });
    }
    QVERIFY(loadAndWait(*browser_, url("/opener.html")));
    server_.clearRequests();
    const auto document = browser_->document();
    // A script link clicked from outside the page, as an image-saving run clicks it.
    document->click(document->links().value(0).handle);
    QVERIFY(waitUntil([&] { return outValue(*browser_) != QString(); }));

    if (opens) {
        QVERIFY(popupLog->waitForTop());
        QCOMPARE(popupLog->entries.constLast().url, url("/popup.html"));
        QVERIFY(popup->document()->markup().contains("POPUP"));
    } else {
        settle(300);
    }
    QCOMPARE(server_.requestCount("/popup.html"), opens ? 1 : 0);
    QCOMPARE(calls, handler == "none" ? 0 : 1);
    QCOMPARE(browser_->document()->url(), url("/opener.html"));
    if (popupLog) // only the new page completed there
        QCOMPARE(popupLog->entries.size(), 1);
}

void TestWebEngineBrowser::beforeNavigateForTopAndFrames_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("expected"); // the first one in order, then any order
    QTest::newRow("frameset") << "/fs/top.html"
                              << QStringList({"/fs/top.html", "/fs/a.html", "/fs/b.html",
                                              "/fs/left.html", "/fs/right.html"});
    QTest::newRow("server redirect: announced once") << "/redirect" << QStringList({"/redirect"});
}

void TestWebEngineBrowser::beforeNavigateForTopAndFrames()
{
    QFETCH(QString, address);
    QFETCH(QStringList, expected);
    QStringList seen;
    connect(browser_.get(), &Browser::BeforeNavigate2, this,
            [&](const QString& target) { seen << target; });
    QVERIFY(loadAndWait(*browser_, url(address)));
    settle(100);

    QStringList wanted;
    for (const QString& path : std::as_const(expected))
        wanted << url(path);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.first(), wanted.first());
    std::sort(seen.begin() + 1, seen.end());
    QCOMPARE(seen, wanted);
}

void TestWebEngineBrowser::backAvailabilityChanges()
{
    QList<bool> changes;
    connect(browser_.get(), &Browser::CommandStateChange, this, [&](int command, bool enable) {
        QCOMPARE(command, 2);
        changes << enable;
    });
    QVERIFY(loadAndWait(*browser_, url("/p1.html")));
    QVERIFY(loadAndWait(*browser_, url("/p2.html")));
    QVERIFY(loadAndWait(*browser_, url("/p3.html")));
    QCOMPARE(changes, QList<bool>{true});

    CompletionLog log(browser_.get());
    browser_->GoBack();
    QVERIFY(log.waitForTop(1));
    QCOMPARE(log.entries.constLast().url, url("/p2.html"));
    QCOMPARE(changes, QList<bool>{true}); // p1 is still behind
    browser_->GoBack();
    QVERIFY(log.waitForTop(2));
    QCOMPARE(log.entries.constLast().url, url("/p1.html"));
    settle(50);
    QCOMPARE(changes, QList<bool>({true, false}));
}

void TestWebEngineBrowser::navigateReadsAddressesLikeAnAddressBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("host");
    const QString port = QString::number(server_.port());
    QTest::newRow("address without scheme") << "127.0.0.1:" + port + "/typed.html"
                                            << "127.0.0.1";
    QTest::newRow("name and port without scheme") << "localhost:" + port + "/typed.html"
                                                  << "localhost";
    QTest::newRow("full address") << "http://127.0.0.1:" + port + "/typed.html"
                                  << "127.0.0.1";
}

void TestWebEngineBrowser::navigateReadsAddressesLikeAnAddressBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, host);
    server_.clearRequests();
    CompletionLog log(browser_.get());
    browser_->Navigate(typed);
    QVERIFY(log.waitForTop());
    QCOMPARE(log.entries.constLast().url, url("/typed.html", host));
    QCOMPARE(server_.requestCount("/typed.html"), 1);
    QVERIFY(browser_->document()->markup().contains("TYPED"));
}

void TestWebEngineBrowser::browsersShareOneProfile()
{
    WebEngineBrowser second;
    QCOMPARE(browser_->page()->profile(), sharedProfile());
    QCOMPARE(second.page()->profile(), sharedProfile());

    QVERIFY(loadAndWait(*browser_, url("/setcookie.html")));
    server_.clearRequests();
    QVERIFY(loadAndWait(second, url("/cookie.html")));
    QCOMPARE(server_.requestsFor("/cookie.html").value(0).header("Cookie"),
             QByteArray("shared=yes"));
}

void TestWebEngineBrowser::factoryBrowsersLiveWithTheirParent()
{
    WebEngineBrowserFactory factory;
    auto* parent = new QWidget;
    QPointer<Browser> browser = factory.create(parent);
    QVERIFY(qobject_cast<WebEngineBrowser*>(browser.data()));
    QPointer<QWidget> view = browser->widget();
    QCOMPARE(view->parentWidget(), parent);
    delete parent;
    QVERIFY(browser.isNull());
    QVERIFY(view.isNull());

    browser = factory.create(nullptr);
    view = browser->widget();
    delete browser.data();
    QVERIFY(view.isNull()); // the browser takes its view along
}

QTEST_MAIN(TestWebEngineBrowser)
#include "tst_webenginebrowser.moc"
