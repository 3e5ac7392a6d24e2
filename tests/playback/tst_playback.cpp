#include "fakebrowser.h"
#include "fakedocument.h"
#include "formfiller.h"
#include "playbackrig.h"

#include <QTest>
#include <QTimer>

using namespace brackenly;
using A = PromptAnswer;

namespace {

const QString kPage = QStringLiteral("http://site/app/form.html");
const QString kLogin = QStringLiteral("http://site/app/login.cgi");
const QString kLoginPage = QStringLiteral("http://site/app/login.html");

// Fields in document order, ';'-separated: "[d:][!]type:name[:value[:src]]"; "d:" puts the
// input outside the form, "!" checks it. Lists get the options One|1, Two|2, Three|3.
void build(FakeDocument& doc, FakeForm& form, const QString& layout)
{
    for (const QString& entry : layout.split(u';')) {
        QStringList p = entry.split(u':');
        const bool loose = p.first() == u"d";
        if (loose)
            p.removeFirst();
        const bool checked = p.at(0).startsWith(u'!');
        DomElement e{0, p.at(0).mid(checked), p.value(1), p.value(2), checked, p.value(3), {}};
        if (e.type.startsWith(u"select"))
            e.options = {{"One", "1"}, {"Two", "2"}, {"Three", "3"}};
        loose ? doc.addLooseElement(e) : form.addElement(e);
    }
}

// A record whose post data fills "user" with its session name.
Record record(const QString& session, const QString& url = kLoginPage, const QString& type = "Form")
{
    return {type, session, url, QStringLiteral("login.cgi"), "user=" + session, {}, {}};
}

} // namespace

