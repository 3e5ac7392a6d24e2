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
#include <QMenu>
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
        QTest::addColumn<QString>("settingsFile");
        QTest::addColumn<QString>("status"); // "": not accepted, "before": not told
        const QString ask = "Directory %1 does not exist, do you want to create it?";
        const QStringList none, failed{ask, "Directory %1 could not be created."};
        const QList<A> noAnswer, yesOk{A::Yes, A::Ok};
        const QString file = "Quillmark.xml", updated = "Setting is updated";
        QTest::newRow("existing folder")
            << "there" << u"OK"_s << noAnswer << none << file << updated;
        QTest::newRow("missing, Yes: created")
            << "new" << u"OK"_s << QList{A::Yes} << QStringList{ask} << file << updated;
        QTest::newRow("missing, No")
            << "new" << u"OK"_s << QList{A::No} << QStringList{ask} << file << u""_s;
        QTest::newRow("cannot be created")
            << "no/such" << u"OK"_s << yesOk << failed << file << u""_s;
        QTest::newRow("Cancel") << "new" << u"Cancel"_s << noAnswer << none << file << u""_s;
        QTest::newRow("Escape") << "new" << u"Escape"_s << noAnswer << none << file << u""_s;
        QTest::newRow("settings cannot be written")
            << "there" << u"OK"_s << QList{A::Ok}
            << QStringList{"The settings could not be saved to the file %2."}
            << u"gone/Quillmark.xml"_s << u"before"_s;
    }
    void showPreference()
    {
        QFETCH(QString, folder);
        QFETCH(QString, press);
        QFETCH(QList<PromptAnswer>, answers);
        QFETCH(QStringList, questions);
        QFETCH(QString, settingsFile);
        QFETCH(QString, status);
        QTemporaryDir dir;
        const QString settings = dir.filePath(settingsFile), path = dir.filePath(folder);
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
            if (press == "Escape")
                QTest::keyClick(dialog.txtHome, Qt::Key_Escape);
            else
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
        // Cancel puts back the folder only.
        QCOMPARE(dialog.txtImageFolder->text(), accepted ? path : dir.filePath("first"));
        QCOMPARE(dialog.txtHome->text(), u"http://h/?a=1&b=<2>"_s);
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
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>(
            "shown"); // caption, hidden when not shown, [x] or [ ] when a mark
        const auto row = [](const char* name, const char* shown) {
            QTest::newRow(name) << name << shown;
        };
        row("mnuFile", "File");
        row("mnuProxy", "Proxy hidden");
        row("mnuHome", "Preference");
        row("mnuExit", "Exit");
        row("mnuHideRecord", "Hide Permanent/Temporary Record hidden [x]");
        row("mnuAutoHide", "Auto Hide Permanent/Temporary Record hidden [x]");
        row("mnuModernImages", "Modern Image Sources hidden [ ]");
        row("mnuMaxScreen", "Maximize Screen [ ]");
        row("mnuPlayback", "Playback hidden");
        row("mnuPromptFill", "Prompt User before Auto Fill-in Form [x]");
        row("mnuManualClick", "Auto Fill-in Form (with Manual Click) [ ]");
        row("mnuAutoClick", "Auto Fill-in Form (with Auto Click) [x]");
        row("mnuNoFill", "No auto Fill-in Form [ ]");
        row("mnuRecord", "Record hidden");
        row("mnuAutoRecord", "Auto Record Form [ ]");
        row("mnuSaveImage", "Auto Save Image");
        row("mnuPopup", "Popup");
        row("mnuBlock", "Block pop-up window [ ]");
        row("mnuSearch", "Search");
        row("mnuWebsite", "Go to Website");
        row("mnuAbout", "About");
    }
    void menusAtCreation()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QList<QAction*> found;
        for (QAction* a : w_->findChildren<QAction*>())
            if (a->objectName() == name)
                found.append(a);
        for (QMenu* m : w_->findChildren<QMenu*>())
            if (m->objectName() == name && !found.contains(m->menuAction()))
                found.append(m->menuAction());
        QCOMPARE(found.size(), 1);
        const QAction* a = found.first();
        QCOMPARE(a->text() + (a->isVisible() ? "" : " hidden") +
                     (!a->isCheckable() ? ""
                      : a->isChecked()  ? " [x]"
                                        : " [ ]"),
                 shown);
    }
    void browseNavigatesAsTyped()
    {
        FakeBrowser* b = browsers_->browser(0);
        w_->LastCompletedUrl = u"http://old/"_s;
        w_->txtUrl->setText(u"  example.com/x?q=1 "_s);
        QTest::mouseClick(w_->cmdPlayback, Qt::LeftButton);
        QCOMPARE(b->navigatedUrls(), QStringList{u"  example.com/x?q=1 "_s});
        QVERIFY(b->silent());
        QCOMPARE(w_->gstrCurMode, u"Playback"_s);
        QVERIFY(w_->LastCompletedUrl.isEmpty());
    }
    void navigationStatusAndCompletion_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("stepFails"); // the playback step throws
        QTest::addColumn<bool>("saveEnabled");
        QTest::newRow("page") << "http://127.0.0.1/a.html" << false << true;
        QTest::newRow("blank") << "about:blank" << false << false;
        QTest::newRow("empty") << "" << false << false;
        // Not remembered: the next completion of that page plays again.
        QTest::newRow("playback step fails") << "http://127.0.0.1/a.html" << true << true;
    }
    void navigationStatusAndCompletion()
    {
        QFETCH(QString, url);
        QFETCH(bool, stepFails);
        QFETCH(bool, saveEnabled);
        FakeBrowser* b = browsers_->browser(0);
        w_->LastCompletedUrl = u"http://before/"_s;
        if (stepFails)
            w_->setPlaybackStep(
                [](const FrameRef&, const QString&) { throw EngineError(u"refused"_s); });
        w_->cmdSaveImage->setEnabled(true);
        b->beforeNavigate(u"http://h/p"_s);
        QCOMPARE(w_->statusText(), u"Going to http://h/p..."_s);
        QVERIFY(!w_->cmdSaveImage->isEnabled());
        QVERIFY(w_->Timer1->isActive());
        QCOMPARE(w_->Timer1->interval(), 1000);

        w_->gbGobackFlag = true;
        const auto document = std::make_shared<FakeDocument>(url);
        b->setDocument(document);
        b->complete({}, url);
        QVERIFY(!w_->Timer1->isActive());
        QCOMPARE(w_->statusText(), QString());
        QCOMPARE(w_->cmdSaveImage->isEnabled(), saveEnabled);
        QCOMPARE(w_->strLastUrl, url);
        QCOMPARE(w_->LastCompletedUrl, stepFails ? u"http://before/"_s : url);
        if (!stepFails)
            QCOMPARE(w_->LastCompletedBrowser, FrameRef(b, {}, document->identity()));
        QCOMPARE(w_->gbGobackFlag, stepFails);
    }
    void busyDotsTick()
    {
        browsers_->browser(0)->beforeNavigate(u"http://h/"_s);
        for (int i = 0; i < 9; ++i)
            w_->Timer1_Timer();
        QCOMPARE(w_->statusText(), u"Going to http://h/"_s + QString(21, '.'));
        w_->Timer1_Timer();
        QCOMPARE(w_->statusText(), u"Going to http://h/."_s);
        // A dead renderer completes nothing: the dots stop rather than run on for ever.
        Q_EMIT browsers_->browser(0)->RenderProcessGone();
        QVERIFY(!w_->Timer1->isActive());
        QCOMPARE(w_->statusText(), QString());
    }
    void backFollowsHistory_data()
    {
        QTest::addColumn<bool>("popup");
        QTest::newRow("first window: never closes on it") << false;
        QTest::newRow("pop-up level window: closes when it runs out") << true;
    }
    void backFollowsHistory()
    {
        QFETCH(bool, popup);
        QPointer<frmBrowser> w = popup ? popupOver(w_) : w_;
        auto* b = qobject_cast<FakeBrowser*>(w->browser());
        b->setBackAvailable(true);
        QVERIFY(w->cmdBack->isEnabled() && w->bBackEnabled);
        QTest::mouseClick(w->cmdBack, Qt::LeftButton);
        QCOMPARE(b->goBackCount(), 1);
        QVERIFY(w->gbGobackFlag);
        b->setBackAvailable(false);
        QTRY_COMPARE(w.isNull(), popup);
        QVERIFY(popup || (!w->cmdBack->isEnabled() && !w->bBackEnabled));
        QVERIFY(w_->isVisible());
    }
    void exitAndClosingTheFirstWindow_data()
    {
        QTest::addColumn<bool>("viaClose"); // the window's close button rather than Exit
        QTest::addColumn<bool>("temporary");
        QTest::addColumn<PromptAnswer>("answer");
        QTest::addColumn<bool>("ends");
        QTest::newRow("Exit, nothing to lose") << false << false << PromptAnswer::Ok << true;
        QTest::newRow("Exit, No") << false << true << PromptAnswer::No << false;
        QTest::newRow("close, nothing to lose") << true << false << PromptAnswer::Ok << true;
        QTest::newRow("close, No") << true << true << PromptAnswer::No << false;
        QTest::newRow("close, Yes") << true << true << PromptAnswer::Yes << true;
    }
    void exitAndClosingTheFirstWindow()
    {
        QFETCH(bool, viaClose);
        QFETCH(bool, temporary);
        QFETCH(PromptAnswer, answer);
        QFETCH(bool, ends);
        int proxySteps = 0;
        app_->exitProxyStep = [&proxySteps](frmBrowser*) { ++proxySteps; };
        if (temporary) {
            w_->menus()->mnuAutoRecord->trigger();
            Q_EMIT w_->browser()->FormSubmitted(
                {w_->browser()->topFrame(), "http://h/", "go", {}, {}});
            prompt_->answer(answer);
        }
        if (viaClose)
            w_->close();
        else
            w_->mnuExit_Click();
        QCOMPARE(proxySteps, 1);
        QCOMPARE(prompt_->texts(), temporary
                                       ? QStringList{"You have temporary record not saved as "
                                                     "permanent yet, do you really want to exit?"}
                                       : QStringList());
        QCOMPARE(app_->isEnding(), ends);
        QCOMPARE(w_->isVisible(), !ends);
    }
    void closingAPopup_data()
    {
        QTest::addColumn<bool>("temporary"); // the pop-up holds a temporary record
        QTest::addColumn<PromptAnswer>("answer");
        QTest::newRow("nothing to lose: closes, the opener is not reloaded")
            << false << PromptAnswer::Ok;
        QTest::newRow("No: it stays open") << true << PromptAnswer::No;
        QTest::newRow("Yes: it closes, the opener reloads the records")
            << true << PromptAnswer::Yes;
    }
    void closingAPopup()
    {
        QFETCH(bool, temporary);
        QFETCH(PromptAnswer, answer);
        RecordPanel* opener = w_->records();
        AddRecord(*opener->ListView1, {"Form", "o", "http://o/", "", "", "", ""}, opener->counters);
        QPointer<frmBrowser> popup = popupOver(w_);
        RecordPanel* r = popup->records();
        if (temporary)
            AddRecord(*r->ListView1, {"Form", "*sysgen*", "http://p/", "", "", "", ""},
                      r->counters);
        // Saved meanwhile: only a reload shows it.
        const Record saved{"Form", "s", "http://s/", "", "", "", ""};
        QVERIFY(
            WriteTextFile(SessionFilePath(r->gstrSessionPath, saved.Url), BuildRecordXml(saved)));
        prompt_->answer(answer);
        popup->close();

        QCOMPARE(prompt_->texts(),
                 temporary ? QStringList{"You have temporary record not saved as permanent yet, "
                                         "do you really want to close this window?"}
                           : QStringList());
        const bool closed = answer != PromptAnswer::No;
        QTRY_COMPARE(popup.isNull(), closed);
        QCOMPARE(w_->isVisible(), closed);
        QCOMPARE(opener->lvwPermanent->topLevelItemCount(), closed && temporary ? 1 : 0);
        QCOMPARE(opener->ListView1->topLevelItemCount(), 1); // the opener's own, kept
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

        w2->close();
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
    void recordsSubmissionsWhileMarked()
    {
        auto* browser = qobject_cast<FakeBrowser*>(w_->browser());
        QVERIFY(browser);
        const FormSubmission submission{FrameRef(browser, {1}),
                                        u"http://h/in/Login.asp?x=1"_s,
                                        u"go.asp"_s,
                                        u"right"_s,
                                        {{"user", "a b"}, {"pass", "p&w"}}};
        RecordPanel* records = w_->records();
        Q_EMIT browser->FormSubmitted(submission);
        QCOMPARE(records->ListView1->topLevelItemCount(), 0);
        QVERIFY(!records->counters.gbRecordChanged);

        w_->menus()->mnuAutoRecord->trigger();
        Q_EMIT browser->FormSubmitted(submission);
        QCOMPARE(records->ListView1->topLevelItemCount(), 1);
        QVERIFY(records->counters.gbRecordChanged);
        Record record;
        ReadRecordItem(records->ListView1->topLevelItem(0), record);
        QCOMPARE(record, (Record{"Form", u"*sysgen*"_s, submission.url, "go.asp",
                                 "user=a+b&pass=p%26w", "", "right"}));
        QCOMPARE(RecordList::itemKey(records->ListView1->topLevelItem(0)), "http://h/in/login.asp");
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
