#include "browserapp.h"
#include "browsermenus.h"
#include "engineerror.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "frmbrowser.h"
#include "frmhome.h"
#include "recordfile.h"
#include "recorditems.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "scriptedprompt.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace brackenly;
using namespace Qt::StringLiterals;

// The main window's own behaviour on the engine double: menus, status, navigation,
// completion, Back, the hand-over between a pop-up level window and its opener, preferences.
class tst_frmBrowser : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        browsers_ = std::make_unique<FakeBrowserFactory>();
        prompt_ = std::make_unique<ScriptedPrompt>();
        app_ = std::make_unique<BrowserApp>(Services{
            .browsers = browsers_.get(), .prompt = prompt_.get(), .programFolder = dir_->path()});
        w_ = app_->startFirstWindow();
    }
    void cleanup()
    {
        app_.reset();
        w_ = nullptr;
    }
    // The preferences dialog: the image folder is made on request, the settings file written.
    // Before the Exit tests: once the program has ended, every later modal loop ends at once.
    void showPreference_data()
    {
        using A = PromptAnswer;
        QTest::addColumn<QString>("folder"); // typed into txtImageFolder
        QTest::addColumn<QString>("press");
        QTest::addColumn<QList<PromptAnswer>>("answers");
        QTest::addColumn<QStringList>("questions"); // %1: the folder, %2: the settings file
        // "": not accepted, "before": not told (the settings file's folder is missing)
        QTest::addColumn<QString>("status");
        const QString ask = "Directory %1 does not exist, do you want to create it?";
        const QStringList none, failed{ask, "Directory %1 could not be created."};
        const QList<A> noAnswer, yesOk{A::Yes, A::Ok};
        const QString updated = "Setting is updated";
        QTest::newRow("existing folder") << "there" << u"OK"_s << noAnswer << none << updated;
        QTest::newRow("missing, Yes: created")
            << "new" << u"OK"_s << QList{A::Yes} << QStringList{ask} << updated;
        QTest::newRow("missing, No")
            << "new" << u"OK"_s << QList{A::No} << QStringList{ask} << u""_s;
        QTest::newRow("cannot be created") << "no/such" << u"OK"_s << yesOk << failed << u""_s;
        QTest::newRow("Cancel") << "new" << u"Cancel"_s << noAnswer << none << u""_s;
        QTest::newRow("settings cannot be written")
            << "there" << u"OK"_s << QList{A::Ok}
            << QStringList{"The settings could not be saved to the file %2."} << u"before"_s;
    }
    void showPreference()
    {
        QFETCH(QString, folder);
        QFETCH(QString, press);
        QFETCH(QList<PromptAnswer>, answers);
        QFETCH(QStringList, questions);
        QFETCH(QString, status);
        QTemporaryDir dir;
        const QString path = dir.filePath(folder);
        const QString settings =
            dir.filePath((status == "before" ? "gone/" : "") + u"Quillmark.xml"_s);
        const bool writable = WriteTextFile(settings, "old"), accepted = !status.isEmpty();
        QVERIFY(QDir(dir.path()).mkdir("there"));
        ScriptedPrompt prompt;
        for (PromptAnswer a : answers)
            prompt.answer(a);
        frmHome dialog(prompt, [&] { return dir.filePath("first"); });
        QString gstrSaveFolder = "/previous", shown = "before";
        QWidget* refusedFocus = nullptr;
        QTimer::singleShot(0, this, [&] {
            dialog.txtHome->setText("http://h/?a=1&b=<2>");
            dialog.txtImageFolder->setText(path);
            (press == "OK" ? dialog.cmdOK : dialog.cmdCancel)->click();
            if (dialog.isVisible()) { // OK refused
                refusedFocus = dialog.focusWidget();
                dialog.cmdCancel->click();
            }
        });
        ShowPreference(
            nullptr, dialog, gstrSaveFolder, settings, [&](const QString& t) { shown = t; },
            prompt);

        QCOMPARE(shown, status);
        QCOMPARE(refusedFocus, press == "OK" && !accepted ? dialog.txtImageFolder : nullptr);
        QCOMPARE(prompt.texts(),
                 questions.replaceInStrings("%1", path).replaceInStrings("%2", settings));
        QCOMPARE(QFileInfo(path).isDir(), folder == "there" || accepted);
        // The folder chosen is in force for this run even when it could not be stored.
        QCOMPARE(gstrSaveFolder, accepted ? path : u"/previous"_s);
        // Cancel puts back the folder.
        QCOMPARE(dialog.txtImageFolder->text(), accepted ? path : dir.filePath("first"));
        QString text;
        QCOMPARE(ReadTextFile(settings, text), writable);
        if (writable)
            QCOMPARE(text,
                     !accepted
                         ? u"old\r\n"_s
                         : "<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n    <Type>Home</Type>\r\n"
                           "    <Home>http://h/?a=1&b=<2></Home>\r\n    <ImageFolder>" +
                               path + "</ImageFolder>\r\n</Quillmark>\r\n");
    }
    void menusAtCreation_data()
    {
        // The items with a state at creation: hidden, or a mark set or clear.
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown"); // caption, " hidden", then " [x]" or " [ ]"
        const auto row = [](const char* name, const char* shown) {
            QTest::newRow(name) << name << shown;
        };
        row("mnuHideRecord", "Hide Permanent/Temporary Record hidden [x]");
        row("mnuAutoHide", "Auto Hide Permanent/Temporary Record hidden [x]");
        row("mnuModernImages", "Modern Image Sources hidden [ ]");
        row("mnuMaxScreen", "Maximize Screen [ ]");
        row("mnuPromptFill", "Prompt User before Auto Fill-in Form [x]");
        row("mnuManualClick", "Auto Fill-in Form (with Manual Click) [ ]");
        row("mnuAutoClick", "Auto Fill-in Form (with Auto Click) [x]");
        row("mnuNoFill", "No auto Fill-in Form [ ]");
        row("mnuAutoRecord", "Auto Record Form [ ]");
        row("mnuBlock", "Block pop-up window [ ]");
    }
    void menusAtCreation()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        const QList<QAction*> found = w_->findChildren<QAction*>(name); // menus too
        QCOMPARE(found.size(), 1);
        const QAction* a = found.first();
        QCOMPARE(a->text() + (a->isVisible() ? "" : " hidden") +
                     (!a->isCheckable() ? ""
                      : a->isChecked()  ? " [x]"
                                        : " [ ]"),
                 shown);
    }
    // One page load from the Playback button to its end; Back used while it runs.
    void aPageLoad_data()
    {
        QTest::addColumn<QString>("url"); // the address completing; "" for none
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("saveEnabled");
        const auto row = [](const char* name, const char* url, const char* end, bool save) {
            QTest::newRow(name) << QString(url) << QString(end) << save;
        };
        row("page", "http://127.0.0.1/a.html", "complete", true);
        row("blank", "about:blank", "complete", false);
        // Not remembered: the next completion of that page plays again.
        row("playback step fails", "http://127.0.0.1/a.html", "step fails", true);
        // A dead renderer completes nothing: the dots stop rather than run on for ever.
        row("renderer gone", "", "renderer gone", false);
    }
    void aPageLoad()
    {
        QFETCH(QString, url);
        QFETCH(QString, end);
        QFETCH(bool, saveEnabled);
        FakeBrowser* b = browsers_->browser(0);
        if (end == "step fails")
            w_->setPlaybackStep(
                [](const FrameRef&, const QString&) { throw EngineError(u"refused"_s); });
        w_->LastCompletedUrl = u"http://old/"_s;
        w_->cmdSaveImage->setEnabled(true);
        w_->txtUrl->setText(u"  example.com/x?q=1 "_s);
        QTest::mouseClick(w_->cmdPlayback, Qt::LeftButton);
        QCOMPARE(b->navigatedUrls(), QStringList{u"  example.com/x?q=1 "_s});
        QVERIFY(b->silent());
        QCOMPARE(w_->gstrCurMode, u"Playback"_s);

        b->beforeNavigate(u"http://h/"_s);
        QCOMPARE(w_->statusText(), u"Going to http://h/..."_s);
        QVERIFY(!w_->cmdSaveImage->isEnabled());
        QVERIFY(w_->Timer1->isActive());

        b->setBackAvailable(true);
        QTest::mouseClick(w_->cmdBack, Qt::LeftButton);
        QCOMPARE(b->goBackCount(), 1);
        QVERIFY(w_->gbGobackFlag);
        b->setBackAvailable(false); // the first window never closes on it
        QVERIFY(!w_->cmdBack->isEnabled() && !w_->bBackEnabled && w_->isVisible());

        const auto document = std::make_shared<FakeDocument>(url);
        b->setDocument(document);
        if (end == "renderer gone")
            Q_EMIT b->RenderProcessGone();
        else
            b->complete({}, url);
        QVERIFY(!w_->Timer1->isActive());
        QCOMPARE(w_->statusText(), QString());
        QCOMPARE(w_->cmdSaveImage->isEnabled(), saveEnabled);
        QCOMPARE(w_->strLastUrl, url);
        const bool remembered = end == "complete";
        QCOMPARE(w_->LastCompletedUrl, remembered ? url : QString());
        if (remembered)
            QCOMPARE(w_->LastCompletedBrowser, FrameRef(b, {}, document->identity()));
        QCOMPARE(w_->gbGobackFlag, !remembered);
    }
    // The close button on the first window (it runs Exit), or closing a pop-up level window;
    // with a temporary record the user is asked first.
    void closingAWindow_data()
    {
        QTest::addColumn<QString>("how");    // "close" or "pop-up"
        QTest::addColumn<bool>("temporary"); // Auto Record Form marked
        QTest::addColumn<PromptAnswer>("answer");
        const auto row = [](const char* name, const char* how, bool temporary, PromptAnswer a) {
            QTest::newRow(name) << QString(how) << temporary << a;
        };
        row("close, nothing to lose", "close", false, PromptAnswer::Ok);
        row("close, No", "close", true, PromptAnswer::No);
        row("close, Yes", "close", true, PromptAnswer::Yes);
        row("pop-up, nothing to lose: the opener is not reloaded", "pop-up", false,
            PromptAnswer::Ok);
        row("pop-up, No: it stays open", "pop-up", true, PromptAnswer::No);
        row("pop-up, Yes: the opener reloads the records", "pop-up", true, PromptAnswer::Yes);
    }
    void closingAWindow()
    {
        QFETCH(QString, how);
        QFETCH(bool, temporary);
        QFETCH(PromptAnswer, answer);
        const bool popup = how == "pop-up", closes = answer != PromptAnswer::No;
        int proxySteps = 0;
        app_->exitProxyStep = [&proxySteps](frmBrowser*) { ++proxySteps; };
        RecordPanel* opener = w_->records();
        QPointer<frmBrowser> w = w_;
        if (popup) {
            AddRecord(*opener->ListView1, {"Form", "o", "http://o/", "", "", "", ""},
                      opener->counters);
            w = popupOver(w_);
            // Saved meanwhile: only a reload shows it.
            const Record saved{"Form", "s", "http://s/", "", "", "", ""};
            QVERIFY(WriteTextFile(SessionFilePath(w->records()->gstrSessionPath, saved.Url),
                                  BuildRecordXml(saved)));
        }
        // Recorded only while Auto Record Form is marked.
        if (temporary)
            w->menus()->mnuAutoRecord->trigger();
        auto* browser = qobject_cast<FakeBrowser*>(w->browser());
        const FormSubmission submission{FrameRef(browser, {1}),
                                        "http://h/in/Login.asp?x=1",
                                        "go.asp",
                                        "right",
                                        {{"user", "a b"}, {"pass", "p&w"}}};
        Q_EMIT browser->FormSubmitted(submission);
        RecordPanel* records = w->records();
        QCOMPARE(records->ListView1->topLevelItemCount(), temporary ? 1 : 0);
        if (temporary) {
            Record record;
            ReadRecordItem(records->ListView1->topLevelItem(0), record);
            QCOMPARE(record, (Record{"Form", u"*sysgen*"_s, submission.url, "go.asp",
                                     "user=a+b&pass=p%26w", "", "right"}));
            QCOMPARE(RecordList::itemKey(records->ListView1->topLevelItem(0)),
                     "http://h/in/login.asp");
            prompt_->answer(answer);
        }
        w->close();

        QCOMPARE(proxySteps, popup ? 0 : 1);
        QCOMPARE(prompt_->texts(),
                 !temporary ? QStringList()
                 : popup    ? QStringList{"You have temporary record not saved as permanent yet, "
                                          "do you really want to close this window?"}
                            : QStringList{"You have temporary record not saved as permanent yet, "
                                          "do you really want to exit?"});
        if (popup) {
            QTRY_COMPARE(w.isNull(), closes);
            QCOMPARE(w_->isVisible(), closes);
            QCOMPARE(opener->lvwPermanent->topLevelItemCount(), closes && temporary ? 1 : 0);
            QCOMPARE(opener->ListView1->topLevelItemCount(), 1); // the opener's own, kept
        } else {
            QCOMPARE(app_->isEnding(), closes);
            QCOMPARE(w_->isVisible(), !closes);
        }
    }
    void layoutReachesTheWidgets()
    {
        w_->resize(900, 700);
        QWidget* page = w_->browser()->widget();
        QWidget* fill = w_->records()->cmdFill;
        const QRect pageBefore = page->geometry(), fillBefore = fill->geometry();
        w_->menus()->mnuMaxScreen->trigger();
        QVERIFY(!w_->txtUrl->isVisible());
        QVERIFY(page->y() < pageBefore.y() && page->height() > pageBefore.height());
        w_->menus()->mnuMaxScreen->trigger();
        QVERIFY(w_->txtUrl->isVisible());
        QCOMPARE(page->geometry(), pageBefore);
        // Too short for the page: its height and every place computed after it stay as they were.
        w_->resize(900, 120);
        QCOMPARE(page->geometry(), pageBefore);
        QCOMPARE(fill->geometry(), fillBefore);
    }
    // Pop-up windows of the page open as further main windows laid over their opener, or are
    // blocked and counted while "Block pop-up window" is checked. A pop-up level window takes
    // some of its opener's marks, and hands some back.
    void popupLevelsStackAndUnwind()
    {
        BrowserMenus* m = w_->menus();
        for (QAction* a : {m->mnuPromptFill, m->mnuAutoClick})
            a->setChecked(false);
        for (QAction* a : {m->mnuMaxScreen, m->mnuManualClick, m->mnuAutoRecord})
            a->setChecked(true);
        w_->move(40, 30);
        QPointer<frmBrowser> w1 = popupOver(w_);
        QVERIFY(w1);
        QCOMPARE(w1->windowTitle(), u"Brackenly v1.1 (Popup Window - Level 1)"_s);
        QCOMPARE(w1->pos(), w_->pos());
        QCOMPARE(w1->size(), w_->size());
        QVERIFY(!w_->isVisible());
        QVERIFY(qobject_cast<FakeBrowser*>(w1->browser())->silent());
        BrowserMenus* p = w1->menus();
        QVERIFY(p->mnuMaxScreen->isChecked() && p->mnuAutoRecord->isChecked());
        QVERIFY(!p->mnuPromptFill->isChecked() && !p->mnuAutoClick->isChecked());
        // Only those marks travel: the others keep their creation values.
        QVERIFY(!p->mnuManualClick->isChecked());

        QPointer<frmBrowser> w2 = popupOver(w1);
        QVERIFY(w2);
        QCOMPARE(w2->windowTitle(), u"Brackenly v1.1 (Popup Window - Level 2)"_s);
        QVERIFY(!w1->isVisible());

        w2->menus()->mnuBlock->trigger();
        auto* b2 = qobject_cast<FakeBrowser*>(w2->browser());
        QCOMPARE(b2->requestWindow(), nullptr);
        QCOMPARE(b2->requestWindow(), nullptr);
        QCOMPARE(w2->statusPanel(3)->text(), u"2 Pop-up is blocked"_s);
        QVERIFY(!w1->menus()->mnuBlock->isChecked()); // each window has its own mark

        // Back closes a pop-up level window once its own history runs out.
        b2->setBackAvailable(true);
        QTest::mouseClick(w2->cmdBack, Qt::LeftButton);
        QCOMPARE(b2->goBackCount(), 1);
        b2->setBackAvailable(false);
        QTRY_VERIFY(w2.isNull());
        QVERIFY(w1->isVisible());
        for (QAction* a : {p->mnuPromptFill, p->mnuAutoClick})
            a->setChecked(true);
        for (QAction* a : {p->mnuAutoRecord, p->mnuMaxScreen})
            a->setChecked(false);
        w1->close();
        QTRY_VERIFY(w1.isNull());
        QVERIFY(w_->isVisible());
        QVERIFY(m->mnuPromptFill->isChecked() && m->mnuAutoClick->isChecked());
        QVERIFY(!m->mnuAutoRecord->isChecked());
        QVERIFY(m->mnuMaxScreen->isChecked()); // not handed back
    }

private:
    // A pop-up level window the page opens over its opener.
    frmBrowser* popupOver(frmBrowser* opener)
    {
        Browser* b = qobject_cast<FakeBrowser*>(opener->browser())->requestWindow();
        return b ? qobject_cast<frmBrowser*>(b->widget()->window()) : nullptr;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakeBrowserFactory> browsers_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<BrowserApp> app_;
    frmBrowser* w_ = nullptr;
};

QTEST_MAIN(tst_frmBrowser)
#include "tst_frmbrowser.moc"
