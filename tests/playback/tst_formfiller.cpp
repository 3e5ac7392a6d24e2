#include "autoclicker.h"
#include "fakebrowser.h"
#include "fakedocument.h"
#include "formfiller.h"
#include "recordingfillhost.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

using namespace brackenly;

namespace {

const QString kPage = QStringLiteral("http://site/app/form.html");
const QString kLogin = QStringLiteral("http://site/app/login.cgi");

QString str(const char* text)
{
    return QString::fromUtf8(text);
}

// Fields in document order, ';'-separated: "[d:]type:name[:value[:src]]"; "d:" puts the
// input outside the form. A leading "!" on the type checks the box. Lists get the options
// ("text|value" or "text|value|*" for a selected one).
ElementId build(FakeDocument& doc, FakeForm& form, const QString& layout,
                const QStringList& options = {})
{
    ElementId first = 0;
    for (const QString& entry : layout.split(u';', Qt::SkipEmptyParts)) {
        QStringList parts = entry.split(u':');
        const bool loose = parts.first() == u"d";
        if (loose)
            parts.removeFirst();
        DomElement element;
        element.checked = parts.at(0).startsWith(u'!');
        element.type = parts.at(0).mid(element.checked ? 1 : 0);
        element.name = parts.value(1);
        element.value = parts.value(2);
        element.src = parts.value(3);
        if (element.type.startsWith(u"select")) {
            for (const QString& o : options)
                element.options.append(
                    {o.section(u'|', 0, 0), o.section(u'|', 1, 1), o.section(u'|', 2, 2) == u"*"});
        }
        const ElementId id = loose ? doc.addLooseElement(element) : form.addElement(element);
        first = first ? first : id;
    }
    return first;
}

QStringList clicks(const FakeDocument& doc)
{
    return doc.writeLog().filter(QRegularExpression(QStringLiteral("^click ")));
}

} // namespace

class tst_FormFiller : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fieldRules_data();
    void fieldRules();
    void sharedNamesUseFirstRecordedValue();
    void passes_data();
    void passes();
    void hiddenAction_data();
    void hiddenAction();
    void frames_data();
    void frames();
    void autoClick_data();
    void autoClick();
    void failures_data();
    void failures();
    void windowClosedDuringFill();
    void oneReadPerForm();
};

void tst_FormFiller::fieldRules_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("options"); // "text|value" or "text|value|*" (selected)
    QTest::addColumn<QString>("postData");
    QTest::addColumn<QStringList>("writes");
    const QStringList nums{"One|1", "Two|2", "Three|3"};
    const QStringList abc{"a|1", "b|2", "c|3|*"};
    const struct
    {
        const char *name, *field;
        QStringList options;
        const char* postData;
        QStringList writes;
    } rows[] = {
        {"text", "text:f:old", {}, "f=new", {"value f=new"}},
        {"text not recorded is emptied", "text:f:old", {}, "", {"value f="}},
        {"type in upper case", "TEXT:f", {}, "f=x", {"value f=x"}},
        {"field name ignores case", "text:UserName", {}, "USERNAME=x", {"value UserName=x"}},
        {"textarea decoded", "textarea:f", {}, "f=a%0D%0Ab+c", {"value f=a\r\nb c"}},
        {"password", "password:f", {}, "f=s%3Dx", {"value f=s=x"}},
        {"first recorded value", "text:f", {}, "f=1&f=2", {"value f=1"}},
        {"single list by text", "select-one:f", nums, "f=Two", {"option f[1]=true"}},
        {"single list ignores values", "select-one:f", nums, "f=2", {}},
        {"single list text is case-sensitive", "select-one:f", nums, "f=two", {}},
        {"single list stops at the first",
         "select-one:f",
         {"A|1", "A|3"},
         "f=A",
         {"option f[0]=true"}},
        {"multiple list by value",
         "select-multiple:f",
         abc,
         "f=3&f=1",
         {"option f[2]=true", "option f[0]=true"}},
        {"multiple list ignores texts", "select-multiple:f", abc, "f=b", {}},
        {"multiple list not recorded", "select-multiple:f", abc, "", {}},
        {"radio with recorded value", "radio:f:yes", {}, "f=yes", {"checked f=true"}},
        {"radio value is case-sensitive", "radio:f:Yes", {}, "f=yes", {}},
        {"radio never unchecked", "!radio:f:no", {}, "f=yes", {}},
        {"check box with recorded value", "checkbox:f:on", {}, "f=on", {"checked f=true"}},
        {"check box not recorded keeps state", "!checkbox:f:on", {}, "", {}},
        {"check box with empty value not recorded", "checkbox:f:", {}, "", {}},
        {"hidden left alone", "hidden:f:old", {}, "f=new", {}},
        {"submit left alone", "submit:f:old", {}, "f=new", {}},
        {"button left alone", "button:f:old", {}, "f=new", {}},
        {"unknown type left alone", "color:f:old", {}, "f=new", {}},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << str(r.field) << r.options << str(r.postData) << r.writes;
}

