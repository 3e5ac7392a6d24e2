#include "browserapp.h"
#include "browsermenus.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "scriptedprompt.h"
#include "webenginebrowser.h"
#include "webenginebrowserfactory.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <memory>

using namespace brackenly;

namespace {

void writeSession(const QString& folder, const QString& name, const QString& url,
                  const QString& action, const QString& postData)
{
    QFile file(folder + QStringLiteral("/session/") + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString text = QStringLiteral("<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n"
                                        "    <Type>Form</Type>\r\n    <Session>%1</Session>\r\n"
                                        "    <Url>%2</Url>\r\n    <Action>%3</Action>\r\n"
                                        "    <Postdata>%4</Postdata>\r\n    <Header></Header>\r\n"
                                        "    <Frame></Frame>\r\n</Quillmark>\r\n")
                             .arg(name, url, action, postData);
    file.write(text.toLatin1());
}

} // namespace

// Recorded sessions played back on the real engine: the window loads them at start, fills
// the recorded form after "B R O W S E" and submits it; the server sees the POST body.
class tst_PlaybackWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void loadsSessionsAtStart();
    void browsesAndGoesBack();
    void fillsAndSubmitsAChainOfForms();
    void scriptTrackedFieldsSeeTheFilledValues_data();
    void scriptTrackedFieldsSeeTheFilledValues();
    void recordedLoginPlaysBack();

private:
    void startWindow();
    void browse(const QString& url);

    FixtureServer server_;
    WebEngineBrowserFactory browsers_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<BrowserApp> app_;
    frmBrowser* w_ = nullptr;
};

void tst_PlaybackWindow::initTestCase()
{
    QVERIFY(server_.start());
    server_.addPage(
        QStringLiteral("/login.html"),
        QStringLiteral(
            "<html><body><form method='post' action='check.cgi'>"
            "<input type='text' name='user' value='typed'><input type='password' name='pass'>"
            "<input type='submit' value='Go'></form></body></html>"));
    server_.addPage(
        QStringLiteral("/check.cgi"),
        QStringLiteral(
            "<html><body><form method='post' action='/step2.cgi'>"
            "<input type='text' name='city'><select name='size'><option value='s'>Small</option>"
            "<option value='l'>Large</option></select><input type='submit'></form></body></html>"));
    server_.addPage(QStringLiteral("/step2.cgi"), QStringLiteral("<html><body>done</body></html>"));
    // A page whose script keeps its own copy of the field and submits that copy.
    server_.addPage(
        QStringLiteral("/tracked.html"),
        QStringLiteral(
            "<html><body><form method='post' action='/tracked.cgi' id='f'>"
            "<input type='text' name='q' id='q'><input type='hidden' name='copy' id='copy'>"
            "<input type='submit'></form><script>"
            "document.getElementById('q').addEventListener('input', e => "
            "  document.getElementById('copy').value = 'seen:' + e.target.value);"
            "</script></body></html>"));
    server_.addPage(QStringLiteral("/tracked.cgi"), QStringLiteral("<html><body>ok</body></html>"));
    server_.addPage(QStringLiteral("/slow.html"), QStringLiteral("<html><body>slow</body></html>"));
    server_.setDelay(QStringLiteral("/slow.html"), 1500);
}

void tst_PlaybackWindow::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("session")));
    prompt_ = std::make_unique<ScriptedPrompt>();
    server_.clearRequests();
}

void tst_PlaybackWindow::cleanup()
{
    app_.reset();
    w_ = nullptr;
}

void tst_PlaybackWindow::startWindow()
{
    Services services;
    services.browsers = &browsers_;
    services.prompt = prompt_.get();
    services.programFolder = dir_->path();
    app_ = std::make_unique<BrowserApp>(services);
    w_ = app_->startFirstWindow();
}

void tst_PlaybackWindow::browse(const QString& url)
{
    w_->txtUrl->setText(url);
    QTest::mouseClick(w_->cmdPlayback, Qt::LeftButton);
}

void tst_PlaybackWindow::loadsSessionsAtStart()
{
    writeSession(dir_->path(), QStringLiteral("a.xml"), QStringLiteral("http://h/a"), QString(),
                 QString());
    writeSession(dir_->path(), QStringLiteral("b.XML"), QStringLiteral("http://h/b"), QString(),
                 QString());
    startWindow();
    QCOMPARE(w_->statusText(), QStringLiteral("2 Permanent Record"));
    QCOMPARE(w_->records()->lvwPermanent->topLevelItemCount(), 2);
    QVERIFY(QDir(dir_->path() + QStringLiteral("/Image")).exists());
}

