#include "autoclicker.h"
#include "fakebrowser.h"
#include "fakedocument.h"
#include "fillhost.h"
#include "formfiller.h"
#include "formtext.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace brackenly;

namespace {

const QString kPage = QStringLiteral("http://site/app/form.html");
const QString kLogin = QStringLiteral("http://site/app/login.cgi");

struct Host : FillHost
{
    explicit Host(bool autoClick = false) : autoClick(autoClick) {}
    QWidget* window() override { return &win; }
    bool autoClickChecked() override { return autoClick; }
    void setStatusText(const QString& text) override { status << text; }
    bool autoClick = false;
    QStringList status;
    QWidget win;
};

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

} // namespace

class tst_FormFiller : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sameNames_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("sameFile");
        QTest::addColumn<bool>("samePage");
        const auto row = [](const char* name, const char* a, const char* b, bool file, bool page) {
            QTest::newRow(name) << QString(a) << QString(b) << file << page;
        };
        row("relative action", "http://h/cgi/post.cgi", "post.cgi", true, true);
        row("file name is case-sensitive", "http://h/cgi/post.cgi", "POST.CGI", false, false);
        row("whole address ignores case", "HTTP://H/CGI/POST.CGI", "http://h/cgi/post.cgi", 1, 1);
        row("slash matches only itself", "http://h/dir/", "http://h/other/", false, false);
        row("query only in pass 2", "http://h/login.php?from=x", "login.php", false, true);
        row("slash inside the query", "http://h/a.php?next=/login.php", "login.php", true, false);
    }
    void sameNames()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, sameFile);
        QFETCH(bool, samePage);
        QCOMPARE(SameFileName(a, b), sameFile);
        QCOMPARE(SameFileName(b, a), sameFile);
        QCOMPARE(SamePageName(a, b), samePage);
        QCOMPARE(SamePageName(b, a), samePage);
    }

    void fieldRules_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("postData");
        QTest::addColumn<QStringList>("writes");
        const auto row = [](const char* name, const char* field, const char* post,
                            const QStringList& writes) {
            QTest::newRow(name) << QString(field) << QString(post) << writes;
        };
        row("text", "text:f:old", "f=new", {"value f=new"});
        row("text not recorded is emptied", "text:f:old", "", {"value f="});
        row("type and name ignore case", "TEXT:UserName", "USERNAME=x", {"value UserName=x"});
        row("encoded name and value", "textarea:u[n]", "u%5Bn%5D=a%0D%0A+b",
            {"value u[n]=a\r\n b"});
        row("password takes the first value", "password:f", "f=1&f=2", {"value f=1"});
        row("single list by text", "select-one:f", "f=Two", {"option f[1]=true"});
        row("single list ignores values", "select-one:f", "f=2", {});
        row("multi by value", "select-multiple:f", "f=3&f=1",
            {"option f[2]=true", "option f[0]=true"});
        row("radio value is case-sensitive", "radio:f:Yes", "f=yes", {});
        row("radio never unchecked", "!radio:f:no", "f=yes", {});
        row("check box with recorded value", "checkbox:f:on", "f=on", {"checked f=true"});
        row("check box not recorded keeps state", "!checkbox:f:on", "", {});
        row("hidden left alone", "hidden:f:old", "f=new", {});
    }
    void fieldRules()
    {
        QFETCH(QString, field);
        QFETCH(QString, postData);
        QFETCH(QStringList, writes);
        FakeDocument doc(kPage);
        build(doc, doc.addForm(QStringLiteral("login.cgi")), "hidden:token;" + field);
        Host host;
        QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, {kPage}, kLogin,
                                           "token=1&" + postData));
        QCOMPARE(doc.writeLog(), writes);
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
        row("file name is case-sensitive", "", {"LOGIN.CGI"}, rec, -1);
        row("other query matches in pass 2", "", {"login.cgi?from=a"}, "http://o/login.cgi?b", 0);
        row("pass 1 beats earlier pass 2", "", {"x.cgi?a", "x.cgi?b"}, "http://o/x.cgi?b", 1);
        row("rejected match stops pass 2", "", {"x.cgi?a", "!x.cgi?b"}, "http://o/x.cgi?b", -1);
        row("rejected, next pass 1 match", "", {"!login.cgi", "login.cgi"}, rec, 1);
        const char* two = "<form id=\"search\" action=\"/s.cgi\"><input name=\"action\"></form>"
                          "<FORM id=login action=/cgi/login.cgi method=post>";
        row("hidden action by id", two, {"#search", "#login"}, rec, 1);
        row("hidden id not in the markup", two, {"#gone"}, rec, -1);
        row("no id: first form tag", "<form action=/cgi/login.cgi><form action=/s>", {"#"}, rec, 0);
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
                form.addButton(QString());
            users << form.addText(QStringLiteral("user"));
            if (hidden)
                form.addText(QStringLiteral("action"));
        }
        Host host;
        QCOMPARE(FormFiller(host).FillForms(kFillModeWrite, doc, {kPage}, recorded, "user=b"),
                 filled >= 0);
        for (int i = 0; i < users.size(); ++i)
            QCOMPARE(doc.peek(users.at(i)).value, i == filled ? QStringLiteral("b") : QString());
    }

    void frames_data()
    {
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<bool>("topMatches");
        QTest::addColumn<QStringList>("filled");
        const auto row = [](const char* name, const QStringList& frames, bool top,
                            const QStringList& filled) {
            QTest::newRow(name) << frames << top << filled;
        };
        row("first matching frame", {"no", "match", "match"}, true, {"frame1"});
        row("top only when no frame filled", {"no", "no"}, true, {"top"});
        row("refused frame skipped", {"refused", "match"}, true, {"frame1"});
        row("deeper frames not visited", {"nested"}, true, {"top"});
        row("failed click moves on", {"clickfails", "match"}, false, {"frame0", "frame1"});
        row("no frames", {}, true, {"top"});
    }
    void frames()
    {
        QFETCH(QStringList, frames);
        QFETCH(bool, topMatches);
        QFETCH(QStringList, filled);
        QList<std::pair<QString, std::shared_ptr<FakeDocument>>> docs;
        const auto addForm = [&](const QString& name, auto doc, bool matches) {
            build(*doc, doc->addForm(matches ? kLogin : kPage), "text:user;submit:go");
            docs.append({name, doc});
        };
        auto top = FakeDocument::create(kPage);
        for (int i = 0; i < frames.size(); ++i) {
            const QString& kind = frames.at(i);
            auto doc = kind == u"refused"  ? top->addRefusedFrame()
                       : kind == u"nested" ? top->addFrame()->addFrame(kPage)
                                           : top->addFrame(kPage);
            addForm(QStringLiteral("frame%1").arg(i), doc, kind != u"no");
            if (kind == u"clickfails")
                doc->refuseElement(doc->find(QStringLiteral("go")));
        }
        addForm(QStringLiteral("top"), top, topMatches);
        FakeBrowser browser;
        browser.setDocument(top);
        Host host(true);
        FormFiller(host).FillDocument(browser.topFrame(), kFillModeWrite, kPage, kLogin,
                                      "user=bob");
        QStringList got;
        for (const auto& [name, doc] : docs)
            if (doc->peek(doc->find(QStringLiteral("user"))).value == u"bob")
                got << name;
        QCOMPARE(got, filled);
    }

    // Recorded values go only into the document that completed, while it shows the recorded
    // address; its frames while they show pages of that origin.
    void recordedPageOnly_data()
    {
        QTest::addColumn<QString>("recorded"); // the record's Url
        QTest::addColumn<QString>("change");   // after the completion
        QTest::addColumn<QStringList>("writes");
        const QStringList filled{"value user=bob", "click go"};
        const auto row = [](const char* name, const QString& recorded, const char* change,
                            const QStringList& writes) {
            QTest::newRow(name) << recorded << QString(change) << writes;
        };
        row("the recorded page", kPage, "", filled);
        row("letter case aside", kPage.toUpper(), "", filled);
        row("another address", "http://site/app/other.html", "", {});
        row("replaced at the same path", kPage, "replace", {});
        row("moved on before the image button", kPage, "move", {"value user=bob"});
        row("about:srcdoc", "about:srcdoc", "", {});
        row("data:", "data:text/html,<form>", "", {});
        row("frame of that site", kPage, "http://site/app/frame.html",
            {"frame: value user=bob", "frame: click go"});
        row("frame of another site", kPage, "http://evil/app/form.html", filled);
    }
    void recordedPageOnly()
    {
        QFETCH(QString, recorded);
        QFETCH(QString, change);
        QFETCH(QStringList, writes);
        const auto page = [&](const QString& url) {
            auto doc = FakeDocument::create(url);
            build(*doc, doc->addForm(QStringLiteral("login.cgi")), "text:user;image:go::g.gif");
            return doc;
        };
        // Every document shows the recorded address (or the row's frame address).
        std::shared_ptr<FakeDocument> top = page(recorded.startsWith("http") ? kPage : recorded);
        std::shared_ptr<FakeDocument> frame;
        if (change.startsWith("http")) {
            frame = top->addFrame(change);
            build(*frame, frame->addForm(QStringLiteral("login.cgi")), "text:user;image:go::g.gif");
        }
        FakeBrowser browser;
        browser.setDocument(top);
        FrameRef completed;
        connect(&browser, &Browser::DocumentComplete, this,
                [&](const FrameRef& f) { completed = f.isTop() ? f : completed; });
        browser.complete({}, recorded);
        if (change == "replace") {
            top = page(kPage);
            browser.setDocument(top);
        } else if (change == "move") {
            QTimer::singleShot(0, this, [top] { top->setUrl(kPage + "?next"); });
        }
        Host host(true);
        FormFiller(host).FillDocument(completed, kFillModeWrite, recorded, kLogin, "user=bob");
        QStringList got = top->writeLog();
        for (const QString& write : frame ? frame->writeLog() : QStringList())
            got << "frame: " + write;
        QCOMPARE(got, writes);
        QVERIFY(host.status.isEmpty());
    }

    void autoClick_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("postData");
        QTest::addColumn<QString>("clicked"); // "": none, the user is asked to click
        const auto row = [](const char* name, const char* layout, const char* post,
                            const char* clicked) {
            QTest::newRow(name) << QString(layout) << QString(post) << QString(clicked);
        };
        row("first of two submits", "text:user;submit:go1;submit:go2", "user=b", "go1");
        row("image after the recorded text", "text:user;image:go::g.gif", "user=b", "go");
        row("image before the text field", "image:go::g.gif;text:user", "user=b", "");
        row("only a password recorded", "password:pw;image:go::g.gif", "pw=x", "");
        row("image outside the form", "text:user;d:image:go::g.gif", "user=b", "go");
        row("image without a picture skipped", "text:user;image:a;image:b::b.gif", "user=b", "b");
        row("encoded name does not count", "text:u[n];image:go::g.gif", "u%5Bn%5D=b", "");
        row("names compared ignoring case", "text:UserName;image:go::g.gif", "USERNAME=b", "go");
    }
    void autoClick()
    {
        QFETCH(QString, layout);
        QFETCH(QString, postData);
        QFETCH(QString, clicked);
        FakeDocument doc(kPage);
        build(doc, doc.addForm(QStringLiteral("login.cgi")), layout);
        Host host(true);
        // Filled counts as done whether or not a click was possible.
        QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, {kPage}, kLogin, postData));
        QCOMPARE(doc.writeLog().filter(QRegularExpression("^click ")),
                 clicked.isEmpty() ? QStringList() : QStringList{"click " + clicked});
        QCOMPARE(host.status,
                 clicked.isEmpty()
                     ? QStringList{QStringLiteral(
                           "System is unable to do auto-click, please perform click manually!")}
                     : QStringList());
    }
};

QTEST_MAIN(tst_FormFiller)
#include "tst_formfiller.moc"