void tst_FormFiller::fieldRules()
{
    QFETCH(QString, field);
    QFETCH(QStringList, options);
    QFETCH(QString, postData);
    QFETCH(QStringList, writes);

    FakeDocument doc(kPage);
    FakeForm& form = doc.addForm(QStringLiteral("login.cgi"));
    build(doc, form, QStringLiteral("hidden:token:t;") + field, options);
    RecordingFillHost host;
    QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, kLogin,
                                       QStringLiteral("token=1&") + postData));
    QCOMPARE(doc.writeLog(), writes);
    // Without auto click the writes are sent at the end.
    QCOMPARE(doc.calls(DomCall::Flush), 1);
}

void tst_FormFiller::sharedNamesUseFirstRecordedValue()
{
    FakeDocument doc(kPage);
    FakeForm& form = doc.addForm(QStringLiteral("login.cgi"));
    build(doc, form,
          QStringLiteral("hidden:t;checkbox:opt:a;checkbox:opt:b;checkbox:opt:c;"
                         "radio:pick:x;radio:pick:y"));
    RecordingFillHost host;
    QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, kLogin,
                                       QStringLiteral("t=1&opt=c&opt=a&pick=y&pick=x")));
    QVERIFY(doc.peek(doc.find(QStringLiteral("opt"), 2)).checked);
    QVERIFY(doc.peek(doc.find(QStringLiteral("pick"), 1)).checked);
    QCOMPARE(doc.writeLog().size(), 2);
}

void tst_FormFiller::passes_data()
{
    QTest::addColumn<QStringList>("actions"); // "!": the form's first field is not recorded
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<int>("filled");
    const struct
    {
        const char* name;
        QStringList actions;
        const char* recorded;
        int filled;
    } rows[] = {
        {"file name picks the second form",
         {"search.cgi", "/cgi/login.cgi"},
         "http://other/cgi/login.cgi",
         1},
        {"resolved address equal ignoring case", {"LOGIN.CGI"}, "HTTP://SITE/APP/login.cgi", 0},
        {"file name is case-sensitive", {"POST.CGI"}, "http://other/cgi/post.cgi", -1},
        {"other query matches in pass 2", {"login.cgi?from=a"}, "http://o/login.cgi?from=b", 0},
        {"pass 1 beats an earlier pass 2 match",
         {"login.cgi?from=a", "login.cgi?from=b"},
         "http://x/login.cgi?from=b",
         1},
        {"rejected pass 1 match stops pass 2",
         {"login.cgi?from=a", "!login.cgi?from=b"},
         "http://x/login.cgi?from=b",
         -1},
        {"rejected form, next pass 1 match", {"!login.cgi", "login.cgi"}, "http://x/login.cgi", 1},
        {"rejected form, next pass 2 match",
         {"!login.cgi?a", "login.cgi?b"},
         "http://x/login.cgi?c",
         1},
        {"nothing matches", {"a.cgi", "b.cgi?x"}, "http://x/c.cgi", -1},
        {"slash matches only itself", {"/dir/"}, "http://other/dir/", -1},
        {"empty action is the page address", {""}, "http://other/x/form.html", 0},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << r.actions << str(r.recorded) << r.filled;
}

void tst_FormFiller::passes()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, recorded);
    QFETCH(int, filled);

    FakeDocument doc(kPage);
    QList<ElementId> users;
    for (const QString& action : actions) {
        const bool rejected = action.startsWith(u'!');
        FakeForm& form = doc.addForm(action.mid(rejected ? 1 : 0));
        if (rejected)
            form.addButton(QString());
        users << form.addText(QStringLiteral("user"));
    }
    RecordingFillHost host;
    QCOMPARE(FormFiller(host).FillForms(kFillModeWrite, doc, recorded, QStringLiteral("user=b")),
             filled >= 0);
    for (int i = 0; i < users.size(); ++i)
        QCOMPARE(doc.peek(users.at(i)).value, i == filled ? QStringLiteral("b") : QString());
    QCOMPARE(doc.calls(DomCall::Markup), 0);
}