// The first window on the real engine: busy while loading, "S A V E    I M A G E" for a page
// only, "B A C K" as far as the history goes.
void tst_PlaybackWindow::browsesAndGoesBack()
{
    const QString slow = server_.url(QStringLiteral("/slow.html")).toString();
    startWindow();
    browse(slow);
    QTRY_VERIFY_WITH_TIMEOUT(w_->statusText().startsWith("Going to " + slow + "..."), 10000);
    QVERIFY(!w_->cmdSaveImage->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(w_->strLastUrl, slow, 20000);
    QCOMPARE(w_->statusText(), QString());
    QVERIFY(!w_->Timer1->isActive());
    QVERIFY(w_->cmdSaveImage->isEnabled());
    QVERIFY(!w_->cmdBack->isEnabled());
    browse(QStringLiteral("about:blank"));
    QTRY_COMPARE_WITH_TIMEOUT(w_->strLastUrl, QStringLiteral("about:blank"), 20000);
    QVERIFY(!w_->cmdSaveImage->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(w_->cmdBack->isEnabled(), 5000);
    QTest::mouseClick(w_->cmdBack, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w_->strLastUrl, slow, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!w_->cmdBack->isEnabled(), 5000);
}

void tst_PlaybackWindow::fillsAndSubmitsAChainOfForms()
{
    const QString login = server_.url(QStringLiteral("/login.html")).toString();
    writeSession(dir_->path(), QStringLiteral("login.xml"), login, QStringLiteral("check.cgi"),
                 QStringLiteral("user=alice&pass=s%26cret"));
    writeSession(dir_->path(), QStringLiteral("step.xml"),
                 server_.url(QStringLiteral("/check.cgi")).toString(),
                 QStringLiteral("http://elsewhere/step2.cgi"),
                 QStringLiteral("city=Bergen&size=Large"));
    startWindow();
    prompt_->answer(PromptAnswer::Ok).answer(PromptAnswer::Ok);
    browse(login);
    QVERIFY(server_.waitForRequest(QStringLiteral("/check.cgi"), 20000));
    QCOMPARE(server_.requestsFor(QStringLiteral("/check.cgi")).first().body,
             QByteArray("user=alice&pass=s%26cret"));
    // The submitted page holds the next recorded form: it plays on without the user.
    QVERIFY(server_.waitForRequest(QStringLiteral("/step2.cgi"), 20000));
    QCOMPARE(server_.requestsFor(QStringLiteral("/step2.cgi")).first().body,
             QByteArray("city=Bergen&size=l"));
    QCOMPARE(prompt_->questions().size(), 2);
    QCOMPARE(prompt_->questions().first().text,
             QStringLiteral("Do you want to auto fill-in this form"));
    QCOMPARE(prompt_->questions().first().title, QStringLiteral("Session=login.xml"));
}

void tst_PlaybackWindow::scriptTrackedFieldsSeeTheFilledValues_data()
{
    QTest::addColumn<bool>("manual");
    QTest::newRow("Auto Click") << false;
    // The values must reach the page although nothing of the program clicks after them.
    QTest::newRow("Manual Click, the user submits") << true;
}

void tst_PlaybackWindow::scriptTrackedFieldsSeeTheFilledValues()
{
    QFETCH(bool, manual);
    const QString page = server_.url(QStringLiteral("/tracked.html")).toString();
    writeSession(dir_->path(), QStringLiteral("t.xml"), page, QStringLiteral("tracked.cgi"),
                 QStringLiteral("q=hello+world&copy="));
    startWindow();
    if (manual)
        w_->menus()->mnuManualClick->trigger();
    prompt_->answer(PromptAnswer::Ok);
    browse(page);
    if (manual) {
        QTRY_COMPARE_WITH_TIMEOUT(w_->LastCompletedUrl, page, 20000);
        QCOMPARE(server_.requestCount(QStringLiteral("/tracked.cgi")), 0);
        qobject_cast<WebEngineBrowser*>(w_->browser())
            ->page()
            ->runJavaScript(QStringLiteral("document.forms[0][2].click();"));
    }
    QVERIFY(server_.waitForRequest(QStringLiteral("/tracked.cgi"), 20000));
    QCOMPARE(server_.requestsFor(QStringLiteral("/tracked.cgi")).first().body,
             QByteArray("q=hello+world&copy=seen%3Ahello+world"));
}

void tst_PlaybackWindow::recordedLoginPlaysBack()
{
    const QString login = server_.url(QStringLiteral("/login.html")).toString();
    startWindow();
    w_->menus()->mnuAutoRecord->trigger();
    browse(login);
    QTRY_COMPARE_WITH_TIMEOUT(w_->LastCompletedUrl, login, 20000);
    // The user types and presses the button (through the page's world: typing is not tested).
    qobject_cast<WebEngineBrowser*>(w_->browser())
        ->page()
        ->runJavaScript(QStringLiteral("var f = document.forms[0]; f.user.value = 'Ann B&=+%2B';"
                                       "f.pass.value = 'p\u00e4\u20acss'; f[2].click();"));
    QVERIFY(server_.waitForRequest(QStringLiteral("/check.cgi"), 20000));
    const QByteArray sent = server_.requestsFor(QStringLiteral("/check.cgi")).first().body;
    QVERIFY2(sent.startsWith("user=Ann+B%26%3D%2B%252B&pass=p%"), sent); // what was typed
    RecordPanel* records = w_->records();
    QTRY_COMPARE_WITH_TIMEOUT(records->ListView1->topLevelItemCount(), 1, 10000);

    // "Move Record to Permanent", then a new start: the session file is all that is left.
    records->SSTab1->setCurrentIndex(1);
    records->ListView1->setCurrentItem(records->ListView1->topLevelItem(0));
    records->cmdSave->click();
    QCOMPARE(records->lvwPermanent->topLevelItemCount(), 1);
    app_.reset();
    server_.clearRequests();
    startWindow();
    prompt_->answer(PromptAnswer::Ok);
    browse(login);
    QVERIFY(server_.waitForRequest(QStringLiteral("/check.cgi"), 20000));
    QCOMPARE(server_.requestsFor(QStringLiteral("/check.cgi")).first().body, sent);
    QCOMPARE(prompt_->questions().first().title, QStringLiteral("Session=Session1"));
    QCOMPARE(w_->records()->ListView1->topLevelItemCount(), 0); // unmarked: nothing recorded
}

QTEST_MAIN(tst_PlaybackWindow)
#include "tst_playbackwindow.moc"
