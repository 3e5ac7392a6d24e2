#include "browserapp.h"
#include "engineerror.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "scriptedprompt.h"
#include "webenginebrowserfactory.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace brackenly;

// The first window on the real engine against the loopback fixture server.
class tst_BrowserWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void browseShowsProgressThenCompletes();
    void blankPageDisablesSaveImage();
    void backReturnsToThePreviousPage();
    void hungPageDoesNotFreezeTheWindow();

private:
    void browse(const QString& address);
    bool waitForTopCompletion(const QString& url, int timeoutMs = 15000);

    FixtureServer server_;
    WebEngineBrowserFactory browsers_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<BrowserApp> app_;
    frmBrowser* w_ = nullptr;
    QList<QPair<QList<int>, QString>> completions_;
};

void tst_BrowserWindow::initTestCase()
{
    QVERIFY(server_.start());
    server_.addPage(
        QStringLiteral("/a.html"),
        QStringLiteral("<html><body><a href='/b.html'>b</a><img src='/i.png'></body></html>"));
    server_.addImage(QStringLiteral("/i.png"));
    server_.addPage(QStringLiteral("/b.html"), QStringLiteral("<html><body>second</body></html>"));
    server_.addPage(QStringLiteral("/slow.html"), QStringLiteral("<html><body>slow</body></html>"));
    server_.setDelay(QStringLiteral("/slow.html"), 1500);
    server_.addPage(QStringLiteral("/hang.html"),
                    QStringLiteral("<html><body>hang<script>setTimeout(() => { while (true) {} }, "
                                   "200);</script></body></html>"));
}

void tst_BrowserWindow::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    prompt_ = std::make_unique<ScriptedPrompt>();
    Services services;
    services.browsers = &browsers_;
    services.prompt = prompt_.get();
    services.programFolder = dir_->path();
    app_ = std::make_unique<BrowserApp>(services);
    w_ = app_->startFirstWindow();
    completions_.clear();
    connect(w_->browser(), &Browser::DocumentComplete, this,
            [this](const FrameRef& frame, const QString& url) {
                completions_.append({frame.path(), url});
            });
}

void tst_BrowserWindow::cleanup()
{
    app_.reset();
    w_ = nullptr;
}

void tst_BrowserWindow::browse(const QString& address)
{
    w_->txtUrl->setText(address);
    QTest::mouseClick(w_->cmdPlayback, Qt::LeftButton);
}

bool tst_BrowserWindow::waitForTopCompletion(const QString& url, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        for (const auto& c : std::as_const(completions_))
            if (c.first.isEmpty() && c.second == url)
                return true;
        QTest::qWait(20);
    }
    return false;
}

void tst_BrowserWindow::browseShowsProgressThenCompletes()
{
    const QString url = server_.url(QStringLiteral("/slow.html")).toString();
    browse(url);
    QVERIFY(server_.waitForRequest(QStringLiteral("/slow.html"), 10000));
    QTRY_VERIFY_WITH_TIMEOUT(w_->statusText().startsWith(QStringLiteral("Going to ") + url + "..."),
                             5000);
    QVERIFY(!w_->cmdSaveImage->isEnabled());
    QVERIFY(waitForTopCompletion(url));
    QCOMPARE(w_->statusText(), QString());
    QVERIFY(!w_->Timer1->isActive());
    QVERIFY(w_->cmdSaveImage->isEnabled());
    QCOMPARE(w_->strLastUrl, url);
}

void tst_BrowserWindow::blankPageDisablesSaveImage()
{
    const QString url = server_.url(QStringLiteral("/a.html")).toString();
    browse(url);
    QVERIFY(waitForTopCompletion(url));
    QVERIFY(w_->cmdSaveImage->isEnabled());
    browse(QStringLiteral("about:blank"));
    QVERIFY(waitForTopCompletion(QStringLiteral("about:blank")));
    QVERIFY(!w_->cmdSaveImage->isEnabled());
}

void tst_BrowserWindow::backReturnsToThePreviousPage()
{
    const QString first = server_.url(QStringLiteral("/a.html")).toString();
    const QString second = server_.url(QStringLiteral("/b.html")).toString();
    browse(first);
    QVERIFY(waitForTopCompletion(first));
    QVERIFY(!w_->cmdBack->isEnabled());
    browse(second);
    QVERIFY(waitForTopCompletion(second));
    QTRY_VERIFY_WITH_TIMEOUT(w_->cmdBack->isEnabled(), 5000);
    completions_.clear();
    QTest::mouseClick(w_->cmdBack, Qt::LeftButton);
    QVERIFY(waitForTopCompletion(first));
    QCOMPARE(w_->strLastUrl, first);
    QTRY_VERIFY_WITH_TIMEOUT(!w_->cmdBack->isEnabled(), 5000);
}

void tst_BrowserWindow::hungPageDoesNotFreezeTheWindow()
{
    const QString url = server_.url(QStringLiteral("/hang.html")).toString();
    browse(url);
    QVERIFY(waitForTopCompletion(url));
    QTest::qWait(400); // the page's script is now looping
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(50);
    QElapsedTimer timer;
    timer.start();
    bool failed = false;
    try {
        w_->browser()->document()->images();
    } catch (const EngineError&) {
        failed = true;
    }
    QVERIFY(failed);
    QVERIFY2(timer.elapsed() < 10000, "a call on a hung page must give up within its limit");
    QVERIFY2(ticks > 0, "the window must keep handling events while it waits");
    // The window stays usable: the next navigation gets a fresh renderer and completes.
    const QString next = server_.url(QStringLiteral("/b.html")).toString();
    completions_.clear();
    browse(next);
    QVERIFY(waitForTopCompletion(next));
    QCOMPARE(w_->strLastUrl, next);
}

QTEST_MAIN(tst_BrowserWindow)
#include "tst_browserwindow.moc"