void tst_FormFiller::hiddenAction_data()
{
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<bool>("filled");
    QTest::addColumn<int>("markupReads");
    const char* two = "<form id=\"search\" action=\"/s.cgi\"></form><form id=\"login\" "
                      "action=\"/cgi/login.cgi\" method=\"post\"><input name=\"action\"></form>";
    const char* rec = "http://site/cgi/login.cgi";
    const struct
    {
        const char *name, *markup, *id, *recorded;
        bool filled;
        int reads;
    } rows[] = {
        {"by id", two, "login", rec, true, 1},
        {"id not in the markup", two, "gone", rec, false, 2},
        {"no id takes the first form tag", "<form action=\"/cgi/login.cgi\"><form action=\"/s\">",
         "", rec, true, 1},
        {"no id, first tag is another form's",
         "<form action=\"/s\"><form action=\"/cgi/login.cgi\">", "", rec, false, 2},
        {"unquoted markup", "<FORM id=login action=/cgi/login.cgi method=post>", "login", rec, true,
         1},
        {"markup action in pass 2", "<form id=login action=/cgi/login.cgi?from=a>", "login",
         "http://site/cgi/login.cgi?from=b", true, 2},
        {"no markup", "", "login", rec, false, 2},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << str(r.markup) << str(r.id) << str(r.recorded) << r.filled
                              << r.reads;
}

void tst_FormFiller::hiddenAction()
{
    QFETCH(QString, markup);
    QFETCH(QString, id);
    QFETCH(QString, recorded);
    QFETCH(bool, filled);
    QFETCH(int, markupReads);

    FakeDocument doc(kPage);
    doc.setMarkup(markup);
    // An attribute the markup does not show: only the markup can make the form match.
    FakeForm& form = doc.addForm(QStringLiteral("/elsewhere/other.cgi"), id);
    const ElementId user = build(doc, form, QStringLiteral("text:user;text:action"));
    RecordingFillHost host;
    QCOMPARE(FormFiller(host).FillForms(kFillModeWrite, doc, recorded,
                                        QStringLiteral("user=bob&action=go")),
             filled);
    QCOMPARE(doc.peek(user).value, filled ? QStringLiteral("bob") : QString());
    QCOMPARE(doc.calls(DomCall::Markup), markupReads);
}

void tst_FormFiller::frames_data()
{
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<bool>("topMatches");
    QTest::addColumn<QStringList>("filled");
    const struct
    {
        const char* name;
        QStringList frames;
        bool top;
        QStringList filled;
    } rows[] = {
        {"first matching frame", {"none", "match", "match"}, true, {"frame1"}},
        {"top only when no frame filled", {"none", "none"}, true, {"top"}},
        {"refused frame skipped", {"refused", "match"}, true, {"frame1"}},
        {"deeper frames not visited", {"nested"}, true, {"top"}},
        {"failed click moves on", {"clickfails", "match"}, false, {"frame0", "frame1"}},
        {"rejected form in a frame", {"rejects", "none"}, true, {"top"}},
        {"no frames", {}, true, {"top"}},
        {"nothing matches", {"none"}, false, {}},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << r.frames << r.top << r.filled;
}

void tst_FormFiller::frames()
{
    QFETCH(QStringList, frames);
    QFETCH(bool, topMatches);
    QFETCH(QStringList, filled);

    QList<std::tuple<QString, std::shared_ptr<FakeDocument>, ElementId>> users;
    auto addForm = [&](const QString& name, std::shared_ptr<FakeDocument> doc, bool matches,
                       bool rejects = false) {
        FakeForm& form = doc->addForm(matches ? kLogin : QStringLiteral("other.cgi"));
        const ElementId first =
            build(*doc, form, rejects ? "button:;text:user;submit:go" : "text:user;submit:go");
        users.append({name, doc, rejects ? doc->find(QStringLiteral("user")) : first});
    };
    auto top = FakeDocument::create(kPage);
    for (int i = 0; i < frames.size(); ++i) {
        const QString& kind = frames.at(i);
        const QString name = QStringLiteral("frame%1").arg(i);
        if (kind == u"refused") {
            addForm(name, top->addRefusedFrame(), true);
        } else if (kind == u"nested") {
            addForm(name, top->addFrame()->addFrame(kPage), true);
        } else {
            auto doc = top->addFrame(kPage);
            addForm(name, doc, kind != u"none", kind == u"rejects");
            if (kind == u"clickfails")
                doc->refuseElement(doc->find(QStringLiteral("go")));
        }
    }
    addForm(QStringLiteral("top"), top, topMatches);

    FakeBrowser browser;
    browser.setDocument(top);
    RecordingFillHost host;
    host.autoClick = true;
    FormFiller(host).FillDocument(browser.topFrame(), kFillModeWrite, kLogin,
                                  QStringLiteral("user=bob"));
    QStringList got;
    for (const auto& [name, doc, user] : users) {
        if (doc->peek(user).value == u"bob")
            got << name;
    }
    QCOMPARE(got, filled);

    // A frame's own completion takes its frames as the first level.
    if (frames.value(0) == u"nested") {
        const auto& [name, doc, user] = users.first();
        FormFiller(host).FillDocument(FrameRef(&browser, {0}), kFillModeWrite, kLogin,
                                      QStringLiteral("user=eve"));
        QCOMPARE(doc->peek(user).value, QStringLiteral("eve"));
    }
}

void tst_FormFiller::autoClick_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("postData");
    QTest::addColumn<QString>("clicked"); // "" none: the user is asked to click
    const struct
    {
        const char *name, *layout, *postData, *clicked;
    } rows[] = {
        {"first of two submits", "text:user;submit:go1;submit:go2", "user=b", "go1"},
        {"submit type in upper case", "text:user;SUBMIT:go", "user=b", "go"},
        {"submit wins over an image", "text:user;image:img::i.gif;submit:go", "user=b", "go"},
        {"image after the recorded text", "text:user;image:go::g.gif", "user=b", "go"},
        {"image before the text field", "image:go::g.gif;text:user", "user=b", ""},
        {"only a password recorded", "password:pw;image:go::g.gif", "pw=x", ""},
        {"image outside the form", "text:user;d:image:go::g.gif", "user=b", "go"},
        {"image without a picture skipped", "text:user;image:a;image:b::b.gif", "user=b", "b"},
        {"first image with a picture", "text:user;image:a::a.gif;image:b::b.gif", "user=b", "a"},
        {"encoded recorded name does not count", "text:user[name];image:go::g.gif",
         "user%5Bname%5D=b", ""},
        {"names compared ignoring case", "text:UserName;image:go::g.gif", "USERNAME=b", "go"},
        {"flag stays after an unrecorded field", "text:user;text:q;image:go::g.gif", "user=b",
         "go"},
        {"unrecorded text before the image", "d:text:q;d:image:go::g.gif;text:user", "user=b", ""},
        {"other buttons never used", "text:user;button:b;d:submit:s;d:reset:r", "user=b", ""},
        {"form without fields", "d:text:user;d:image:go::g.gif", "user=b", "go"},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << str(r.layout) << str(r.postData) << str(r.clicked);
}

void tst_FormFiller::autoClick()
{
    QFETCH(QString, layout);
    QFETCH(QString, postData);
    QFETCH(QString, clicked);

    FakeDocument doc(kPage);
    build(doc, doc.addForm(QStringLiteral("login.cgi")), layout);
    RecordingFillHost host;
    host.autoClick = true;
    // Filled counts as done whether or not a click was possible.
    QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, kLogin, postData));
    QCOMPARE(clicks(doc), clicked.isEmpty() ? QStringList() : QStringList{"click " + clicked});
    QCOMPARE(host.statusTexts,
             clicked.isEmpty() ? QStringList{kAutoClickFailedText} : QStringList());

    // With Manual Click the same fill clicks nothing and says nothing.
    doc.clearWrites();
    host.statusTexts.clear();
    host.autoClick = false;
    QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, kLogin, postData));
    QCOMPARE(clicks(doc), QStringList());
    QCOMPARE(host.statusTexts, QStringList());
}

