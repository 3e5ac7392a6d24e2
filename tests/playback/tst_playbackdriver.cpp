#include "fakebrowser.h"
#include "fakedocument.h"
#include "playbackdriver.h"
#include "testplaybackhost.h"

#include <QApplication>
#include <QTest>

using namespace brackenly;
using A = PromptAnswer;

Q_DECLARE_METATYPE(PromptAnswer)

namespace {

const QString kPage = QStringLiteral("http://site/app/login.html");

// A Form record (unless another type is given) whose post data fills "user" with its name.
Record record(const QString& session, const QString& url = kPage,
              const QString& type = QStringLiteral("Form"))
{
    return {
        type,      session,  url, QStringLiteral("http://site/app/login.cgi"), "user=" + session,
        QString(), QString()};
}

// The marks as "prompt manual auto nofill", e.g. "1010".
QString marks(const TestPlaybackHost& host)
{
    QString text;
    for (QAction* a : {host.mnuPromptFill, host.mnuManualClick, host.mnuAutoClick, host.mnuNoFill})
        text += a->isChecked() ? u'1' : u'0';
    return text;
}

void setMarks(TestPlaybackHost& host, const QString& text)
{
    const QList<QAction*> actions{host.mnuPromptFill, host.mnuManualClick, host.mnuAutoClick,
                                  host.mnuNoFill};
    for (int i = 0; i < 4; ++i)
        actions[i]->setChecked(text.at(i) == u'1');
}

FillModeActions actionsOf(TestPlaybackHost& host)
{
    return {host.mnuPromptFill, host.mnuManualClick, host.mnuAutoClick, host.mnuNoFill};
}

// The page every record above points at.
struct LoginPage
{
    LoginPage() : doc(FakeDocument::create(kPage))
    {
        FakeForm& form = doc->addForm(QStringLiteral("login.cgi"));
        user = form.addText(QStringLiteral("user"));
        form.addSubmit(QStringLiteral("go"));
        browser.setDocument(doc);
    }
    QString filledWith() const { return doc->peek(user).value; }
    bool submitted() const { return doc->writeLog().contains(QStringLiteral("click go")); }

    std::shared_ptr<FakeDocument> doc;
    FakeBrowser browser;
    ElementId user = 0;
};

} // namespace

class tst_PlaybackDriver : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void modeMenu_data();
    void modeMenu();
    void promptWalk_data();
    void promptWalk();
    void whenTheStepFills_data();
    void whenTheStepFills();
    void lastCompletedUrlReadAtEachCandidate();
    void listReadFailurePropagates();
    void windowClosedDuringPrompt();
    void goTo_data();
    void goTo();
};

void tst_PlaybackDriver::modeMenu_data()
{
    QTest::addColumn<int>("item");    // 0 prompt, 1 manual, 2 auto, 3 no fill
    QTest::addColumn<bool>("byMenu"); // the menu's own click toggles the mark first
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const struct
    {
        const char* name;
        int item;
        const char *before, *after;
    } rows[] = {
        {"auto from manual", 2, "1100", "1010"},
        {"auto from no fill", 2, "0001", "0010"},
        {"checked auto hands over to manual", 2, "1010", "1100"},
        {"manual from auto", 1, "1010", "1100"},
        {"checked manual hands over to auto", 1, "0100", "0010"},
        {"no fill from auto", 3, "1010", "1001"},
        {"checked no fill goes to manual", 3, "1001", "1100"},
        {"prompt off", 0, "1010", "0010"},
        {"prompt on", 0, "0100", "1100"},
    };
    for (const auto& r : rows) {
        for (const bool byMenu : {true, false})
            QTest::addRow("%s, %s", r.name, byMenu ? "menu" : "handler")
                << r.item << byMenu << QString::fromLatin1(r.before)
                << QString::fromLatin1(r.after);
    }
}

void tst_PlaybackDriver::modeMenu()
{
    QFETCH(int, item);
    QFETCH(bool, byMenu);
    QFETCH(QString, before);
    QFETCH(QString, after);

    TestPlaybackHost host;
    PlaybackDriver driver(host, actionsOf(host));
    setMarks(host, before);
    const QList<QAction*> actions{host.mnuPromptFill, host.mnuManualClick, host.mnuAutoClick,
                                  host.mnuNoFill};
    const QList<void (PlaybackDriver::*)()> handlers{
        &PlaybackDriver::mnuPromptFill_Click, &PlaybackDriver::mnuManualClick_Click,
        &PlaybackDriver::mnuAutoClick_Click, &PlaybackDriver::mnuNoFill_Click};
    if (byMenu)
        actions[item]->trigger();
    else
        (driver.*handlers[item])();
    QCOMPARE(marks(host), after);
}

