#include "browserapp.h"
#include "enginesession.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "frmpopup.h"
#include "networkimagedownloader.h"
#include "popuprouter.h"
#include "scriptedprompt.h"
#include "webenginebrowserfactory.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace brackenly;
using namespace Qt::StringLiterals;

namespace {
// The engine wants shared contexts set before the application object exists.
const bool kShareContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

struct CountingDownloader : ImageDownloader
{
    bool download(const QString& src, const QString& path, Browser* page) override
    {
        ++calls;
        return inner.download(src, path, page);
    }
    bool prepare(const QStringList& srcs, Browser* page) override
    {
        return inner.prepare(srcs, page);
    }
    NetworkImageDownloader inner;
    int calls = 0;
};
} // namespace

// An image-saving run on the real engine against the loopback server.
class tst_HarvestEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void galleryRun()
    {
        FixtureServer server;
        QVERIFY(server.start());
        server.addPage("/g/index.html",
                       "<html><body><img src=\"img/a.gif\"> <img src=\"show.php?id=7&amp;s=big\">"
                       "<a href=\"big1.html\"><img src=\"thumbs/t1.gif\"></a>"
                       "<a href=\"page1.html\">one</a> <a href=\"framed.html\">framed</a>"
                       "<a href=\"page2.html\">two</a>"
                       "<a href=\"javascript:void(window.open('pop.html'))\">pop</a>"
                       "</body></html>");
        server.addPage("/g/page1.html", "<html><body><img src=\"img/p1.gif\"></body></html>");
        server.addPage("/g/page2.html",
                       "<html><body><img src=\"img/p2.gif\"><img src=\"img/a.gif\"></body></html>");
        // Its frame completes before it does.
        server.addPage("/g/framed.html", "<frameset><frame src=\"inner.html\"></frameset>");
        server.addPage("/g/inner.html", "<html><body><img src=\"img/f.gif\"></body></html>");
        server.addPage("/g/big1.html", "<html><body><img src=\"img/big.gif\"></body></html>");
        server.addPage("/g/pop.html", "<html><body><img src=\"img/pop.gif\">"
                                      "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\">"
                                      "</body></html>");
        for (const char* path :
             {"/g/img/a.gif", "/g/show.php", "/g/thumbs/t1.gif", "/g/img/p1.gif", "/g/img/p2.gif",
              "/g/img/big.gif", "/g/img/pop.gif", "/g/img/f.gif"})
            server.addImage(path);

        QTemporaryDir dir;
        WebEngineBrowserFactory browsers;
        CountingDownloader counter;
        counter.inner.setTimeoutMs(5000);
        ShareEngineSession(counter.inner);
        ScriptedPrompt prompt;
        BrowserApp app({.browsers = &browsers,
                        .prompt = &prompt,
                        .downloader = &counter,
                        .programFolder = dir.path(),
                        .captureTimeoutMs = 8000});
        frmBrowser* w = app.startFirstWindow();
        w->gstrSaveFolder = dir.path();
        const QString address = server.url("/g/index.html").toString();
        w->txtUrl->setText(address);
        w->cmdPlayback_Click();
        QTRY_VERIFY_WITH_TIMEOUT(w->strLastUrl == address && w->LastCompletedBrowser.isTop() &&
                                     w->cmdSaveImage->isEnabled(),
                                 15000);

        const QStringList names{"a.gif",  "f.gif",   "id_7&s_big.jpg", "p1.gif",
                                "p2.gif", "pop.gif", "t1.gif"};
        w->cmdSaveImage->click();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), names);
        QCOMPARE(counter.calls, int(names.size())); // a.gif of page2.html was not fetched again
        // Each image was asked of the server once, by the page showing it: the bytes saved came
        // from the engine's cache. (a.gif is shown by two pages, so loaded twice.)
        for (const char* path : {"/g/show.php", "/g/thumbs/t1.gif", "/g/img/p1.gif",
                                 "/g/img/p2.gif", "/g/img/pop.gif"})
            QVERIFY2(server.requestCount(path) == 1, path);
        QVERIFY(w->prgRun->isHidden());
        QCOMPARE(w->cmdSaveImage->text(), u"S A V E    I M A G E"_s);
        QVERIFY(!w->harvestRun.gbTimeOut); // every wait ended by a report, not the time-out
        QCOMPARE(server.requestCount("/g/big1.html"), 0);
        QCOMPARE(w->popupRouter()->lastCapturePopup()->captureStatus(), u"Finished"_s);
        QCOMPARE(app.windows().size(), 1); // the pop-up went to a capture pop-up window
        for (QWidget* popup : QApplication::topLevelWidgets())
            delete qobject_cast<frmPopup*>(popup);
    }
};

QTEST_MAIN(tst_HarvestEngine)
#include "tst_harvestengine.moc"
