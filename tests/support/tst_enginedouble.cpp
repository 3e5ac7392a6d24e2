#include "engineerror.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "scriptedprompt.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

using namespace brackenly;

namespace {

QString pathText(const QList<int>& path)
{
    QStringList parts;
    for (int i : path)
        parts << QString::number(i);
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

// top -> [0: f0 -> [0: f00, 1: f01], 1: refused r1, 2: f2]
std::shared_ptr<FakeDocument> frameTree()
{
    auto top = FakeDocument::create(QStringLiteral("http://h/top.html"));
    auto f0 = top->addFrame(QStringLiteral("http://h/f0.html"));
    f0->addFrame(QStringLiteral("http://h/f00.html"));
    f0->addFrame(QStringLiteral("http://h/f01.html"));
    top->addRefusedFrame(QStringLiteral("http://other/r1.html"));
    top->addFrame(QStringLiteral("http://h/f2.html"));
    return top;
}

QString describe(const DomElement& e)
{
    const QString type = e.type.toLower();
    if (type == QLatin1String("radio") || type == QLatin1String("checkbox"))
        return e.name + QLatin1Char(':') + e.value + (e.checked ? QStringLiteral("*") : QString());
    QString text = e.name + QLatin1Char('=') + e.value;
    if (type.startsWith(QLatin1String("select"))) {
        QStringList selected;
        for (int i = 0; i < e.options.size(); ++i) {
            if (e.options[i].selected)
                selected << QString::number(i);
        }
        text += QLatin1Char('[') + selected.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    return text;
}

QString formState(FakeDocument& doc)
{
    QStringList parts;
    for (const DomElement& e : doc.forms().value(0).elements)
        parts << describe(e);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestEngineDouble : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void documentAtWalksFrames_data();
    void documentAtWalksFrames();
    void completeAllReportsFramesFirst();
    void elementsInDocumentOrder_data();
    void elementsInDocumentOrder();
    void formsAsReported_data();
    void formsAsReported();
    void writesVisibleOnRead_data();
    void writesVisibleOnRead();
    void staleHandlesRaise_data();
    void staleHandlesRaise();
    void faultInjection_data();
    void faultInjection();
    void collectionIsOneRoundTrip_data();
    void collectionIsOneRoundTrip();
    void clickRunsActionAndNewWindow();
    void backStateAndNavigations();
    void factoryTracksBrowsers();
    void promptAnswersInOrder();
    void promptWithoutAnswerFails();
};

void TestEngineDouble::documentAtWalksFrames_data()
{
    QTest::addColumn<QList<int>>("path");
    QTest::addColumn<QString>("url"); // "" = raises EngineError

    QTest::newRow("top") << QList<int>{} << "http://h/top.html";
    QTest::newRow("frame") << QList<int>{2} << "http://h/f2.html";
    QTest::newRow("nested") << QList<int>{0, 1} << "http://h/f01.html";
    QTest::newRow("refused") << QList<int>{1} << "";
    QTest::newRow("below refused") << QList<int>{1, 0} << "";
    QTest::newRow("past the end") << QList<int>{3} << "";
    QTest::newRow("negative") << QList<int>{-1} << "";
    QTest::newRow("too deep") << QList<int>{0, 0, 0} << "";
}

void TestEngineDouble::documentAtWalksFrames()
{
    QFETCH(QList<int>, path);
    QFETCH(QString, url);

    FakeBrowser browser;
    QVERIFY_THROWS_EXCEPTION(EngineError, browser.documentAt(path)); // no document yet
    browser.setDocument(frameTree());
    const FrameRef ref(&browser, path);

    if (url.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(EngineError, ref.document());
        return;
    }
    const auto doc = ref.document();
    QCOMPARE(doc->url(), url);
    // The Document interface reaches the same document frame by frame.
    std::shared_ptr<Document> walked = browser.document();
    for (int index : path)
        walked = walked->frame(index);
    QCOMPARE(walked.get(), doc.get());
}

void TestEngineDouble::completeAllReportsFramesFirst()
{
    FakeBrowser browser;
    QSignalSpy spy(&browser, &Browser::DocumentComplete);
    browser.completeAll(); // no document: nothing to report
    QCOMPARE(spy.count(), 0);

    browser.setDocument(frameTree());
    browser.completeAll();
    QStringList seen;
    for (const auto& args : spy) {
        const auto ref = args.at(0).value<FrameRef>();
        QCOMPARE(ref.browser(), &browser);
        seen << pathText(ref.path()) + QLatin1Char(' ') + args.at(1).toString();
    }
    QCOMPARE(seen, QStringList({"/0/0 http://h/f00.html", "/0/1 http://h/f01.html",
                                "/0 http://h/f0.html", "/1 http://other/r1.html",
                                "/2 http://h/f2.html", "/ http://h/top.html"}));
}

void TestEngineDouble::elementsInDocumentOrder_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("INPUT") << "INPUT" << QStringList{"a", "img1", "q", "p", "b"};
    QTest::newRow("lower case") << "input" << QStringList{"a", "img1", "q", "p", "b"};
    QTest::newRow("select") << "Select" << QStringList{"s"};
    QTest::newRow("textarea") << "TEXTAREA" << QStringList{"t"};
    QTest::newRow("other tag") << "IMG" << QStringList{};
}

void TestEngineDouble::elementsInDocumentOrder()
{
    QFETCH(QString, tag);
    QFETCH(QStringList, names);

    FakeDocument doc(QStringLiteral("http://h/"));
    auto& f1 = doc.addForm(QStringLiteral("one.cgi"));
    f1.addText(QStringLiteral("a"));
    f1.addSelect(QStringLiteral("s"), {{"One", "1"}});
    f1.addImageButton(QStringLiteral("img1"), QStringLiteral("go.gif"));
    doc.addInput(QStringLiteral("text"), QStringLiteral("q"));
    auto& f2 = doc.addForm(QStringLiteral("two.cgi"));
    f2.addPassword(QStringLiteral("p"));
    f2.addTextarea(QStringLiteral("t"));
    f1.addText(QStringLiteral("b")); // added last, so last in document order

    QStringList seen;
    for (const DomElement& e : doc.elementsByTagName(tag))
        seen << e.name;
    QCOMPARE(seen, names);
}

void TestEngineDouble::formsAsReported_data()
{
    QTest::addColumn<QString>("docUrl");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("reported");

    QTest::newRow("relative") << "http://h/dir/page.html"
                              << "post.cgi"
                              << "user"
                              << "http://h/dir/post.cgi";
    QTest::newRow("root relative") << "http://h/dir/page.html"
                                   << "/cgi/post.cgi"
                                   << "user"
                                   << "http://h/cgi/post.cgi";
    QTest::newRow("absolute kept") << "http://h/a.html"
                                   << "http://x/Post.CGI?a=1"
                                   << "user"
                                   << "http://x/Post.CGI?a=1";
    QTest::newRow("empty is the page") << "http://h/a.html?x=1"
                                       << ""
                                       << "user"
                                       << "http://h/a.html?x=1";
    QTest::newRow("field named action") << "http://h/a.html"
                                        << "post.cgi"
                                        << "action"
                                        << "[object]";
    QTest::newRow("ACTION is another name") << "http://h/a.html"
                                            << "post.cgi"
                                            << "ACTION"
                                            << "http://h/post.cgi";
}

void TestEngineDouble::formsAsReported()
{
    QFETCH(QString, docUrl);
    QFETCH(QString, action);
    QFETCH(QString, fieldName);
    QFETCH(QString, reported);

    FakeDocument doc(docUrl);
    auto& form = doc.addForm(action, QStringLiteral("f1"), QStringLiteral("main"));
    form.addText(fieldName);
    form.addImageButton(QStringLiteral("go"), QStringLiteral("go.gif"));
    form.addSubmit();

    const QList<DomForm> forms = doc.forms();
    QCOMPARE(forms.size(), 1);
    QCOMPARE(forms[0].action, reported);
    QCOMPARE(forms[0].id, QStringLiteral("f1"));
    QCOMPARE(forms[0].target, QStringLiteral("main"));
    // A real form's elements leave the image input out; the tag list keeps it, resolved.
    QCOMPARE(forms[0].elements.size(), 2);
    const QList<DomElement> inputs = doc.elementsByTagName(QStringLiteral("INPUT"));
    QCOMPARE(inputs.size(), 3);
    QCOMPARE(inputs[1].src, QUrl(docUrl).resolved(QUrl(QStringLiteral("go.gif"))).toString());
}

void TestEngineDouble::writesVisibleOnRead_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("nth");
    QTest::addColumn<QString>("arg"); // value text, or "index=bool"
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("log");

    // Starts as: user=x r:a* r:b s=1[0] m=[] c:on
    QTest::newRow("text value") << "value"
                                << "user" << 0 << "y"
                                << "user=y r:a* r:b s=1[0] m=[] c:on"
                                << "value user=y";
    QTest::newRow("radio unchecks group") << "checked"
                                          << "r" << 1 << "true"
                                          << "user=x r:a r:b* s=1[0] m=[] c:on"
                                          << "checked r=true";
    QTest::newRow("checkbox") << "checked"
                              << "c" << 0 << "true"
                              << "user=x r:a* r:b s=1[0] m=[] c:on*"
                              << "checked c=true";
    QTest::newRow("single choice moves") << "option"
                                         << "s" << 0 << "1=true"
                                         << "user=x r:a* r:b s=2[1] m=[] c:on"
                                         << "option s[1]=true";
    QTest::newRow("single choice keeps one") << "option"
                                             << "s" << 0 << "0=false"
                                             << "user=x r:a* r:b s=1[0] m=[] c:on"
                                             << "option s[0]=false";
    QTest::newRow("multiple choice adds") << "option"
                                          << "m" << 0 << "1=true"
                                          << "user=x r:a* r:b s=1[0] m=b[1] c:on"
                                          << "option m[1]=true";
    QTest::newRow("list value selects") << "value"
                                        << "s" << 0 << "2"
                                        << "user=x r:a* r:b s=2[1] m=[] c:on"
                                        << "value s=2";
    QTest::newRow("list value unknown") << "value"
                                        << "s" << 0 << "Two"
                                        << "user=x r:a* r:b s=[] m=[] c:on"
                                        << "value s=Two";
}

void TestEngineDouble::writesVisibleOnRead()
{
    QFETCH(QString, op);
    QFETCH(QString, name);
    QFETCH(int, nth);
    QFETCH(QString, arg);
    QFETCH(QString, state);
    QFETCH(QString, log);

    FakeDocument doc(QStringLiteral("http://h/"));
    auto& form = doc.addForm(QStringLiteral("post.cgi"));
    form.addText(QStringLiteral("user"), QStringLiteral("x"));
    form.addRadio(QStringLiteral("r"), QStringLiteral("a"), true);
    form.addRadio(QStringLiteral("r"), QStringLiteral("b"));
    form.addSelect(QStringLiteral("s"), {{"One", "1"}, {"Two", "2"}});
    form.addSelect(QStringLiteral("m"), {{"A", "a"}, {"B", "b"}}, true);
    form.addCheckbox(QStringLiteral("c"));

    const ElementId target = doc.find(name, nth);
    QVERIFY(target != 0);
    if (op == QLatin1String("value")) {
        doc.setValue(target, arg);
    } else if (op == QLatin1String("checked")) {
        doc.setChecked(target, arg == QLatin1String("true"));
    } else {
        const QStringList parts = arg.split(QLatin1Char('='));
        doc.setOptionSelected(target, parts[0].toInt(), parts[1] == QLatin1String("true"));
    }
    QCOMPARE(formState(doc), state);
    QCOMPARE(doc.writeLog(), QStringList{log});
    QCOMPARE(doc.writes().first().handle, target);
}

void TestEngineDouble::staleHandlesRaise_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("removed element") << "removed";
    QTest::newRow("removed with its form") << "form removed";
    QTest::newRow("another document's") << "foreign";
    QTest::newRow("option past the end") << "bad option";
    QTest::newRow("options of a text field") << "not a list";
}

