// Playback on the real engine: recorded values reach the recorded page, and only that page,
// however a page on another host name frames it, swaps it or navigates away meanwhile.

#include "../platform/enginetesting.h"
#include "fixtureserver.h"
#include "playbackrig.h"

#include <QTest>
#include <QWebEnginePage>

using namespace brackenly;
using namespace brackenly::enginetesting;

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
        WebEngineBrowser::setCallTimeoutMs(3000);
    }

    void recordedValuesStayOnTheirPage_data()
    {
        QTest::addColumn<QString>("page");         // browsed; the record is the bank's login page
        QTest::addColumn<QString>("meanwhile");    // run in the page while the question is open
        QTest::addColumn<QList<int>>("lookAlike"); // where the look-alike ends up; {-1}: none
        QTest::newRow("the recorded page") << bank() << "" << QList<int>{-1};
        QTest::newRow("frame removed on load") << evil("removed.html") << "" << QList<int>{0};
        QTest::newRow("frame navigated") << evil("navigated.html") << "" << QList<int>{0};
        QTest::newRow("top navigated")
            << bank() << "location = '" + evil("lookalike.html") + "'" << QList<int>{};
    }
    void recordedValuesStayOnTheirPage()
    {
        QFETCH(QString, page);
        QFETCH(QString, meanwhile);
        QFETCH(QList<int>, lookAlike);
        const bool attacked = lookAlike != QList<int>{-1};
        server_.clearRequests();
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
            if (!meanwhile.isEmpty())
                browser.page()->runJavaScript(meanwhile);
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

    FixtureServer server_;
};

QTEST_MAIN(tst_PlaybackEngine)
#include "tst_playbackengine.moc"