void tst_PlaybackDriver::promptWalk_data()
{
    QTest::addColumn<QList<Record>>("records");
    QTest::addColumn<bool>("prompt");
    QTest::addColumn<QList<A>>("answers");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("filledWith");
    const QList<Record> two{record("one"), record("two", kPage.toUpper())};
    const struct
    {
        const char* name;
        QList<Record> records;
        bool prompt;
        QList<A> answers;
        QStringList titles;
        const char* filled;
    } rows[] = {
        {"ok on the first", two, true, {A::Ok}, {"Session=one"}, "one"},
        {"cancel offers the next",
         two,
         true,
         {A::Cancel, A::Ok},
         {"Session=one", "Session=two"},
         "two"},
        {"cancel on all", two, true, {A::Cancel, A::Cancel}, {"Session=one", "Session=two"}, ""},
        {"without prompt the first in list order", two, false, {}, {}, "one"},
        {"only Form records, exact type",
         {record("a", kPage, "form"), record("b", kPage, "Url"), record("c")},
         true,
         {A::Ok},
         {"Session=c"},
         "c"},
        {"other pages skipped",
         {record("a", "http://site/app/other.html"), record("b", kPage + "?x=1"), record("c")},
         false,
         {},
         {},
         "c"},
        {"empty list", {}, true, {}, {}, ""},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << r.records << r.prompt << r.answers << r.titles
                              << QString::fromLatin1(r.filled);
}

void tst_PlaybackDriver::promptWalk()
{
    QFETCH(QList<Record>, records);
    QFETCH(bool, prompt);
    QFETCH(QList<A>, answers);
    QFETCH(QStringList, titles);
    QFETCH(QString, filledWith);

    TestPlaybackHost host;
    host.records = records;
    host.mnuPromptFill->setChecked(prompt);
    for (A a : answers)
        host.scripted.answer(a);
    PlaybackDriver driver(host, actionsOf(host));
    LoginPage page;
    driver.PlaybackStep(page.browser.topFrame(), kPage);

    QStringList got;
    for (const auto& q : host.scripted.questions()) {
        QCOMPARE(q.text, QStringLiteral("Do you want to auto fill-in this form"));
        QCOMPARE(q.buttons, PromptButtons::OkCancel);
        QCOMPARE(q.icon, PromptIcon::None);
        QCOMPARE(q.parent.data(), host.widget.data());
        got << q.title;
    }
    QCOMPARE(got, titles);
    QCOMPARE(page.filledWith(), filledWith);
    QCOMPARE(page.submitted(), !filledWith.isEmpty());
}

void tst_PlaybackDriver::whenTheStepFills_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QString>("lastUrl");
    QTest::addColumn<bool>("filled");
    QTest::addColumn<bool>("submitted");
    const struct
    {
        const char *name, *mode, *marks, *lastUrl;
        bool filled, submitted;
    } rows[] = {
        {"auto click", "Playback", "0010", "", true, true},
        {"manual click", "Playback", "0100", "", true, false},
        {"no fill", "Playback", "0001", "", false, false},
        {"no mode checked", "Playback", "0000", "", false, false},
        {"not armed", "", "0010", "", false, false},
        {"mode is case-sensitive", "playback", "0010", "", false, false},
        {"same address as the last completion", "Playback", "0010", "HTTP://SITE/APP/LOGIN.HTML",
         false, false},
        {"same address, with prompt: not asked", "Playback", "1010", "http://site/app/login.html",
         false, false},
        {"last completion elsewhere", "Playback", "0010", "http://site/app/start.html", true, true},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.mode) << QString::fromLatin1(r.marks)
                              << QString::fromLatin1(r.lastUrl) << r.filled << r.submitted;
}