void TestEngineDouble::staleHandlesRaise()
{
    QFETCH(QString, which);

    FakeDocument doc;
    FakeDocument other;
    auto& form = doc.addForm();
    const ElementId text = form.addText(QStringLiteral("t"));
    const ElementId list = form.addSelect(QStringLiteral("s"), {{"One", "1"}});
    const ElementId foreign = other.addInput(QStringLiteral("text"), QStringLiteral("t"));

    ElementId handle = text;
    int option = 0;
    if (which == QLatin1String("removed")) {
        doc.remove(text);
    } else if (which == QLatin1String("form removed")) {
        doc.remove(form.handle());
        QCOMPARE(doc.forms().size(), 0);
    } else if (which == QLatin1String("foreign")) {
        handle = foreign;
    } else if (which == QLatin1String("bad option")) {
        handle = list;
        option = 1;
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, doc.setOptionSelected(handle, option, true));
    if (which != QLatin1String("bad option") && which != QLatin1String("not a list")) {
        QVERIFY_THROWS_EXCEPTION(EngineError, doc.setValue(handle, QStringLiteral("v")));
        QVERIFY_THROWS_EXCEPTION(EngineError, doc.click(handle));
    }
    QVERIFY(doc.writes().isEmpty());
}

void TestEngineDouble::faultInjection_data()
{
    QTest::addColumn<QString>("fault");
    // The run: url, forms, forms, setValue, click. "." succeeds, "X" raises.
    QTest::addColumn<QString>("outcome");

    QTest::newRow("none") << "none"
                          << ".....";
    QTest::newRow("every forms") << "forms always"
                                 << ".XX..";
    QTest::newRow("second forms") << "forms 2nd"
                                  << "..X..";
    QTest::newRow("page gone after three") << "after 3"
                                           << "...XX";
    QTest::newRow("field refuses") << "refuse"
                                   << "...XX";
    QTest::newRow("hook on click") << "hook"
                                   << "....X";
}

