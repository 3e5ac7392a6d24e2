// Playback on the real engine. Recorded sessions played in the window: it fills the recorded
// form after "B R O W S E" and submits it (or the user does); the server sees the POST body.
// And recorded values reach the recorded page, and only that page, however a page on another
// host name frames it, swaps it or navigates away meanwhile.

#include "../platform/enginetesting.h"
#include "browserapp.h"
#include "browsermenus.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "playbackrig.h"
#include "recordfile.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "webenginebrowserfactory.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <memory>

using namespace brackenly;
using namespace brackenly::enginetesting;
using namespace Qt::StringLiterals;

namespace {

const QString kPost = QStringLiteral("user=alice&pass=s3cret&go=Go");

// A page on another host name with the login form's fields; every edit and submission of
// its form is logged into the field "log".
const QString kLookAlike = QStringLiteral(R"(<html><body>
<form method="post" action="/evil/steal/check.cgi"><input name="user"><input type="password"
name="pass"><input type="submit" name="go" value="Go"></form><input type="hidden" name="log">
<script>const log = document.getElementsByName('log')[0];
document.addEventListener('input', e => log.value += e.target.name + ';', true);
document.forms[0].addEventListener('submit', () => log.value += 'submit;');</script>
</body></html>)");

} // namespace

class tst_PlaybackEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        // The engine lists fieldset, output and object among a form's elements too; none of
        // them is a field to fill.
        server_.addPage("/bank/login.html",
                        "<html><body><form method='post' action='check.cgi'><fieldset><legend>L"
                        "</legend><input name='user'></fieldset><output name='o'>1</output>"
                        "<object name='b'></object><input type='password' name='pass'>"
                        "<input type='submit' name='go' value='Go'></form></body></html>");
        server_.addPage("/bank/check.cgi", "ok");
        server_.addPage("/evil/lookalike.html", kLookAlike);
        server_.addPage("/evil/steal/check.cgi", "got it");
        // The login frame goes at its load; the look-alike frame moves up to its index.
        server_.addPage("/evil/removed.html", "<iframe src='" + bank() +
                                                  "' onload='this.remove()'></iframe>"
                                                  "<iframe src='/evil/lookalike.html'></iframe>");
        server_.addPage("/evil/navigated.html",
                        "<iframe src='" + bank() +
                            "' onload=\"if (!this.done) { this.done = 1;"
                            " this.src = '/evil/lookalike.html'; }\"></iframe>");
        server_.addPage(u"/login.html"_s, uR"(<html><body><form method='post' action='check.cgi'>
<input type='text' name='user' value='typed'><input type='password' name='pass'>
<input type='submit' value='Go'></form></body></html>)"_s);
        // The page's script keeps its own copy of a field and submits that copy.
        server_.addPage(u"/check.cgi"_s, uR"(<html><body><form method='post' action='/step2.cgi'>
<input type='text' name='city' id='city'><select name='size'><option value='s'>Small</option>
<option value='l'>Large</option></select><input type='hidden' name='copy' id='copy'>
<input type='submit'></form><script>document.getElementById('city').addEventListener('input',
e => document.getElementById('copy').value = 'seen:' + e.target.value);</script></body></html>)"_s);
        server_.addPage(u"/step2.cgi"_s, u"<html><body>done</body></html>"_s);
    }
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        prompt_ = std::make_unique<ScriptedPrompt>();
        server_.clearRequests();
    }
    void cleanup()
    {
        app_.reset();
        w_ = nullptr;
    }
    // A login recorded on the real engine, moved to the permanent list and played after a new
    // start; the page it submits to holds the next recorded form, which plays on.
    void recordedLoginPlaysAChain_data()
    {
        QTest::addColumn<bool>("manual");
        QTest::newRow("Auto Click") << false;
        // The values must reach the page although nothing of the program clicks after them.
        QTest::newRow("Manual Click, the user submits") << true;
    }
    void recordedLoginPlaysAChain()
    {
        QFETCH(bool, manual);
        const QString login = server_.url(u"/login.html"_s).toString();
        startWindow();
        w_->menus()->mnuAutoRecord->trigger();
        browse(login);
        QTRY_COMPARE_WITH_TIMEOUT(w_->LastCompletedUrl, login, 20000);
        // The user types and presses the button (through the page's world: typing is not tested).
        userClicks(QStringLiteral("var f = document.forms[0]; f.user.value = 'Ann B&=+%2B';"
                                  "f.pass.value = 'p\u00e4\u20acss'; f[2].click();"));
        QVERIFY(server_.waitForRequest(u"/check.cgi"_s, 20000));
        const QString sent = server_.requestsFor(u"/check.cgi"_s).first().body;
        QVERIFY2(sent.startsWith("user=Ann+B%26%3D%2B%252B&pass=p%"), qPrintable(sent));
        RecordPanel* records = w_->records();
        QTRY_COMPARE_WITH_TIMEOUT(records->ListView1->topLevelItemCount(), 1, 10000);

        // "Move Record to Permanent", then a new start: the session file is all that is left.
        records->SSTab1->setCurrentIndex(1);
        records->ListView1->setCurrentItem(records->ListView1->topLevelItem(0));
        records->cmdSave->click();
        app_.reset();
        server_.clearRequests();
        const QString next = server_.url(u"/check.cgi"_s).toString();
        QVERIFY(WriteTextFile(dir_->path() + u"/session/next.xml"_s,
                              BuildRecordXml({"Form", "next", next, "http://elsewhere/step2.cgi",
                                              "city=Bergen&size=Large&copy=", "", ""})));
        startWindow();
        if (manual)
            w_->menus()->mnuManualClick->trigger();
        prompt_->answer(PromptAnswer::Ok).answer(PromptAnswer::Ok);
        const QString steps[2][3] = {
            {"/login.html", "/check.cgi", sent},
            {"/check.cgi", "/step2.cgi", "city=Bergen&size=l&copy=seen%3ABergen"}};
        browse(login);
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
        QCOMPARE(prompt_->texts(), QStringList(2, u"Do you want to auto fill-in this form"_s));
        QCOMPARE(w_->records()->ListView1->topLevelItemCount(), 0); // unmarked: nothing recorded
    }

    void recordedValuesStayOnTheirPage_data()
    {
        QTest::addColumn<QString>("page");         // browsed; the record is the bank's login page
        QTest::addColumn<QList<int>>("lookAlike"); // where the look-alike ends up; {-1}: none
        QTest::newRow("the recorded page") << bank() << QList<int>{-1};
        QTest::newRow("frame removed on load") << evil("removed.html") << QList<int>{0};
        QTest::newRow("frame navigated") << evil("navigated.html") << QList<int>{0};
    }
    void recordedValuesStayOnTheirPage()
    {
        QFETCH(QString, page);
        QFETCH(QList<int>, lookAlike);
        const bool attacked = lookAlike != QList<int>{-1};
        WebEngineBrowser::setCallTimeoutMs(3000); // the window's tests above keep the default
        WebEngineBrowser browser;
        showView(browser);
        PlaybackRig host;
        host.setMarks("1010");
        host.records = {{"Form", "bank", bank(), "check.cgi", kPost, {}, {}}};
        PlaybackDriver driver(host, host.actions());
        CompletionLog log(&browser);
        const auto lookAlikeLoaded = [&] {
            return !log.entries.filter(evil("lookalike")).isEmpty();
        };
        bool stepped = false; // the step of the login page's completion has returned
        connect(&browser, &Browser::DocumentComplete, this,
                [&](const FrameRef& frame, const QString& url) {
                    driver.PlaybackStep(frame, url);
                    host.lastUrl = url;
                    stepped = stepped || url == bank();
                });
        host.scripted.answer([&](const ScriptedPrompt::Question&) {
            if (attacked)
                waitUntil(lookAlikeLoaded);
            return PromptAnswer::Ok;
        });

        browser.Navigate(page);
        QVERIFY(waitUntil([&] { return stepped; }, 20000));
        QCOMPARE(host.scripted.texts(), QStringList{"Do you want to auto fill-in this form"});
        if (!attacked) {
            QVERIFY(server_.waitForRequest("/bank/check.cgi", 10000));
            QCOMPARE(server_.requestsFor("/bank/check.cgi").constFirst().body, kPost.toUtf8());
            return;
        }
        QVERIFY(lookAlikeLoaded());
        // The look-alike saw no edit and no submission; its server got nothing.
        QString edits = "gone";
        try {
            for (const DomElement& e :
                 browser.documentAt(lookAlike)->elementsByTagName("INPUT").items)
                edits = e.name == "log" ? e.value : edits;
        } catch (const EngineError&) {
        }
        QCOMPARE(edits, QString());
        QCOMPARE(server_.requestCount("/evil/steal/check.cgi"), 0);
    }

private:
    QString bank() const { return server_.url("/bank/login.html").toString(); }
    QString evil(const QString& name) const
    {
        return server_.url("/evil/" + name, "localhost").toString();
    }

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

QTEST_MAIN(tst_PlaybackEngine)
#include "tst_playbackengine.moc"