// Filling a recorded form into a page, and the playback driver that decides when to.
class tst_Playback : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The fields follow a recorded hidden token; writes in the order they reach the page.
    void fill_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("postData");
        QTest::addColumn<QStringList>("writes");
        const auto row = [](const char* name, const char* layout, const char* post,
                            const QStringList& writes) {
            QTest::newRow(name) << QString(layout) << QString(post) << writes;
        };
        // Every rule in one form: a fault shows as a write too many or too few.
        row("text fields", "text:a:old;TEXT:UserName;textarea:u[n];password:p;hidden:h:old",
            "USERNAME=x&u%5Bn%5D=a%0D%0A+b&p=1&p=2&h=new",
            {"value a=", "value UserName=x", "value u[n]=a\r\n b", "value p=1"});
        row("lists by text, multiple by value", "select-one:s;select-one:v;select-multiple:m",
            "s=Two&v=2&m=3&m=1", {"option s[1]=true", "option m[2]=true", "option m[0]=true"});
        row("boxes", "radio:r:Yes;!radio:s:no;checkbox:c:on;!checkbox:d:on", "r=yes&s=yes&c=on",
            {"checked c=true"});
        // The click: the first submit, else an image with a picture after a recorded text.
        const QStringList filled{"value u=b", "click go"};
        row("first of two submits", "text:u;submit:go;submit:go2", "u=b", filled);
        row("image after the recorded text", "text:u;image:go::g.gif", "u=b", filled);
        row("image before the text field", "image:go::g.gif;text:u", "u=b", {"value u=b"});
        row("image outside the form", "text:u;d:image:go::g.gif", "u=b", filled);
    }
    void fill()
    {
        QFETCH(QString, layout);
        QFETCH(QString, postData);
        QFETCH(QStringList, writes);
        FakeDocument doc(kPage);
        build(doc, doc.addForm(QStringLiteral("login.cgi")), "hidden:token;" + layout);
        PlaybackRig host;
        // Filled counts as done whether or not a click was possible.
        QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, {kPage}, kLogin,
                                           "token=1&" + postData));
        QCOMPARE(doc.writeLog(), writes);
        const bool clicked = !writes.isEmpty() && writes.constLast().startsWith(u"click ");
        QCOMPARE(host.status,
                 clicked ? QStringList()
                         : QStringList{QStringLiteral("System is unable to do auto-click, please "
                                                      "perform click manually!")});
    }

    void passes_data()
    {
        // Forms by action; "!": the first field is not recorded; "#id": a field named action
        // hides the attribute, so only the markup can give the form's action.
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QStringList>("forms");
        QTest::addColumn<QString>("recorded");
        QTest::addColumn<int>("filled");
        const auto row = [](const char* name, const char* markup, const QStringList& forms,
                            const char* recorded, int filled) {
            QTest::newRow(name) << QString(markup) << forms << QString(recorded) << filled;
        };
        const char* rec = "http://site/cgi/login.cgi";
        row("file name picks the second", "", {"a.cgi", "/cgi/login.cgi"}, rec, 1);
        row("slash matches only itself", "", {"/other/"}, "http://site/dir/", -1);
        row("other query matches in pass 2", "", {"login.cgi?from=a"}, "http://o/login.cgi?b", 0);
        row("pass 1 beats earlier pass 2", "", {"x.cgi?a", "x.cgi?b"}, "http://o/x.cgi?b", 1);
        row("rejected match stops pass 2", "", {"x.cgi?a", "!x.cgi?b"}, "http://o/x.cgi?b", -1);
        const char* two = "<form id=\"search\" action=\"/s.cgi\"><input name=\"action\"></form>"
                          "<FORM id=login action=/cgi/login.cgi method=post>";
        row("hidden action by id", two, {"#search", "#login"}, rec, 1);
        row("hidden id not in the markup", two, {"#gone"}, rec, -1);
        row("no id, first tag another's", "<form action=/s><form action=/cgi/login.cgi>", {"#"},
            rec, -1);
    }
    void passes()
    {
        QFETCH(QString, markup);
        QFETCH(QStringList, forms);
        QFETCH(QString, recorded);
        QFETCH(int, filled);
        FakeDocument doc(kPage);
        doc.setMarkup(markup);
        QList<ElementId> users;
        for (const QString& f : forms) {
            const bool hidden = f.startsWith(u'#');
            FakeForm& form = hidden ? doc.addForm(QStringLiteral("/elsewhere/x.cgi"), f.mid(1))
                                    : doc.addForm(f.mid(f.startsWith(u'!') ? 1 : 0));
            if (f.startsWith(u'!'))
                form.add("button", {});
            users << form.add("text", "user");
            if (hidden)
                form.add("text", "action");
        }
        PlaybackRig host;
        QCOMPARE(FormFiller(host).FillForms(kFillModeWrite, doc, {kPage}, recorded, "user=b"),
                 filled >= 0);
        for (int i = 0; i < users.size(); ++i)
            QCOMPARE(doc.peek(users.at(i)).value, i == filled ? QStringLiteral("b") : QString());
    }

    // Recorded values go only into the document that completed, while it shows the recorded
    // address: into the first of its frames that takes them while they show pages of that
    // origin, else into itself. Frames by address, marked "!" refused, "-" with a form of
    // another action.
    void recordedPageOnly_data()
    {
        QTest::addColumn<QString>("recorded"); // the record's Url
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QString>("change"); // after the completion
        QTest::addColumn<QStringList>("writes");
        const QStringList top{"value user=bob", "click go"};
        const QStringList second{"1: value user=bob", "1: click go"};
        const auto row = [](const char* name, const QString& recorded, const QStringList& frames,
                            const char* change, const QStringList& writes) {
            QTest::newRow(name) << recorded << frames << QString(change) << writes;
        };
        const QString f = "http://site/app/frame.html";
        row("the recorded page", kPage, {}, "", top);
        row("another address", "http://site/app/other.html", {}, "", {});
        row("replaced at the same path", kPage, {}, "replace", {});
        row("moved on before the image button", kPage, {}, "move", {"value user=bob"});
        row("no origin of its own", "about:srcdoc", {}, "", {});
        row("frame of that site", kPage, {f}, "", {"0: value user=bob", "0: click go"});
        row("frame of another site", kPage, {"http://evil/app/form.html"}, "", top);
        row("first frame that takes them", kPage, {"-" + f, f, f}, "", second);
        row("no frame takes them", kPage, {"-" + f, "-" + f}, "", top);
        row("refused frame skipped", kPage, {"!" + f, f}, "", second);
    }
    void recordedPageOnly()
    {
        QFETCH(QString, recorded);
        QFETCH(QStringList, frames);
        QFETCH(QString, change);
        QFETCH(QStringList, writes);
        const auto page = [](std::shared_ptr<FakeDocument> doc, QChar kind = u'h') {
            build(*doc, doc->addForm(kind == u'-' ? "other.cgi" : "login.cgi"),
                  "text:user;image:go::g.gif");
            return doc;
        };
        // The top document shows the recorded address, if it can.
        auto top = page(FakeDocument::create(recorded.startsWith("http") ? kPage : recorded));
        QList<std::shared_ptr<FakeDocument>> docs;
        for (const QString& frame : frames) {
            const QChar kind = frame.at(0);
            const QString url = kind == u'h' ? frame : frame.mid(1);
            docs << page(kind == u'!' ? top->addRefusedFrame(url) : top->addFrame(url), kind);
        }
        FakeBrowser browser;
        browser.setDocument(top);
        FrameRef completed;
        connect(&browser, &Browser::DocumentComplete, this,
                [&](const FrameRef& f) { completed = f.isTop() ? f : completed; });
        browser.complete({}, recorded);
        if (change == "replace")
            browser.setDocument(top = page(FakeDocument::create(kPage)));
        else if (change == "move")
            QTimer::singleShot(0, this, [top] { top->setUrl(kPage + "?next"); });
        PlaybackRig host;
        FormFiller(host).FillDocument(completed, kFillModeWrite, recorded, kLogin, "user=bob");
        QStringList got = top->writeLog();
        for (qsizetype i = 0; i < docs.size(); ++i)
            for (const QString& write : docs.at(i)->writeLog())
                got << QString::number(i) + ": " + write;
        QCOMPARE(got, writes);
        QVERIFY(host.status.isEmpty());
    }

    // Clicks on the items (0 prompt, 1 manual, 2 auto, 3 no fill), each followed by the marks.
    void modeMenu()
    {
        PlaybackRig host;
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
        row("mode is case-sensitive", "playback", "0010", "", {}, "");
        row("same as last completion: not asked", P, "1010", "HTTP://SITE/APP/LOGIN.HTML", {}, "");
    }
    void step()
    {
        QFETCH(QString, mode);
        QFETCH(QString, marks);
        QFETCH(QString, lastUrl);
        QFETCH(QStringList, titles);
        QFETCH(QString, filledWith);
        PlaybackRig host;
        host.mode = mode;
        host.lastUrl = lastUrl;
        // Only Form records (exact type) of this page, in any letter case, are candidates.
        host.records = {record("a", kLoginPage, "form"), record("one"),
                        record("b", kLoginPage + "?x"), record("c", kLoginPage, "Url"),
                        record("two", kLoginPage.toUpper())};
        host.setMarks(marks);
        for (const QString& title : titles)
            host.scripted.answer(title == "Session=" + filledWith ? A::Ok : A::Cancel);
        PlaybackDriver driver(host, host.actions());
        auto doc = FakeDocument::create(kLoginPage);
        FakeForm& form = doc->addForm(QStringLiteral("login.cgi"));
        const ElementId user = form.add("text", "user");
        form.add("submit", "go", "Submit");
        FakeBrowser browser;
        browser.setDocument(doc);
        driver.PlaybackStep(browser.topFrame(), kLoginPage);

        QCOMPARE(host.scripted.texts(&ScriptedPrompt::Question::title), titles);
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
        QTest::addColumn<QString>("type");
        QTest::addColumn<A>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("goes");
        const QString form = QStringLiteral("Do you want to go to this form?");
        const QString address = QStringLiteral("Do you want to go to this address?");
        QTest::newRow("form, yes") << "Form" << A::Yes << form << true;
        QTest::newRow("form, no") << "Form" << A::No << form << false;
        QTest::newRow("other case is an address") << "FORM" << A::Yes << address << true;
        // It would run in the page shown.
        QTest::newRow("script address, yes") << "javascript:" << A::Yes << address << false;
    }
    void goTo()
    {
        QFETCH(QString, type);
        QFETCH(A, answer);
        QFETCH(QString, question);
        QFETCH(bool, goes);
        PlaybackRig host;
        const QString url = type.endsWith(u':') ? type + "alert(1)" : kLoginPage;
        host.selected = record(QStringLiteral("s"), url, type.endsWith(u':') ? "Url" : type);
        PlaybackDriver driver(host, host.actions());
        host.scripted.answer(answer);
        driver.cmdFill_Click();
        QCOMPARE(host.scripted.texts(), QStringList{question});
        QCOMPARE(host.scripted.questions().first().title, "Address: " + url);
        QCOMPARE(host.wentTo, goes ? QStringList{kLoginPage} : QStringList{});
    }

    // Completions handled while a step waits for its question get their steps after it, in
    // order; each compared with the completion before it, not with the window's latest: the
    // same page again is not offered, after another page it is.
    void completionsWaitTheirTurn()
    {
        const QString other = QStringLiteral("http://site/app/other.html");
        PlaybackRig host;
        host.setMarks(QStringLiteral("1100"));
        host.records = {record("one"), record("two", other)};
        PlaybackDriver driver(host, host.actions());
        FakeBrowser browser;
        browser.setDocument(FakeDocument::create(kLoginPage));
        qsizetype askedMeanwhile = -1;
        host.scripted.answer([&](const ScriptedPrompt::Question&) {
            for (const QString& url : {kLoginPage, other, kLoginPage})
                driver.PlaybackStep(browser.topFrame(), url); // as the window's handler would
            askedMeanwhile = host.scripted.questions().size();
            return A::Ok;
        });
        host.scripted.setDefaultAnswer(A::Ok);
        driver.PlaybackStep(browser.topFrame(), kLoginPage);

        QCOMPARE(askedMeanwhile, 1);
        QCOMPARE(host.scripted.texts(&ScriptedPrompt::Question::title),
                 (QStringList{"Session=one", "Session=two", "Session=one"}));
    }
};

QTEST_MAIN(tst_Playback)
#include "tst_playback.moc"