void TestEngineDouble::faultInjection()
{
    QFETCH(QString, fault);
    QFETCH(QString, outcome);

    FakeDocument doc(QStringLiteral("http://h/"));
    const ElementId user = doc.addForm().addText(QStringLiteral("user"));
    if (fault == QLatin1String("forms always"))
        doc.failOn(DomCall::Forms);
    else if (fault == QLatin1String("forms 2nd"))
        doc.failOn(DomCall::Forms, 2);
    else if (fault == QLatin1String("after 3"))
        doc.failAfter(3);
    else if (fault == QLatin1String("refuse"))
        doc.refuseElement(user);
    else if (fault == QLatin1String("hook"))
        doc.setFaultHook([](DomCall member, ElementId) {
            if (member == DomCall::Click)
                throw EngineError(QStringLiteral("hooked"));
        });

    const std::function<void()> run[] = {
        [&] { doc.url(); },       [&] { doc.forms(); },
        [&] { doc.forms(); },     [&] { doc.setValue(user, QStringLiteral("v")); },
        [&] { doc.click(user); },
    };
    QString seen;
    int succeededWrites = 0;
    for (size_t i = 0; i < std::size(run); ++i) {
        try {
            run[i]();
            seen += QLatin1Char('.');
            succeededWrites += i >= 3 ? 1 : 0;
        } catch (const EngineError&) {
            seen += QLatin1Char('X');
        }
    }
    QCOMPARE(seen, outcome);
    QCOMPARE(doc.totalCalls(), 5); // failed calls are round trips too
    QCOMPARE(doc.calls(DomCall::Forms), 2);
    QCOMPARE(doc.writes().size(), succeededWrites);

    doc.clearFaults();
    doc.forms(); // recovers
    QCOMPARE(doc.peek(user).value, QString(seen[3] == QLatin1Char('.') ? "v" : ""));
}