void tst_FormFiller::failures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("withSubmit");
    QTest::addColumn<bool>("autoClick");
    QTest::addColumn<bool>("done");
    QTest::addColumn<int>("writes"); // fields written before the failure, which keep them
    const struct
    {
        const char* name;
        const char* fault;
        bool submit, autoClick, done;
        int writes;
    } rows[] = {
        {"field refuses a value", "refuse pass", true, true, false, 1},
        {"submit click fails", "refuse go", true, true, false, 2},
        {"forms unreadable", "forms", true, true, false, 0},
        {"page gone during the fill", "gone", true, true, false, 1},
        {"writes fail when sent", "flush", true, false, false, 2},
        {"writes fail before the image search", "flush", false, true, false, 2},
        {"image search fails quietly", "inputs", false, true, true, 2},
        {"image click fails quietly", "refuse img", false, true, true, 2},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << str(r.fault) << r.submit << r.autoClick << r.done << r.writes;
}

void tst_FormFiller::failures()
{
    QFETCH(QString, fault);
    QFETCH(bool, withSubmit);
    QFETCH(bool, autoClick);
    QFETCH(bool, done);
    QFETCH(int, writes);

    FakeDocument doc(kPage);
    build(doc, doc.addForm(QStringLiteral("login.cgi")),
          QStringLiteral("text:user;password:pass;image:img::go.gif") +
              (withSubmit ? QStringLiteral(";submit:go") : QString()));
    if (fault.startsWith(u"refuse "))
        doc.refuseElement(doc.find(fault.mid(7)));
    else if (fault == u"forms")
        doc.failOn(DomCall::Forms);
    else if (fault == u"gone")
        doc.failAfter(2); // forms() and the first write
    else if (fault == u"flush")
        doc.failOn(DomCall::Flush);
    else if (fault == u"inputs")
        doc.failOn(DomCall::ElementsByTagName);

    RecordingFillHost host;
    host.autoClick = autoClick;
    QCOMPARE(
        FormFiller(host).FillForms(kFillModeWrite, doc, kLogin, QStringLiteral("user=bob&pass=pw")),
        done);
    QCOMPARE(doc.writeLog(), QStringList({"value user=bob", "value pass=pw"}).mid(0, writes));
    QCOMPARE(host.statusTexts, QStringList());
}

