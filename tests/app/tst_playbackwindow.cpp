#include "browserapp.h"
#include "browsermenus.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "recordfile.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "scriptedprompt.h"
#include "webenginebrowser.h"
#include "webenginebrowserfactory.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <memory>

using namespace brackenly;
using namespace Qt::StringLiterals;

// Recorded sessions played back on the real engine: the window fills the recorded form after
// "B R O W S E" and submits it (or the user does); the server sees the POST body.
class tst_PlaybackWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        server_.addPage(
            u"/login.html"_s,
            QStringLiteral(
                "<html><body><form method='post' action='check.cgi'>"
                "<input type='text' name='user' value='typed'><input type='password' name='pass'>"
                "<input type='submit' value='Go'></form></body></html>"));
        // The page's script keeps its own copy of a field and submits that copy.
        server_.addPage(
            u"/check.cgi"_s,
            QStringLiteral(
                "<html><body><form method='post' action='/step2.cgi'><input type='text' "
                "name='city' "
                "id='city'><select name='size'><option value='s'>Small</option><option value='l'>"
                "Large</option></select><input type='hidden' name='copy' id='copy'><input "
                "type='submit'></form><script>document.getElementById('city').addEventListener("
                "'input', e => document.getElementById('copy').value = 'seen:' + e.target.value);"
                "</script></body></html>"));
        server_.addPage(u"/step2.cgi"_s, u"<html><body>done</body></html>"_s);
    }
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(dir_->path()).mkdir(u"session"_s));
        prompt_ = std::make_unique<ScriptedPrompt>();
        server_.clearRequests();
    }
    void cleanup()
    {
        app_.reset();
        w_ = nullptr;
    }
    void playsAChainOfForms_data()
    {
        QTest::addColumn<bool>("manual");
        QTest::newRow("Auto Click") << false;
        // The values must reach the page although nothing of the program clicks after them.
        QTest::newRow("Manual Click, the user submits") << true;
    }
    void playsAChainOfForms()
    {
        QFETCH(bool, manual);
        writeSession(u"login.xml"_s, u"/login.html"_s, u"check.cgi"_s,
                     u"user=alice&pass=s%26cret"_s);
        // The submitted page holds the next recorded form: it plays on without the user.
        writeSession(u"step.xml"_s, u"/check.cgi"_s, u"http://elsewhere/step2.cgi"_s,
                     u"city=Bergen&size=Large&copy="_s);
        startWindow();
        if (manual)
            w_->menus()->mnuManualClick->trigger();
        prompt_->answer(PromptAnswer::Ok).answer(PromptAnswer::Ok);
        const QString steps[2][3] = {
            {"/login.html", "/check.cgi", "user=alice&pass=s%26cret"},
            {"/check.cgi", "/step2.cgi", "city=Bergen&size=l&copy=seen%3ABergen"}};
        browse(server_.url(steps[0][0]).toString());
        for (const auto& [page, post, body] : steps) {
            if (manual) {
                QTRY_COMPARE_WITH_TIMEOUT(w_->LastCompletedUrl, server_.url(page).toString(),
                                          20000);
                QCOMPARE(server_.requestCount(post), 0);
                userClicks(u"document.querySelector('[type=submit]').click();"_s);
            }
            QVERIFY(server_.waitForRequest(post, 20000));
            QCOMPARE(server_.requestsFor(post).first().body, body.toLatin1());
        }
        QCOMPARE(prompt_->questions().size(), 2);
        QCOMPARE(prompt_->questions().first().text, u"Do you want to auto fill-in this form"_s);
        QCOMPARE(prompt_->questions().first().title, u"Session=login.xml"_s);
    }
    void recordedLoginPlaysBack()
    {
        const QString login = server_.url(u"/login.html"_s).toString();
        startWindow();
        w_->menus()->mnuAutoRecord->trigger();
        browse(login);
        QTRY_COMPARE_WITH_TIMEOUT(w_->LastCompletedUrl, login, 20000);
        // The user types and presses the button (through the page's world: typing is not tested).
        userClicks(QStringLiteral("var f = document.forms[0]; f.user.value = 'Ann B&=+%2B';"
                                  "f.pass.value = 'p\u00e4\u20acss'; f[2].click();"));
        QVERIFY(server_.waitForRequest(u"/check.cgi"_s, 20000));
        const QByteArray sent = server_.requestsFor(u"/check.cgi"_s).first().body;
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
        QVERIFY(server_.waitForRequest(u"/check.cgi"_s, 20000));
        QCOMPARE(server_.requestsFor(u"/check.cgi"_s).first().body, sent);
        QCOMPARE(prompt_->questions().first().title, u"Session=Session1"_s);
        QCOMPARE(w_->records()->ListView1->topLevelItemCount(), 0); // unmarked: nothing recorded
    }

private:
    void startWindow()
    {
        app_ = std::make_unique<BrowserApp>(Services{
            .browsers = &browsers_, .prompt = prompt_.get(), .programFolder = dir_->path()});
        w_ = app_->startFirstWindow();
    }
    void browse(const QString& url)
    {
        w_->txtUrl->setText(url);
        QTest::mouseClick(w_->cmdPlayback, Qt::LeftButton);
    }
    void writeSession(const QString& name, const QString& path, const QString& action,
                      const QString& postData);
    // In the page's own world, as a person's click would.
    void userClicks(const QString& script)
    {
        qobject_cast<WebEngineBrowser*>(w_->browser())->page()->runJavaScript(script);
    }

    FixtureServer server_;
    WebEngineBrowserFactory browsers_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<BrowserApp> app_;
    frmBrowser* w_ = nullptr;
};

void tst_PlaybackWindow::writeSession(const QString& name, const QString& path,
                                      const QString& action, const QString& postData)
{
    const Record r{"Form", name, server_.url(path).toString(), action, postData, "", ""};
    QVERIFY(WriteTextFile(dir_->path() + u"/session/"_s + name, BuildRecordXml(r)));
}

QTEST_MAIN(tst_PlaybackWindow)
#include "tst_playbackwindow.moc"