void TestEngineDouble::collectionIsOneRoundTrip_data()
{
    QTest::addColumn<int>("member");
    QTest::newRow("images") << int(DomCall::Images);
    QTest::newRow("links") << int(DomCall::Links);
    QTest::newRow("forms") << int(DomCall::Forms);
    QTest::newRow("inputs") << int(DomCall::ElementsByTagName);
}

void TestEngineDouble::collectionIsOneRoundTrip()
{
    QFETCH(int, member);

    FakeDocument doc(QStringLiteral("http://h/"));
    for (int i = 0; i < 40; ++i) {
        doc.addImage(QStringLiteral("i%1.gif").arg(i));
        doc.addLink(QStringLiteral("p%1.html").arg(i));
        doc.addForm().addText(QStringLiteral("t%1").arg(i));
    }
    qsizetype items = 0;
    switch (DomCall(member)) {
    case DomCall::Images:
        items = doc.images().size();
        break;
    case DomCall::Links:
        items = doc.links().size();
        break;
    case DomCall::Forms:
        items = doc.forms().size();
        break;
    default:
        items = doc.elementsByTagName(QStringLiteral("INPUT")).size();
        break;
    }
    QCOMPARE(items, 40);
    QCOMPARE(doc.calls(DomCall(member)), 1);
    QCOMPARE(doc.totalCalls(), 1);
}

