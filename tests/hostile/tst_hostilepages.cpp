// Hostile pages on the real engine: a huge page, a page that replaces the DOM's built-ins, a
// page that never stops its script, renderers that die during a run or a fill, a server that
// drops an image halfway and a pop-up storm. Each run ends, the window goes on browsing, and
// files appear in the image folder only.

#include "browserapp.h"
#include "browsermenus.h"
#include "endprocess.h"
#include "enginesession.h"
#include "enginetesting.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "harvesttexts.h"
#include "networkimagedownloader.h"
#include "record.h"
#include "recordfile.h"
#include "scriptedprompt.h"
#include "webenginebrowserfactory.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <memory>

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

// The engine wants shared contexts set before the application object exists.
const bool kShareContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

// A gallery that shows each of its pictures many times over: the document holds 10,000
// images and 5,000 links while the run downloads a few hundred.
constexpr int kBigImages = 10000, kBigDistinct = 200, kBigLinks = 5000, kBigLinkedPages = 5;

// Saves through the real downloader; ends the page's renderer before the n-th image.
struct CrashingDownloader : ImageDownloader
{
    bool download(const QString& src, const QString& path, Browser* page) override
    {
        if (++calls == crashAt)
            if (auto* browser = qobject_cast<WebEngineBrowser*>(page))
                endProcess(browser->page()->renderProcessPid());
        return inner.download(src, path, page);
    }
    bool prepare(const QStringList& srcs, Browser* page) override
    {
        return inner.prepare(srcs, page);
    }
    NetworkImageDownloader inner;
    int calls = 0, crashAt = 0;
};

QString imagesHtml(const QStringList& srcs)
{
    QString html;
    for (const QString& src : srcs)
        html += QStringLiteral("<img src=\"%1\">").arg(src);
    return html;
}

} // namespace

class tst_HostilePages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void runsEndAndStayInTheFolder_data();
    void runsEndAndStayInTheFolder();
    void popupStormWithoutBlocking();

private:
    FixtureServer server_;
};

void tst_HostilePages::initTestCase()
{
    QVERIFY(server_.start());
    // Every address that is not a page is an image of its own.
    server_.setHandler("*", [](const FixtureRequest& request) {
        return request.path.endsWith(".html")
                   ? FixtureResponse::error(404)
                   : FixtureResponse::bytes(FixtureResponse::gif(request.path), "image/gif");
    });
    server_.addPage("/ok.html", "<html><body>ok</body></html>");

    QString big = "<html><body>";
    for (int i = 0; i < kBigImages; ++i)
        big += QStringLiteral("<img src=\"img/%1.gif\" width=1 height=1>").arg(i % kBigDistinct);
    for (int i = 0; i < kBigLinks; ++i)
        big += QStringLiteral("<a href=\"p%1.html\">%2</a>").arg(i % kBigLinkedPages).arg(i);
    server_.addPage("/big/index.html", big + "</body></html>");
    for (int i = 0; i < kBigLinkedPages; ++i)
        server_.addPage(QStringLiteral("/big/p%1.html").arg(i),
                        imagesHtml({QStringLiteral("linked%1.gif").arg(i)}));

    // Built-ins replaced in the page's own world; the program reads the DOM in another.
    server_.addPage(
        "/proto/index.html",
        imagesHtml({"a.gif", "b.gif", "show.php?id=1"}) +
            "<a href='next.html'>next</a><script>"
            "const evil = () => '../../escaped.gif';"
            "Object.defineProperty(HTMLImageElement.prototype, 'src', {get: evil});"
            "Object.defineProperty(Document.prototype, 'images', {get: () => []});"
            "Object.defineProperty(Document.prototype, 'links', {get() { throw new Error('no'); "
            "}});"
            "HTMLCollection.prototype.item = () => null;"
            "Element.prototype.getAttribute = evil;"
            "Array.prototype.map = Array.prototype.filter = () => [];"
            "Array.prototype.push = () => 0;"
            "JSON.stringify = () => '{\"images\":[\"../../x\"]}'; JSON.parse = () => ({});"
            "String.prototype.indexOf = () => -1;"
            "window.fetch = () => Promise.resolve(new Response('evil'));"
            "</script>");
    server_.addPage("/proto/next.html", imagesHtml({"n.gif"}));

    server_.addPage("/loop/index.html",
                    imagesHtml({"l1.gif"}) +
                        "<a href='hang.html'>hang</a> <a href='after.html'>after</a>");
    server_.addPage("/loop/hang.html",
                    "<html><body><script>while (true) {}</script></body></html>");
    server_.addPage("/loop/after.html", imagesHtml({"after.gif"}));

    server_.addPage("/crash/index.html",
                    imagesHtml({"c0.gif", "c1.gif", "c2.gif", "c3.gif", "c4.gif", "c5.gif"}) +
                        "<a href='next.html'>next</a>");
    server_.addPage("/crash/next.html", imagesHtml({"n.gif"}));

    server_.addPage("/drop/index.html", imagesHtml({"a.gif", "half.gif", "c.gif"}));
    server_.dropMidway("/drop/half.gif", FixtureResponse::gif("half") + QByteArray(100000, 'x'),
                       "image/gif");

    server_.addPage("/storm/index.html",
                    imagesHtml({"s.gif"}) +
                        "<script>setInterval(() => open('/ok.html'), 1);</script>");

    server_.addPage("/fill/form.html",
                    "<html><body><form method='post' action='send.cgi'><input name='q'>"
                    "<input type='submit'></form></body></html>");
}

