#include "engineerror.h"
#include "fakebrowser.h"

#include <QSignalSpy>
#include <QTest>

using namespace brackenly;

namespace {

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

} // namespace

class TestEngineDouble : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void documentAtWalksFrames_data();
    void documentAtWalksFrames();
    void completeAllReportsFramesFirst();
    void inputsInDocumentOrder();
    void faultInjection_data();
    void faultInjection();
};

void TestEngineDouble::documentAtWalksFrames_data()
{
    QTest::addColumn<QList<int>>("path");
    QTest::addColumn<QString>("url"); // "" = raises EngineError

    QTest::newRow("top") << QList<int>{} << "http://h/top.html";
    QTest::newRow("nested") << QList<int>{0, 1} << "http://h/f01.html";
    QTest::newRow("refused") << QList<int>{1} << "";
    QTest::newRow("below refused") << QList<int>{1, 0} << "";
    QTest::newRow("past the end") << QList<int>{3} << "";
    QTest::newRow("negative") << QList<int>{-1} << "";
}

void TestEngineDouble::documentAtWalksFrames()
{
    QFETCH(QList<int>, path);
    QFETCH(QString, url);

    FakeBrowser browser;
    QVERIFY_THROWS_EXCEPTION(EngineError, browser.documentAt(path)); // no document yet
    browser.setDocument(frameTree());
    if (url.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(EngineError, FrameRef(&browser, path).document());
        return;
    }
    const auto doc = FrameRef(&browser, path).document();
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
    browser.load(frameTree());
    QStringList seen;
    for (const auto& args : spy) {
        QStringList path;
        const FrameRef frame = args.at(0).value<FrameRef>(); // outlives the loop below
        for (int i : frame.path())
            path << QString::number(i);
        seen << QLatin1Char('/') + path.join(QLatin1Char('/')) + QLatin1Char(' ') +
                    args.at(1).toString();
    }
    QCOMPARE(seen, QStringList({"/0/0 http://h/f00.html", "/0/1 http://h/f01.html",
                                "/0 http://h/f0.html", "/1 http://other/r1.html",
                                "/2 http://h/f2.html", "/ http://h/top.html"}));
}

void TestEngineDouble::inputsInDocumentOrder()
{
    FakeDocument doc(QStringLiteral("http://h/"));
    auto& form = doc.addForm(QStringLiteral("one.cgi"));
    form.addText(QStringLiteral("a"));
    form.addSelect(QStringLiteral("s"), {{"One", "1"}});
    form.addElement({0, QStringLiteral("image"), QStringLiteral("img"), {}, false, "go.gif", {}});
    doc.addLooseElement({0, QStringLiteral("text"), QStringLiteral("q"), {}, false, {}, {}});
    form.addText(QStringLiteral("b")); // added last, so last in document order

    QStringList seen;
    for (const DomElement& e : doc.elementsByTagName(QStringLiteral("input")))
        seen << e.name;
    QCOMPARE(seen, QStringList({"a", "img", "q", "b"}));
    QCOMPARE(doc.elementsByTagName(QStringLiteral("SELECT")).size(), 1);
    // A real form's elements leave the image input out.
    QCOMPARE(doc.forms().at(0).elements.size(), 3);
}

void TestEngineDouble::faultInjection_data()
{
    QTest::addColumn<QString>("fault");
    // The run: url, forms, forms, setValue, click. "." succeeds, "X" raises.
    QTest::addColumn<QString>("outcome");
    for (const auto& [fault, outcome] : {std::pair{"none", "....."},
                                         {"forms always", ".XX.."},
                                         {"forms 2nd", "..X.."},
                                         {"refuse", "...XX"}})
        QTest::newRow(fault) << QString(fault) << QString(outcome);
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
    else if (fault == QLatin1String("refuse"))
        doc.refuseElement(user);

    const std::function<void()> run[] = {
        [&] { doc.url(); },       [&] { doc.forms(); },
        [&] { doc.forms(); },     [&] { doc.setValue(user, QStringLiteral("v")); },
        [&] { doc.click(user); },
    };
    QString seen;
    for (const auto& call : run) {
        try {
            call();
            seen += QLatin1Char('.');
        } catch (const EngineError&) {
            seen += QLatin1Char('X');
        }
    }
    QCOMPARE(seen, outcome);
    QCOMPARE(doc.calls(DomCall::Forms), 2); // failed calls are round trips too
    QCOMPARE(doc.writeLog().size(), int(outcome.mid(3).count(QLatin1Char('.'))));
    QCOMPARE(doc.peek(user).value, QString(seen[3] == QLatin1Char('.') ? "v" : ""));
}

QTEST_MAIN(TestEngineDouble)
#include "tst_enginedouble.moc"
