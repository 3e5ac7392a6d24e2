// Hostile pages on the real engine (renderers dying during a run or a fill, a pop-up storm) and
// folders refusing files as a full disk does: what was under way ends, the user is told, files
// appear in the image folder only, and the window goes on. (Huge, hung and half-loaded pages
// are the platform suites'; the settings share the sessions' writer.)

#include "browserapp.h"
#include "endprocess.h"
#include "enginesession.h"
#include "enginetesting.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "networkimagedownloader.h"
#include "record.h"
#include "recordfile.h"
#include "recorditems.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "scriptedprompt.h"
#include "webenginebrowserfactory.h"

#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <csignal>
#include <sys/resource.h>

using namespace brackenly;
using namespace Qt::StringLiterals;
using namespace brackenly::enginetesting;

namespace {

// The engine wants shared contexts set before the application object exists.
const bool kShareContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

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

// Every entry below the folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        entries[it.filePath()] = file.open(QIODevice::ReadOnly) ? file.readAll() : "<folder>";
    }
    return entries;
}

} // namespace

class tst_HostilePages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        // Every address that is not a page is an image of its own.
        server_.setHandler("*", [](const FixtureRequest& request) {
            return request.path.endsWith(".html")
                       ? FixtureResponse::error(404)
                       : FixtureResponse::bytes(FixtureResponse::gif(request.path), "image/gif");
        });
        server_.addPage("/ok.html", "<html><body>ok</body></html>");
        server_.addPage("/crash/index.html",
                        "<img src=c0.gif><img src=c1.gif><img src=c2.gif><img src=c3.gif>"
                        "<img src=c4.gif><img src=c5.gif><a href='next.html'>next</a>");
        server_.addPage("/crash/next.html", "<img src=n.gif>");
        // Several windows a tick: a hidden page's timers run once a second.
        server_.addPage("/storm/index.html",
                        "<script>setInterval(() => { for (let i = 0; i < 10; ++i) "
                        "open('/ok.html'); }, 1);</script>");
        server_.addPage("/fill/form.html",
                        "<html><body><form method='post' action='send.cgi'><input name='q'>"
                        "<input type='submit'></form></body></html>");
    }
    void rendererDies_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("sure"); // saved images, by name
        QTest::addColumn<QStringList>("may");  // and those that may be
        // The renderer dies before the third image: the two before it are in; the page's links
        // are gone with it.
        QTest::newRow("during a run")
            << "/crash/index.html" << QStringList{"c0.gif", "c1.gif"}
            << QStringList{"c2.gif", "c3.gif", "c4.gif", "c5.gif", "n.gif"};
        QTest::newRow("during a fill") << "/fill/form.html" << QStringList() << QStringList();
    }
    void rendererDies()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, sure);
        QFETCH(QStringList, may);
        const bool fill = page.startsWith("/fill/");

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("session"));
        const QString address = server_.url(page).toString();
        if (fill) {
            const Record form{"Form", "", address, "send.cgi", "q=recorded", "", ""};
            QVERIFY(WriteTextFile(dir.path() + "/session/form.xml", BuildRecordXml(form)));
        }
        WebEngineBrowserFactory browsers;
        ScriptedPrompt prompt;
        CrashingDownloader downloader;
        downloader.crashAt = fill ? 0 : 3;
        downloader.inner.setTimeoutMs(3000);
        ShareEngineSession(downloader.inner);
        // A long capture time-out: a busy machine must not cut the run short.
        BrowserApp app({.browsers = &browsers,
                        .prompt = &prompt,
                        .downloader = &downloader,
                        .programFolder = dir.path(),
                        .captureTimeoutMs = 15000});
        frmBrowser* w = app.startFirstWindow();
        const QString images = w->gstrSaveFolder;
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
            w->cmdSaveImage->click(); // returns when the run has ended
            QCOMPARE(w->cmdSaveImage->text(), u"S A V E    I M A G E"_s);
            QVERIFY(!w->harvestRun.SavingImages);
        }
        QCOMPARE(app.windows().size(), 1);
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible() || top == w || top->inherits("QMenu"),
                     top->metaObject()->className());

        // Files in the image folder only, whole, under expected names.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"Image", "session"}));
        QCOMPARE(QDir(dir.path() + "/session").entryList(QDir::Files),
                 fill ? QStringList{"form.xml"} : QStringList{});
        const QStringList saved = QDir(images).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& name : sure)
            QVERIFY2(saved.contains(name), qPrintable("missing " + name));
        for (const QString& name : saved) {
            QVERIFY2(sure.contains(name) || may.contains(name), qPrintable("unexpected " + name));
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
    void popupStormWithoutBlocking()
    {
        QTemporaryDir dir;
        WebEngineBrowserFactory browsers;
        ScriptedPrompt prompt;
        BrowserApp app({.browsers = &browsers, .prompt = &prompt, .programFolder = dir.path()});
        frmBrowser* w = app.startFirstWindow();
        w->txtUrl->setText(server_.url("/storm/index.html").toString());
        w->cmdPlayback_Click();
        // Twenty real windows take long to make on a busy machine.
        QVERIFY(waitUntil([&] { return w->statusPanel(3)->text().section(' ', 0, 0).toInt() > 3; },
                          90000));
        QCOMPARE(app.windows().size(), 21);
    }

    void userIsToldAndNothingIsLost_data()
    {
        QTest::addColumn<bool>("images"); // the image folder rather than the session folder
        QTest::newRow("session") << false;
        QTest::newRow("images") << true;
    }
    void userIsToldAndNothingIsLost()
    {
        QFETCH(bool, images);
        server_.clearRequests();
        QTemporaryDir dir;
        const QString sessions = SessionFolderPath(dir.path());
        const QString imageFolder = JoinPath(dir.path(), u"Image"_s);
        QVERIFY(QDir().mkdir(sessions) && QDir().mkdir(imageFolder));
        const Record old{"Form", "Old", "http://old/form.cgi", "", "", "", ""};
        QVERIFY(WriteTextFile(JoinPath(sessions, u"old.xml"_s), BuildRecordXml(old)));
        QVERIFY(WriteTextFile(JoinPath(imageFolder, u"old.gif"_s), u"GIF"_s));

        FakeBrowserFactory browsers;
        ScriptedPrompt prompt;
        NetworkImageDownloader downloader;
        downloader.setTimeoutMs(5000);
        BrowserApp app({.browsers = &browsers,
                        .prompt = &prompt,
                        .downloader = &downloader,
                        .programFolder = dir.path()});
        frmBrowser* w = app.startFirstWindow();

        RecordPanel* panel = w->records();
        if (images) {
            auto page = FakeDocument::create(server_.url("/index.html").toString());
            for (int i = 0; i < 10; ++i)
                page->addImage(u"i/%1.gif"_s.arg(i));
            browsers.browser(0)->load(page);
        } else {
            AddRecord(*panel->ListView1, {"Form", "", "http://new/form.cgi", "", "", "", ""},
                      panel->counters);
            panel->SSTab1->setCurrentIndex(1);
            panel->ListView1->setCurrentItem(panel->ListView1->topLevelItem(0));
        }
        QPushButton* act = images ? w->cmdSaveImage : panel->cmdSave;
        QVERIFY(act->isEnabled());

        const QMap<QString, QByteArray> before = snapshot(dir.path());
        prompt.answer(PromptAnswer::Ok);
        {
            // A file size limit of zero fails every byte written, as on a full disk.
            rlimit saved{};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &saved); });
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit none = saved;
            none.rlim_cur = 0;
            if (::setrlimit(RLIMIT_FSIZE, &none) != 0)
                QSKIP("the file size limit cannot be lowered");
            act->click();
        }

        QCOMPARE(prompt.texts().size(), 1);
        const QString told = prompt.texts().at(0);
        QVERIFY2(told.startsWith(images ? "The images could not be saved to the folder "
                                        : "The record session could not be saved to the file "),
                 qPrintable(told));
        QCOMPARE(snapshot(dir.path()), before);
        if (images) {
            // The run ended at the first refusal instead of fetching what it cannot keep.
            QVERIFY(server_.totalRequests() <= 1);
            QCOMPARE(w->cmdSaveImage->text(), u"S A V E    I M A G E"_s);
            QVERIFY(!w->harvestRun.SavingImages);
        } else {
            QCOMPARE(panel->ListView1->topLevelItemCount(), 1); // still there to save
        }
    }

private:
    FixtureServer server_;
};

QTEST_MAIN(tst_HostilePages)
#include "tst_hostilepages.moc"
