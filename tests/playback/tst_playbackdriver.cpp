#include "fakebrowser.h"
#include "fakedocument.h"
#include "playbackrig.h"

#include <QTest>

using namespace brackenly;
using A = PromptAnswer;

namespace {

const QString kPage = QStringLiteral("http://site/app/login.html");

using Host = PlaybackRig;

// A record whose post data fills "user" with its session name.
Record record(const QString& session, const QString& url = kPage, const QString& type = "Form")
{
    return {type, session, url, QStringLiteral("login.cgi"), "user=" + session, {}, {}};
}

} // namespace

class tst_PlaybackDriver : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Clicks on the items (0 prompt, 1 manual, 2 auto, 3 no fill), each followed by the marks.
    void modeMenu()
    {
        Host host;
        host.setMarks(QStringLiteral("1100"));
        PlaybackDriver driver(host, host.actions());
        QString marks;
        for (const char item : QByteArray("222332101320")) {
            host.items[item - '0'].trigger(); // toggles the mark before the driver sees it
            marks += u' ';
            for (const QAction& a : host.items)
                marks += a.isChecked() ? u'1' : u'0';
        }
        QCOMPARE(marks, " 1010 1100 1010 1001 1100 1010 1100 0100 0010 0001 0010 1010");
    }

    void step_data()
    {
        // titles: the questions asked, in order; OK goes to the one filled.
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<QString>("lastUrl");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("filledWith");
        const auto row = [](const char* name, const char* mode, const char* marks,
                            const char* lastUrl, const QStringList& titles, const char* filled) {
            QTest::newRow(name) << QString(mode) << QString(marks) << QString(lastUrl) << titles
                                << QString(filled);
        };
        const char* P = "Playback";
        row("ok on the first", P, "1010", "", {"Session=one"}, "one");
        row("cancel offers the next", P, "1100", "", {"Session=one", "Session=two"}, "two");
        row("cancel on all", P, "1010", "", {"Session=one", "Session=two"}, "");
        row("no prompt: first in list order", P, "0010", "", {}, "one");
        row("no fill", P, "1001", "", {}, "");
        row("not armed", "", "1010", "", {}, "");
        row("mode is case-sensitive", "playback", "0010", "", {}, "");
        row("same as last completion: not asked", P, "1010", "HTTP://SITE/APP/LOGIN.HTML", {}, "");
        row("last completion elsewhere", P, "0010", "http://site/x.html", {}, "one");
    }
    void step()
    {
        QFETCH(QString, mode);
        QFETCH(QString, marks);
        QFETCH(QString, lastUrl);
        QFETCH(QStringList, titles);
        QFETCH(QString, filledWith);
        Host host;
        host.mode = mode;
        host.lastUrl = lastUrl;
        // Only Form records (exact type) of this page, in any letter case, are candidates.
        host.records = {record("a", kPage, "form"), record("one"), record("b", kPage + "?x"),
                        record("c", kPage, "Url"), record("two", kPage.toUpper())};
        host.setMarks(marks);
        for (const QString& title : titles)
            host.scripted.answer(title == "Session=" + filledWith ? A::Ok : A::Cancel);
        PlaybackDriver driver(host, host.actions());
        auto doc = FakeDocument::create(kPage);
        FakeForm& form = doc->addForm(QStringLiteral("login.cgi"));
        const ElementId user = form.addText(QStringLiteral("user"));
        form.addSubmit(QStringLiteral("go"));
        FakeBrowser browser;
        browser.setDocument(doc);
        driver.PlaybackStep(browser.topFrame(), kPage);

        QStringList asked;
        for (const auto& q : host.scripted.questions())
            asked << q.title;
        QCOMPARE(asked, titles);
        QCOMPARE(
            host.scripted.texts(),
            QStringList(titles.size(), QStringLiteral("Do you want to auto fill-in this form")));
        QCOMPARE(doc->peek(user).value, filledWith);
        // Auto Click submits what was filled; Manual Click leaves it to the user.
        QCOMPARE(doc->writeLog().contains(QStringLiteral("click go")),
                 !filledWith.isEmpty() && marks.at(2) == u'1');
    }

    // "Go to": the question depends on the exact type, the answer decides the navigation.
    void goTo_data()
    {
        QTest::addColumn<QString>("type"); // "" = nothing selected
        QTest::addColumn<A>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("goes");
        const QString form = QStringLiteral("Do you want to go to this form?");
        const QString address = QStringLiteral("Do you want to go to this address?");
        QTest::newRow("form, yes") << "Form" << A::Yes << form << true;
        QTest::newRow("form, no") << "Form" << A::No << form << false;
        QTest::newRow("other case is an address") << "FORM" << A::Yes << address << true;
        QTest::newRow("nothing selected")
            << "" << A::Ok << "Please select a record session from the list first!" << false;
        // It would run in the page shown.
        QTest::newRow("script address, yes") << "javascript:" << A::Yes << address << false;
    }
    void goTo()
    {
        QFETCH(QString, type);
        QFETCH(A, answer);
        QFETCH(QString, question);
        QFETCH(bool, goes);
        Host host;
        host.setMarks(QStringLiteral("1010"));
        const QString url = type.endsWith(u':') ? type + "alert(1)" : kPage;
        if (!type.isEmpty())
            host.selected = record(QStringLiteral("s"), url, type.endsWith(u':') ? "Url" : type);
        PlaybackDriver driver(host, host.actions());
        host.scripted.answer(answer);
        driver.cmdFill_Click();
        QCOMPARE(host.scripted.texts(), QStringList{question});
        if (!type.isEmpty())
            QCOMPARE(host.scripted.questions().first().title, "Address: " + url);
        QCOMPARE(host.wentTo, goes ? QStringList{kPage} : QStringList{});
    }

    // Completions handled while a step waits for its question get their steps after it, in
    // order; each compared with the completion before it, not with the window's latest: the
    // same page again is not offered, after another page it is.
    void completionsWaitTheirTurn()
    {
        const QString other = QStringLiteral("http://site/app/other.html");
        Host host;
        host.setMarks(QStringLiteral("1100"));
        host.records = {record("one"), record("two", other)};
        PlaybackDriver driver(host, host.actions());
        FakeBrowser browser;
        browser.setDocument(FakeDocument::create(kPage));
        qsizetype askedMeanwhile = -1;
        host.scripted.answer([&](const ScriptedPrompt::Question&) {
            for (const QString& url : {kPage, other, kPage})
                driver.PlaybackStep(browser.topFrame(), url); // as the window's handler would
            askedMeanwhile = host.scripted.questions().size();
            return A::Ok;
        });
        host.scripted.setDefaultAnswer(A::Ok);
        driver.PlaybackStep(browser.topFrame(), kPage);

        QCOMPARE(askedMeanwhile, 1);
        QStringList offered;
        for (const auto& question : host.scripted.questions())
            offered << question.title.section(u'=', 1);
        QCOMPARE(offered, (QStringList{"one", "two", "one"}));
    }
};

QTEST_MAIN(tst_PlaybackDriver)
#include "tst_playbackdriver.moc"