void TestEngineDouble::clickRunsActionAndNewWindow()
{
    FakeBrowser opener;
    FakeBrowser target;
    auto doc = FakeDocument::create(QStringLiteral("http://h/dir/"));
    const ElementId link =
        doc->addLink(QStringLiteral("javascript:pop()"), QStringLiteral("<b>Pop</b>"));
    doc->addLink(QStringLiteral("next.html"));
    opener.setDocument(doc);

    Browser* handed = nullptr;
    doc->onClick(link, [&] { handed = opener.requestWindow(); });
    doc->click(link);
    QCOMPARE(handed, nullptr); // nobody handles NewWindow2: blocked

    opener.setNewWindowHandler([&] { return &target; });
    doc->click(link);
    QCOMPARE(handed, &target);
    QCOMPARE(doc->writeLog(), QStringList({"click javascript:pop()", "click javascript:pop()"}));

    const QList<DomLink> links = doc->links();
    QCOMPARE(links[0].innerHtml, QStringLiteral("<b>Pop</b>"));
    QCOMPARE(links[1].href, QStringLiteral("http://h/dir/next.html"));
    QCOMPARE(links[1].text, links[1].href);
}

void TestEngineDouble::backStateAndNavigations()
{
    FakeBrowser browser;
    QSignalSpy state(&browser, &Browser::CommandStateChange);
    browser.setBackAvailable(false); // unchanged: no event
    browser.setBackAvailable(true);
    browser.setBackAvailable(true);
    browser.setBackAvailable(false);
    QCOMPARE(state.count(), 2);
    QCOMPARE(state.at(0), QVariantList({2, true}));
    QCOMPARE(state.at(1), QVariantList({2, false}));

    QStringList hooked;
    browser.onNavigate = [&](const QString& url) { hooked << url; };
    browser.Navigate(QStringLiteral(" www.x.test "));
    browser.Navigate2(QStringLiteral("http://help/"));
    browser.GoBack();
    QCOMPARE(browser.navigatedUrls(), QStringList({" www.x.test ", "http://help/"}));
    QCOMPARE(hooked, browser.navigatedUrls());
    QVERIFY(browser.navigateCalls().at(1).navigate2);
    QCOMPARE(browser.goBackCount(), 1);
}

void TestEngineDouble::factoryTracksBrowsers()
{
    FakeBrowserFactory factory;
    auto* window = new QWidget;
    Browser* first = factory.create(window);
    factory.create(nullptr);
    QCOMPARE(factory.count(), 2);
    QCOMPARE(factory.browser(0), first);
    QCOMPARE(first->widget()->parentWidget(), window);

    delete window; // the window owns its browser
    QCOMPARE(factory.browser(0), nullptr);
    QVERIFY(factory.last() != nullptr);
    delete factory.last();
}

void TestEngineDouble::promptAnswersInOrder()
{
    ScriptedPrompt prompt;
    prompt.answer(PromptAnswer::Yes).answer([](const ScriptedPrompt::Question& q) {
        return q.buttons == PromptButtons::OkCancel ? PromptAnswer::Ok : PromptAnswer::No;
    });
    QCOMPARE(prompt.ask(nullptr, QStringLiteral("one"), {}, PromptButtons::YesNo),
             PromptAnswer::Yes);
    QCOMPARE(prompt.ask(nullptr, QStringLiteral("two"), QStringLiteral("T"),
                        PromptButtons::OkCancel, PromptIcon::Exclamation),
             PromptAnswer::Ok);
    QCOMPARE(prompt.texts(), QStringList({"one", "two"}));
    QCOMPARE(prompt.questions().at(1).title, QStringLiteral("T"));
    QCOMPARE(prompt.questions().at(1).icon, PromptIcon::Exclamation);
    QCOMPARE(prompt.pending(), 0);
    QCOMPARE(prompt.unanswered(), 0);
}

void TestEngineDouble::promptWithoutAnswerFails()
{
    ScriptedPrompt prompt;
    QEXPECT_FAIL("", "a question with no answer queued fails the test", Continue);
    const PromptAnswer answer =
        prompt.ask(nullptr, QStringLiteral("Exit?"), {}, PromptButtons::YesNo);
    QCOMPARE(answer, PromptAnswer::No);
    QCOMPARE(prompt.unanswered(), 1);
}

QTEST_MAIN(TestEngineDouble)
#include "tst_enginedouble.moc"
