// The document model, frames, navigation events, dialogs, windows, cookies on the real engine.

#include "browserpage.h"
#include "enginecookiejar.h"
#include "enginetesting.h"
#include "fixtureserver.h"
#include "helperscript.h"
#include "networkimagedownloader.h"

#include <QApplication>
#include <QAuthenticator>
#include <QNetworkCookie>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <memory>

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

QString page(const QString& body)
{
    return "<html><body>" + body + "</body></html>";
}

// Fields and images named after the document and form members a page can shadow.
const QString kDomBody = QStringLiteral(R"(
<img src="pics/one.gif"><img name="forms" src="/two.gif"><img name="documentElement" src="x.gif">
<a href="next.html">Next <b>page</b></a>
<form id="f1" action="post.cgi" target="right"><input name="user" value="ann">
<textarea name="note">hi</textarea>
<select name="one"><option value="1">One</option><option value="2" selected>Two</option></select>
<input type="radio" name="r" value="r1"><input type="radio" name="r" value="r2" checked>
<input type="hidden" name="elements" value="e"><input type="hidden" name="length" value="l">
<input type="image" name="go" src="go.gif"></form>
<form id="f2" action="other.cgi"><input name="action" value="a"><input name="id" value="i"></form>
)");

// Replaces, in the page's own world, everything a naive helper would lean on.
const QString kHostileScript = QStringLiteral(R"(<script>
window.brackenlyHelper = { run: function () { return '{"v":"hacked","n":1}'; } };
Array.prototype.push = function () { throw new Error('push'); };
JSON.stringify = function () { return '{"v":[],"n":1}'; };
JSON.parse = function () { return {}; };
Document.prototype.getElementsByTagName = function () { return []; };
document.getElementsByTagName = function () { return []; };
Object.defineProperty(HTMLFormElement.prototype, 'elements', { get: function () { return []; } });
Object.defineProperty(HTMLFormElement.prototype, 'action', { get: function () { return 'hacked'; } });
Object.defineProperty(Element.prototype, 'innerHTML', { get: function () { return 'hacked'; } });
Object.defineProperty(HTMLImageElement.prototype, 'src', { get: function () { return 'hacked'; } });
Object.defineProperty(HTMLInputElement.prototype, 'value', { get: function () { return 'hacked'; } });
Function.prototype.call = function () { return null; };
</script>)");

// A form sending into a frame, so the page stays, with 1000 links, images and text fields
// after its first ones; every input and change event the page sees goes into the field "log".
const QString kManyPage = page(R"(<form action="/done" target="sink"><input name="t" value="old">
<input type="checkbox" name="c"><input type="radio" name="r" value="a" checked>
<input type="radio" name="r" value="b"><select name="s"><option>x</option><option>y</option>
</select><select name="m" multiple><option>p</option><option>q</option></select>%1
<input type="submit" name="go" value="Go"></form><iframe name="sink"></iframe>
<input type="hidden" name="log" id="log"><script>['input', 'change'].forEach(type =>
  document.addEventListener(type, e => { const t = e.target;
    log.value += `${type}:${t.name}=${/checkbox|radio/.test(t.type) ? t.checked : t.value};`; }));
</script>)");

// The field pages write their outcome to.
const QString kOut = QStringLiteral("<input name='out' id='out'>");

DomElement named(const QList<DomElement>& elements, const QString& name, int nth = 0)
{
    for (const DomElement& element : elements) {
        if (element.name == name && nth-- == 0)
            return element;
    }
    return {};
}

} // namespace