void tst_HostilePages::runsEndAndStayInTheFolder_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("files");   // the names expected
    QTest::addColumn<QStringList>("mayLack"); // of those, the ones that may be missing

    QStringList big;
    for (int i = 0; i < kBigDistinct; ++i)
        big << QStringLiteral("%1.gif").arg(i);
    for (int i = 0; i < kBigLinkedPages; ++i)
        big << QStringLiteral("linked%1.gif").arg(i);
    const QStringList none;
    QTest::newRow("10,000 images and 5,000 links") << "/big/index.html" << big << none;
    QTest::newRow("built-ins replaced")
        << "/proto/index.html" << QStringList{"a.gif", "b.gif", "id_1.jpg", "n.gif"} << none;
    QTest::newRow("linked page loops for ever")
        << "/loop/index.html" << QStringList{"after.gif", "l1.gif"} << none;
    // The renderer dies before the third image: the two before it are in; the page's links
    // are gone with it.
    QTest::newRow("renderer crash during a run")
        << "/crash/index.html"
        << QStringList{"c0.gif", "c1.gif", "c2.gif", "c3.gif", "c4.gif", "c5.gif", "n.gif"}
        << QStringList{"c2.gif", "c3.gif", "c4.gif", "c5.gif", "n.gif"};
    QTest::newRow("image dropped halfway")
        << "/drop/index.html" << QStringList{"a.gif", "c.gif"} << none;
    QTest::newRow("pop-up storm, pop-ups blocked")
        << "/storm/index.html" << QStringList{"s.gif"} << none;
    QTest::newRow("renderer crash during a fill") << "/fill/form.html" << none << none;
}