void tst_PlaybackDriver::whenTheStepFills()
{
    QFETCH(QString, mode);
    QFETCH(QString, marks);
    QFETCH(QString, lastUrl);
    QFETCH(bool, filled);
    QFETCH(bool, submitted);

    TestPlaybackHost host;
    host.gstrCurMode = mode;
    host.LastCompletedUrl = lastUrl;
    host.records = {record("bob")};
    setMarks(host, marks);
    PlaybackDriver driver(host, actionsOf(host));
    LoginPage page;
    driver.PlaybackStep(page.browser.topFrame(), kPage);
    QCOMPARE(page.filledWith(), filled ? QStringLiteral("bob") : QString());
    QCOMPARE(page.submitted(), submitted);
    QCOMPARE(host.scripted.questions().size(), 0);
}

void tst_PlaybackDriver::lastCompletedUrlReadAtEachCandidate()
{
    // While the first question is open another completion of the same page finishes.
    TestPlaybackHost host;
    host.records = {record("one"), record("two")};
    host.scripted.answer([&host](const ScriptedPrompt::Question&) {
        host.LastCompletedUrl = kPage;
        return A::Cancel;
    });
    PlaybackDriver driver(host, actionsOf(host));
    LoginPage page;
    driver.PlaybackStep(page.browser.topFrame(), kPage);
    QCOMPARE(host.scripted.questions().size(), 1);
    QCOMPARE(page.filledWith(), QString());
}

void tst_PlaybackDriver::listReadFailurePropagates()
{
    TestPlaybackHost host;
    host.mnuPromptFill->setChecked(false);
    host.records = {record("a", "http://elsewhere/"), record("b")};
    host.failReadAt = 1;
    PlaybackDriver driver(host, actionsOf(host));
    LoginPage page;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             driver.PlaybackStep(page.browser.topFrame(), kPage));
    QCOMPARE(page.filledWith(), QString());

    // A record chosen before the broken item is filled as usual.
    host.failReadAt = 2;
    driver.PlaybackStep(page.browser.topFrame(), kPage);
    QCOMPARE(page.filledWith(), QStringLiteral("b"));
}

void tst_PlaybackDriver::windowClosedDuringPrompt()
{
    TestPlaybackHost host;
    host.records = {record("a")};
    host.scripted.answer([&host](const ScriptedPrompt::Question&) {
        delete host.widget;
        return A::Ok;
    });
    QPointer<PlaybackDriver> driver = new PlaybackDriver(host, actionsOf(host), host.widget);
    LoginPage page;
    driver->PlaybackStep(page.browser.topFrame(), kPage);
    QVERIFY(!driver);
    QCOMPARE(page.doc->totalCalls(), 0);
}

void tst_PlaybackDriver::goTo_data()
{
    QTest::addColumn<QString>("type"); // "-": nothing selected, "!": the list read fails
    QTest::addColumn<A>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("navigates");
    const char* form = "Do you want to go to this form?";
    const char* address = "Do you want to go to this address?";
    const struct
    {
        const char *name, *type;
        A answer;
        const char* question;
        bool navigates;
    } rows[] = {
        {"nothing selected", "-", A::Ok, "Please select a record session from the list first!",
         false},
        {"form, yes", "Form", A::Yes, form, true},
        {"form, no", "Form", A::No, form, false},
        {"type in another case is an address", "FORM", A::Yes, address, true},
        {"address", "Url", A::Yes, address, true},
        {"list read fails quietly", "!", A::Yes, "", false},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.type) << r.answer
                              << QString::fromLatin1(r.question) << r.navigates;
}

void tst_PlaybackDriver::goTo()
{
    QFETCH(QString, type);
    QFETCH(A, answer);
    QFETCH(QString, question);
    QFETCH(bool, navigates);

    TestPlaybackHost host;
    host.failSelection = type == u"!";
    if (type != u"-" && type != u"!")
        host.selected = record("s", kPage, type);
    host.scripted.setDefaultAnswer(answer);
    PlaybackDriver driver(host, actionsOf(host));
    driver.cmdFill_Click();

    QCOMPARE(host.scripted.texts(), question.isEmpty() ? QStringList() : QStringList{question});
    if (!question.isEmpty()) {
        const auto& q = host.scripted.questions().first();
        QCOMPARE(q.title, type == u"-" ? QString() : "Address: " + kPage);
        QCOMPARE(q.buttons, type == u"-" ? PromptButtons::Ok : PromptButtons::YesNo);
        QCOMPARE(q.icon, PromptIcon::None);
    }
    QCOMPARE(host.goTos, navigates ? QStringList{kPage} : QStringList());
}

QTEST_MAIN(tst_PlaybackDriver)
#include "tst_playbackdriver.moc"