class TestWebEnginePage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        server_.addPage("/dom/hostile.html", "<html><head>" + kHostileScript + "</head><body>" +
                                                 kDomBody + "</body></html>");
        QString many;
        for (int i = 0; i < 1000; ++i)
            many += QString("<a href='/p%1'><img src='/i.gif#%1'></a><input name='n%1'>").arg(i);
        server_.addPage("/many.html", kManyPage.arg(many));
        server_.addImage("/i.gif");
        server_.addPage("/done", page("done"));
        // Pages cannot fake or suppress completions. The top stops load listeners and replaces
        // addEventListener and the console; a frame sends look-alike helper texts and fake
        // load events, and has a late picture: a completion before it arrived is a fake.
        const QString stoppers =
            "function stop(e) { e.stopImmediatePropagation(); }"
            "window.addEventListener('load', stop, true); window.onload = stop;"
            "EventTarget.prototype.addEventListener = function () {};"
            "console.log = function () {}; window.console = {};";
        const QString forged =
            HelperScript::prefix() + "%1:{\"k\":\"load\",\"p\":[],\"u\":\"http://spoof/\"}";
        const QString fakes =
            QString("function fake() { console.log('%1'); console.info('%2'); console.log('%3');"
                    " window.dispatchEvent(new Event('load')); }"
                    "fake(); setTimeout(fake, 0); setTimeout(fake, 100);")
                .arg(forged.arg(""), forged.arg(QString(32, u'0')), HelperScript::prefix());
        server_.addPage("/fs/top.html", "<html><head><script>" + stoppers +
                                            "</script></head><frameset cols='*,*,*'><frame "
                                            "src='left.html'><frame src='right.html'><frame src='" +
                                            url("/fs/in.html") + "'></frameset></html>");
        server_.addPage("/fs/left.html", page("LEFT"));
        server_.addPage("/fs/right.html", "<html><frameset rows='50%,50%'><frame src='a.html'>"
                                          "<frame src='b.html'></frameset></html>");
        server_.addPage("/fs/a.html",
                        page("FRAME-A <script>" + fakes + "</script><img src='/late.gif'>"));
        server_.addPage("/fs/b.html", page("FRAME-B"));
        server_.addPage("/fs/in.html", page("FOREIGN"));
        server_.addImage("/late.gif");
        server_.setDelay("/late.gif", 250);
        server_.addRedirect("/redirect", "/plain.html");
        server_.addPage("/plain.html", page("PLAIN"));
        server_.addPage("/dialogs.html",
                        page(kOut + "<script>onload = () => out.value = "
                                    "[alert(), confirm(), prompt('', 'd')]</script>"));
        server_.addPage("/ask.html", page(kOut + "<script>Notification.requestPermission()"
                                                 ".then(r => out.value = r)</script>"));
        server_.addPage("/opener.html",
                        page(kOut + "<a href=\"javascript:void(out.value = "
                                    "open('/popup.html') ? 'opened' : 'no')\">open</a>"));
        WebEngineBrowser::setCallTimeoutMs(3000);
    }
    void init()
    {
        browser_ = std::make_unique<WebEngineBrowser>();
        showView(*browser_);
    }

    // The page replaces everything a naive helper would lean on; what a plain page shows.
    void readsCollectionsPastHostilePages()
    {
        const QString path = "/dom/hostile.html";
        QVERIFY(loadAndWait(*browser_, url(path)));
        const auto document = browser_->document();
        const qint64 before = browser_->roundTrips();

        QStringList got;
        for (const DomImage& image : document->images())
            got << "img " + image.src;
        for (const DomLink& link : document->links())
            got << "a " + link.href + " " + link.innerHtml + (link.text == link.href ? "" : " ?");
        const QList<DomForm> forms = document->forms().items;
        for (const DomForm& form : forms) {
            got << "form " + form.action + " " + form.id + " " + form.target;
            for (const DomElement& field : form.elements) {
                got << field.type + " " + field.name + "=" + field.value +
                           (field.checked ? "*" : "");
                for (const DomOption& option : field.options)
                    got.last() +=
                        " " + option.text + "=" + option.value + (option.selected ? "*" : "");
            }
        }
        const QList<DomElement> inputs = document->elementsByTagName("INPUT").items;
        for (const DomElement& input : inputs)
            got << "input " + input.name + " " + input.src;
        const QString markup = document->markup();
        QCOMPARE(browser_->roundTrips() - before, 5); // one round trip per read

        // As the DOM has it, image buttons are not among a form's elements; INPUT reaches them.
        QCOMPARE(
            got.join('|').replace(url("/"), "~"),
            "img ~dom/pics/one.gif|img ~two.gif|img ~dom/x.gif|a ~dom/next.html Next <b>page</b>|"
            "form ~dom/post.cgi f1 right|text user=ann|textarea note=hi|"
            "select-one one=2 One=1 Two=2*|radio r=r1|radio r=r2*|hidden elements=e|"
            "hidden length=l|form [object] f2 |text action=a|text id=i|input user |input r |"
            "input r |input elements |input length |input go ~dom/go.gif|input action |input id ");
        QVERIFY(markup.startsWith("<head>"));
        QVERIFY(markup.contains("<form id=\"f2\" action=\"other.cgi\">"));
        // One element, one handle, whichever collection it came through.
        QCOMPARE(inputs[0].handle, forms[0].elements[0].handle);
    }
    void oneRoundTripWhateverTheCount()
    {
        const int count = 1000;
        QVERIFY(loadAndWait(*browser_, url("/many.html")));
        const auto document = browser_->document();
        qint64 before = browser_->roundTrips();
        QCOMPARE(document->images().size(), count);
        QCOMPARE(document->links().size(), count);
        const QList<DomElement> fields = document->forms().items.value(0).elements;
        QCOMPARE(fields.size(), 6 + count + 1);
        QCOMPARE(browser_->roundTrips() - before, 3);

        // Every write and the click travel together; the page sees user edits.
        server_.clearRequests();
        before = browser_->roundTrips();
        document->setValue(named(fields, "t").handle, "new");
        document->setChecked(named(fields, "r", 1).handle, true);
        document->setOptionSelected(named(fields, "s").handle, 1, true);
        document->setOptionSelected(named(fields, "m").handle, 1, true);
        for (int i = 0; i < count; ++i)
            document->setValue(fields[6 + i].handle, QString("v%1").arg(i));
        document->click(fields.last().handle);
        QCOMPARE(browser_->roundTrips() - before, 1);
        QVERIFY(server_.waitForRequest("/done", 5000));
        const QString query = server_.requestsFor("/done").constFirst().query;
        QVERIFY2(query.startsWith("t=new&r=b&s=y&m=q&n0=v0&"), qPrintable(query.left(80)));
        QVERIFY(query.endsWith(QString("&n%1=v%1&go=Go").arg(count - 1)));
        QCOMPARE(named(document->elementsByTagName("INPUT").items, "log")
                     .value.section("input:n0", 0, 0),
                 "input:t=new;change:t=new;input:r=true;change:r=true;"
                 "input:s=y;change:s=y;input:m=q;change:m=q;");
        const QList<DomElement> after = document->forms().items[0].elements;
        QCOMPARE(named(after, "t").handle, named(fields, "t").handle);

        // A handle of the page before fails on the same page loaded again.
        QVERIFY(loadAndWait(*browser_, url("/many.html")));
        const auto again = browser_->document();
        again->setValue(named(fields, "t").handle, "stale");
        QVERIFY_THROWS_EXCEPTION(EngineError, again->flush());
        QCOMPARE(named(again->forms().items[0].elements, "t").value, "old");
    }
    void framesetAndNavigationEvents()
    {
        QStringList announced;
        QStringList back;
        connect(browser_.get(), &Browser::BeforeNavigate2, this,
                [&](const QString& target) { announced << target; });
        connect(browser_.get(), &Browser::CommandStateChange, this, [&](int command, bool enable) {
            back << QString("%1:%2").arg(command).arg(enable);
        });
        CompletionLog log(browser_.get());
        const auto at = [this](const QString& path) { return url(path, "localhost"); };
        // Typed as in an address box: no scheme, a name that could pass for one.
        browser_->Navigate(at("/fs/top.html").mid(7));
        QVERIFY(log.waitForTop());
        settle(200); // nothing may follow, the late fakes included

        const QStringList got = log.entries;
        QStringList sorted = got;
        sorted.sort();
        QCOMPARE(sorted, QStringList({"/ " + at("/fs/top.html"), "/0 " + at("/fs/left.html"),
                                      "/1 " + at("/fs/right.html"), "/1/0 " + at("/fs/a.html"),
                                      "/1/1 " + at("/fs/b.html"), "/2 " + url("/fs/in.html")}));
        QCOMPARE(got.last(), sorted[0]); // frames first, a frame's own frames before it
        QVERIFY2(got.indexOf(sorted[3]) < got.indexOf(sorted[2]), qPrintable(got.join(", ")));
        const qint64 aAtMs = log.atMs[got.indexOf(sorted[3])];
        QVERIFY2(aAtMs >= 250, qPrintable(QString::number(aAtMs)));
        // Each completion's browser object shows that frame's document; a foreign one none.
        for (int i = 0; i < got.size(); ++i) {
            if (got[i].contains("127.0.0.1"))
                QVERIFY_THROWS_EXCEPTION(EngineError, log.frames[i].document());
            else
                QCOMPARE(log.frames[i].document()->url(), got[i].section(' ', 1));
        }
        QCOMPARE(browser_->document()->frameCount(), 3);
        QVERIFY_THROWS_EXCEPTION(EngineError, browser_->document()->frame(2));
        QCOMPARE(announced.value(0), at("/fs/top.html"));
        QCOMPARE(announced.size(), 6);

        browser_->Navigate(at("/redirect"));
        QVERIFY(log.waitForTop(2));
        QCOMPARE(log.entries.last(), "/ " + at("/plain.html"));
        QCOMPARE(announced.mid(6), QStringList{at("/redirect")});
        QCOMPARE(back, QStringList{"2:1"});
        browser_->GoBack();
        QVERIFY(log.waitForTop(3));
        QCOMPARE(log.entries.last(), sorted[0]);
        QVERIFY(waitUntil([&] { return back.size() > 1; }));
        QCOMPARE(back, QStringList({"2:1", "2:0"}));
    }
    // While silent, what would show a dialog, or what the engine would wait on for ever, is
    // refused at once; otherwise the engine's own dialogs and defaults stay.
    void silentAnswers_data()
    {
        QTest::addColumn<QString>("request"); // or a page writing what it was answered
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<QString>("out"); // what the page wrote
        // Answered as cancelled dialogs, whoever closes them.
        QTest::newRow("script dialogs") << "/dialogs.html" << true << 0 << ",false,";
        QTest::newRow("script dialogs, not silent") << "/dialogs.html" << false << 3 << ",false,";
        QTest::newRow("HTTP authentication") << "auth" << true << 0 << "";
        QTest::newRow("proxy authentication") << "proxy" << true << 0 << "";
        QTest::newRow("permission") << "/ask.html" << true << 0 << "denied";
        QTest::newRow("file chooser") << "files" << true << 0 << "";
        QTest::newRow("certificate error") << "certificate" << true << 0 << "";
    }
    void silentAnswers()
    {
        QFETCH(QString, request);
        QFETCH(bool, silent);
        QFETCH(int, dialogs);
        QFETCH(QString, out);
        int seen = 0; // modal dialogs, each closed at once
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&seen] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                ++seen;
                dialog->close();
            }
        });
        closer.start(20);
        browser_->setSilent(silent);
        if (request.endsWith(".html")) {
            QVERIFY(loadAndWait(*browser_, url(request)));
            QVERIFY(waitUntil([&] { return !outValue().isEmpty(); }));
            QCOMPARE(outValue(), out);
        } else if (request == "auth") {
            server_.addPage("/auth.html", page("LOCKED"));
            server_.setStatus("/auth.html", 401);
            server_.addHeader("/auth.html", "WWW-Authenticate", "Basic realm=\"r\"");
            QVERIFY(loadAndWait(*browser_, url("/auth.html")));
            QCOMPARE(server_.requestCount("/auth.html"), 1);
        } else if (request == "proxy") {
            QAuthenticator answer;
            answer.setUser("guess");
            Q_EMIT browser_->page()->proxyAuthenticationRequired(QUrl(), &answer, "proxy");
            QVERIFY(answer.isNull());
        } else if (request == "files") {
            struct Chooser : BrowserPage
            {
                using BrowserPage::BrowserPage;
                using BrowserPage::chooseFiles;
            } chooser(browser_->page()->profile());
            QWebEngineView view; // the one that would show the engine's dialog
            view.setPage(&chooser);
            chooser.setSilent(true);
            QCOMPARE(chooser.chooseFiles(QWebEnginePage::FileSelectOpen, {"/etc/passwd"}, {}),
                     QStringList());
        } else {
            // Deferred, the load would wait for ever; accepted, the page would be fetched.
            FixtureServer tls;
            QVERIFY(tls.start(true));
            tls.addPage("/secret.html", page("SECRET"));
            QSignalSpy ended(browser_.get(), &Browser::LoadEnded);
            browser_->Navigate(tls.url("/secret.html").toString());
            QVERIFY(waitUntil([&] { return !ended.isEmpty(); }));
            QCOMPARE(ended.first().at(1).toBool(), false);
            QCOMPARE(tls.requestCount("/secret.html"), 0);
        }
        QCOMPARE(seen, dialogs);
    }
    // A script link clicked from outside the page, as an image-saving run clicks it, asks the
    // handler once; given no browser, nothing opens. (Opening in another browser is the harvest
    // engine test's gallery pop-up.)
    void newWindowRefused()
    {
        int calls = 0;
        browser_->setNewWindowHandler([&]() -> Browser* {
            ++calls;
            return nullptr;
        });
        QVERIFY(loadAndWait(*browser_, url("/opener.html")));
        server_.clearRequests();
        browser_->document()->click(browser_->document()->links().value(0).handle);
        QVERIFY(waitUntil([&] { return !outValue().isEmpty(); }));
        settle(300);

        QCOMPARE(calls, 1);
        QCOMPARE(server_.requestCount("/popup.html"), 0);
        QCOMPARE(browser_->document()->url(), url("/opener.html"));
    }
    void cookiesAreShared()
    {
        // As at the program's start: the jar follows the engine's store from before any page.
        QWebEngineCookieStore* store = browser_->page()->profile()->cookieStore();
        auto* jar = new EngineCookieJar(store);
        NetworkImageDownloader downloader;
        downloader.setCookieJar(jar);
        server_.addPage("/setcookie.html", page("SET"));
        server_.addHeader("/setcookie.html", "Set-Cookie", "page=1; Path=/");
        server_.addImage("/c.gif");
        server_.addHeader("/c.gif", "Set-Cookie", "download=2; Path=/");
        QVERIFY(loadAndWait(*browser_, url("/setcookie.html")));
        QVERIFY(waitUntil([&] { return jar->cookiesForUrl(url("/c.gif")).size() == 1; }));

        QSignalSpy added(store, &QWebEngineCookieStore::cookieAdded);
        QTemporaryDir dir;
        QVERIFY(downloader.download(url("/c.gif"), dir.filePath("c.gif"), nullptr));
        QCOMPARE(server_.requestsFor("/c.gif").value(0).header("Cookie"), "page=1");
        QVERIFY(waitUntil([&] { return added.size() == 1; }));

        WebEngineBrowser second; // same profile
        QVERIFY(loadAndWait(second, url("/plain.html")));
        QCOMPARE(server_.requestsFor("/plain.html").constLast().header("Cookie"),
                 "page=1; download=2");
    }

private:
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return server_.url(path, host).toString();
    }
    QString outValue()
    {
        return named(browser_->document()->elementsByTagName("INPUT").items, "out").value;
    }

    FixtureServer server_;
    std::unique_ptr<WebEngineBrowser> browser_;
};

QTEST_MAIN(TestWebEnginePage)
#include "tst_webenginepage.moc"