void tst_HostilePages::runsEndAndStayInTheFolder()
{
    QFETCH(QString, page);
    QFETCH(QStringList, files);
    QFETCH(QStringList, mayLack);
    const bool fill = page.startsWith("/fill/");
    const bool storm = page.startsWith("/storm/");

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("session"));
    const QString address = server_.url(page).toString();
    if (fill) {
        Record form;
        form.Type = "Form";
        form.Url = address;
        form.Action = "send.cgi";
        form.Postdata = "q=recorded";
        QVERIFY(WriteTextFile(dir.path() + "/session/form.xml", BuildRecordXml(form)));
    }
    WebEngineBrowserFactory browsers;
    ScriptedPrompt prompt;
    CrashingDownloader downloader;
    downloader.crashAt = page.startsWith("/crash/") ? 3 : 0;
    downloader.inner.setTimeoutMs(3000);
    ShareEngineSession(downloader.inner);
    Services services;
    services.browsers = &browsers;
    services.prompt = &prompt;
    services.downloader = &downloader;
    services.programFolder = dir.path();
    // Only the looping page waits this out; a busy machine must not cut the others short.
    services.captureTimeoutMs = page.startsWith("/loop/") ? 1500 : 15000;
    BrowserApp app(services);
    frmBrowser* w = app.startFirstWindow();
    const QString images = w->gstrSaveFolder;
    w->menus()->mnuBlock->setChecked(storm);
    auto* view = qobject_cast<WebEngineBrowser*>(w->browser());
    QVERIFY(view);
    QSignalSpy gone(view, &Browser::RenderProcessGone);
    if (fill) {
        // The renderer dies while the question is open, before anything is written.
        prompt.answer([&](const ScriptedPrompt::Question&) {
            endProcess(view->page()->renderProcessPid());
            waitUntil([&] { return gone.count() > 0; });
            return PromptAnswer::Ok;
        });
    }

    w->txtUrl->setText(address);
    w->cmdPlayback_Click();
    QVERIFY(waitUntil(
        [&] {
            return fill ? !prompt.questions().isEmpty() && gone.count() > 0
                        : w->strLastUrl == address && w->cmdSaveImage->isEnabled();
        },
        30000));
    if (!fill) {
        if (storm)
            settle(500);
        w->cmdSaveImage->click(); // returns when the run has ended
        QCOMPARE(w->cmdSaveImage->text(), QStringLiteral("S A V E    I M A G E"));
        QVERIFY(!w->harvestRun.SavingImages);
    }

    if (storm) {
        const int blocked = w->statusPanel(3)->text().section(' ', 0, 0).toInt();
        settle(200);
        QVERIFY(w->statusPanel(3)->text().section(' ', 0, 0).toInt() > blocked);
        QVERIFY2(blocked > 3, qPrintable(w->statusPanel(3)->text()));
        qInfo("pop-up storm: %d blocked", blocked);
    }
    QCOMPARE(app.windows().size(), 1);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY2(!top->isVisible() || top == w || top->inherits("QMenu"),
                 top->metaObject()->className());

    // Files in the image folder only, whole, under safe names.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"Image", "session"}));
    QStringList session = QDir(dir.path() + "/session").entryList(QDir::Files);
    QCOMPARE(session, fill ? QStringList{"form.xml"} : QStringList{});
    QStringList saved =
        QDir(images).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    // Expected names only; all of them but those the row allows to lack.
    QStringList missing = files;
    for (const QString& name : saved)
        QVERIFY2(missing.removeOne(name), qPrintable("unexpected " + name));
    for (const QString& name : mayLack)
        missing.removeOne(name);
    QVERIFY2(missing.isEmpty(), qPrintable("missing " + missing.join(' ')));
    for (const QString& name : saved) {
        QFile file(images + '/' + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll(); // whole images only: header to trailer
        QVERIFY2(bytes.startsWith("GIF89a") && bytes.endsWith(';'), qPrintable(name));
    }

    // And goes on browsing.
    const QString next = server_.url("/ok.html").toString();
    w->txtUrl->setText(next);
    w->cmdPlayback_Click();
    QVERIFY(waitUntil([&] { return w->strLastUrl == next; }, 15000));
    // The fill that lost its renderer never sent the form, up to the very end.
    QCOMPARE(server_.requestCount("/fill/send.cgi"), 0);
}

// "Block pop-up window" unchecked: a page opening windows in a loop gets 20 of them, the rest
// are blocked and counted.
void tst_HostilePages::popupStormWithoutBlocking()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("session"));
    WebEngineBrowserFactory browsers;
    ScriptedPrompt prompt;
    Services services;
    services.browsers = &browsers;
    services.prompt = &prompt;
    services.programFolder = dir.path();
    BrowserApp app(services);
    frmBrowser* w = app.startFirstWindow();
    w->txtUrl->setText(server_.url("/storm/index.html").toString());
    w->cmdPlayback_Click();
    QVERIFY(
        waitUntil([&] { return w->statusPanel(3)->text().section(' ', 0, 0).toInt() > 3; }, 30000));
    QCOMPARE(app.windows().size(), 21);
}

QTEST_MAIN(tst_HostilePages)
#include "tst_hostilepages.moc"