void tst_FormFiller::windowClosedDuringFill()
{
    auto top = FakeDocument::create(kPage);
    auto frame = top->addFrame(kPage);
    build(*frame, frame->addForm(kLogin), QStringLiteral("text:user;text:name;submit:go"));
    const ElementId topUser = top->addForm(kLogin).addText(QStringLiteral("user"));

    RecordingFillHost host;
    host.autoClick = true;
    host.windowWidget = new QWidget;
    QPointer<QWidget> window = host.windowWidget;
    // The user closes the window while the fill lets events through.
    int callsBeforeClose = -1;
    frame->setFaultHook([&](DomCall call, ElementId) {
        if (call != DomCall::SetValue || callsBeforeClose >= 0)
            return;
        callsBeforeClose = host.calls;
        QMetaObject::invokeMethod(
            qApp, [window] { delete window; }, Qt::QueuedConnection);
    });
    FakeBrowser browser;
    browser.setDocument(top);
    FormFiller(host).FillDocument(browser.topFrame(), kFillModeWrite, kLogin,
                                  QStringLiteral("user=bob&name=Bob"));
    QVERIFY(!window);
    QCOMPARE(frame->writeLog(), QStringList{"value user=bob"});
    QCOMPARE(top->peek(topUser).value, QString());
    QCOMPARE(host.calls, callsBeforeClose); // the gone window is not touched again
}

void tst_FormFiller::oneReadPerForm()
{
    FakeDocument doc(kPage);
    doc.addForm(QStringLiteral("search.cgi")).addText(QStringLiteral("q"));
    FakeForm& form = doc.addForm(QStringLiteral("login.cgi"));
    QStringList pairs;
    for (int i = 0; i < 500; ++i) {
        form.addText(QStringLiteral("f%1").arg(i));
        pairs << QStringLiteral("f%1=v%1").arg(i);
    }
    form.addSubmit(QStringLiteral("go"));
    RecordingFillHost host;
    host.autoClick = true;
    QVERIFY(FormFiller(host).FillForms(kFillModeWrite, doc, kLogin, pairs.join(u'&')));
    // One read, the writes, and the click that sends them.
    QCOMPARE(doc.calls(DomCall::Forms), 1);
    QCOMPARE(doc.totalCalls(), 502);
    QCOMPARE(doc.peek(doc.find(QStringLiteral("f0"))).value, QStringLiteral("v0"));
    QCOMPARE(doc.peek(doc.find(QStringLiteral("f499"))).value, QString()); // beyond the kept pairs
}

QTEST_MAIN(tst_FormFiller)
#include "tst_formfiller.moc"
