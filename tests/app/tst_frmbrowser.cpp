#include "appconstants.h"
#include "browserapp.h"
#include "browsermenus.h"
#include "engineerror.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "frmbrowser.h"
#include "recordfile.h"
#include "recorditems.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "scriptedprompt.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace brackenly;

// The main window's own behaviour on the engine double: menus, status, navigation,
// completion, Back and the hand-over between a pop-up level window and its opener.
class tst_frmBrowser : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void menusAtCreation_data();
    void menusAtCreation();
    void controlsAtCreation();
    void browseNavigatesAsTyped();
    void navigationStatusAndCompletion_data();
    void navigationStatusAndCompletion();
    void busyDotsTick();
    void failedPlaybackStepIsNotRemembered();
    void backFollowsHistory();
    void popupTakesAndReturnsModes();
    void popupClosesWhenBackRunsOut();
    void exitAndClosingTheFirstWindow_data();
    void exitAndClosingTheFirstWindow();
    void openerReloadsChangedRecords_data();
    void openerReloadsChangedRecords();
    void popupAsksBeforeDroppingTemporaryRecords_data();
    void popupAsksBeforeDroppingTemporaryRecords();
    void layoutReachesTheWidgets();
    void recordTabSwitchesTheButtons();
    void popupLevelsStackAndUnwind();
    void recordsSubmissionsWhileMarked();

private:
    frmBrowser* openPopup(frmBrowser* opener);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakeBrowserFactory> browsers_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<BrowserApp> app_;
    frmBrowser* w_ = nullptr;
};

void tst_frmBrowser::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    browsers_ = std::make_unique<FakeBrowserFactory>();
    prompt_ = std::make_unique<ScriptedPrompt>();
    Services services;
    services.browsers = browsers_.get();
    services.prompt = prompt_.get();
    services.programFolder = dir_->path();
    app_ = std::make_unique<BrowserApp>(services);
    w_ = app_->startFirstWindow();
}

void tst_frmBrowser::cleanup()
{
    app_.reset();
    w_ = nullptr;
}

void tst_frmBrowser::menusAtCreation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("checked"); // -1: not a check item
    const auto row = [](const char* name, const char* caption, bool visible, int checked) {
        QTest::newRow(name) << name << caption << visible << checked;
    };
    row("mnuFile", "File", true, -1);
    row("mnuProxy", "Proxy", false, -1);
    row("mnuHome", "Preference", true, -1);
    row("mnuExit", "Exit", true, -1);
    row("mnuHideRecord", "Hide Permanent/Temporary Record", false, 1);
    row("mnuAutoHide", "Auto Hide Permanent/Temporary Record", false, 1);
    row("mnuMaxScreen", "Maximize Screen", true, 0);
    row("mnuPlayback", "Playback", false, -1);
    row("mnuPromptFill", "Prompt User before Auto Fill-in Form", true, 1);
    row("mnuManualClick", "Auto Fill-in Form (with Manual Click)", true, 0);
    row("mnuAutoClick", "Auto Fill-in Form (with Auto Click)", true, 1);
    row("mnuNoFill", "No auto Fill-in Form", true, 0);
    row("mnuRecord", "Record", false, -1);
    row("mnuAutoRecord", "Auto Record Form", true, 0);
    row("mnuSaveImage", "Auto Save Image", true, -1);
    row("mnuPopup", "Popup", true, -1);
    row("mnuBlock", "Block pop-up window", true, 0);
    row("mnuSearch", "Search", true, -1);
    row("mnuWebsite", "Go to Website", true, -1);
    row("mnuAbout", "About", true, -1);
}

void tst_frmBrowser::menusAtCreation()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, visible);
    QFETCH(int, checked);
    QList<QAction*> found;
    for (QAction* a : w_->findChildren<QAction*>())
        if (a->objectName() == name)
            found.append(a);
    for (QMenu* m : w_->findChildren<QMenu*>())
        if (m->objectName() == name && !found.contains(m->menuAction()))
            found.append(m->menuAction());
    QCOMPARE(found.size(), 1);
    QAction* action = found.first();
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->isVisible(), visible);
    QCOMPARE(action->isCheckable(), checked >= 0);
    if (checked >= 0)
        QCOMPARE(action->isChecked(), checked == 1);
}

void tst_frmBrowser::controlsAtCreation()
{
    QCOMPARE(w_->windowTitle(), QStringLiteral("Brackenly V1.1 (First Window)"));
    QCOMPARE(w_->glngPopupLevel, 0);
    const auto button = [this](const char* name) {
        return w_->findChild<QPushButton*>(QString::fromLatin1(name));
    };
    QVERIFY(!button("cmdBack")->isEnabled());
    QVERIFY(button("cmdPlayback")->isEnabled());
    QVERIFY(!button("cmdSaveImage")->isEnabled());
    QCOMPARE(button("cmdSaveImage")->accessibleName(), QStringLiteral("S A V E    I M A G E"));
    QCOMPARE(button("cmdImageFolder")->text(), QStringLiteral("I M A G E    F O L D E R"));
    auto* url = w_->findChild<QLineEdit*>(QStringLiteral("txtUrl"));
    QVERIFY(url && url->text().isEmpty());
    QCOMPARE(url->accessibleName(), QStringLiteral("Address:"));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(w_->findChild<QLabel*>(QStringLiteral("StatusBar1Panel%1").arg(i)));
    // No page is loaded at start.
    QVERIFY(browsers_->browser(0)->navigatedUrls().isEmpty());
    QVERIFY(!w_->Timer1->isActive());
}

void tst_frmBrowser::browseNavigatesAsTyped()
{
    FakeBrowser* b = browsers_->browser(0);
    w_->LastCompletedUrl = QStringLiteral("http://old/");
    w_->txtUrl->setText(QStringLiteral("  example.com/x?q=1 "));
    QTest::mouseClick(w_->cmdPlayback, Qt::LeftButton);
    QCOMPARE(b->navigatedUrls(), QStringList{QStringLiteral("  example.com/x?q=1 ")});
    QVERIFY(b->silent());
    QCOMPARE(w_->gstrCurMode, QStringLiteral("Playback"));
    QVERIFY(w_->LastCompletedUrl.isEmpty());
}

void tst_frmBrowser::navigationStatusAndCompletion_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("saveEnabled");
    QTest::newRow("page") << "http://127.0.0.1/a.html" << true;
    QTest::newRow("blank") << "about:blank" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_frmBrowser::navigationStatusAndCompletion()
{
    QFETCH(QString, url);
    QFETCH(bool, saveEnabled);
    FakeBrowser* b = browsers_->browser(0);
    w_->cmdSaveImage->setEnabled(true);
    b->beforeNavigate(QStringLiteral("http://h/p"));
    QCOMPARE(w_->statusText(), QStringLiteral("Going to http://h/p..."));
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
    QCOMPARE(w_->LastCompletedUrl, url);
    QCOMPARE(w_->LastCompletedBrowser, FrameRef(b, {}, document->identity()));
    QVERIFY(!w_->gbGobackFlag);
}

void tst_frmBrowser::busyDotsTick()
{
    browsers_->browser(0)->beforeNavigate(QStringLiteral("http://h/"));
    for (int i = 0; i < 9; ++i)
        w_->Timer1_Timer();
    QCOMPARE(w_->statusText(), QStringLiteral("Going to http://h/") + QString(21, '.'));
    w_->Timer1_Timer();
    QCOMPARE(w_->statusText(), QStringLiteral("Going to http://h/."));
    // A dead renderer completes nothing: the dots stop rather than run on for ever.
    Q_EMIT browsers_->browser(0)->RenderProcessGone();
    QVERIFY(!w_->Timer1->isActive());
    QCOMPARE(w_->statusText(), QString());
}

void tst_frmBrowser::failedPlaybackStepIsNotRemembered()
{
    FakeBrowser* b = browsers_->browser(0);
    w_->LastCompletedUrl = QStringLiteral("http://before/");
    w_->gbGobackFlag = true;
    w_->setPlaybackStep(
        [](const FrameRef&, const QString&) { throw EngineError(QStringLiteral("refused")); });
    b->complete({}, QStringLiteral("http://after/"));
    QCOMPARE(w_->strLastUrl, QStringLiteral("http://after/"));
    QCOMPARE(w_->LastCompletedUrl, QStringLiteral("http://before/"));
    QVERIFY(w_->gbGobackFlag);
}

void tst_frmBrowser::backFollowsHistory()
{
    FakeBrowser* b = browsers_->browser(0);
    b->setBackAvailable(true);
    QVERIFY(w_->cmdBack->isEnabled());
    QVERIFY(w_->bBackEnabled);
    QTest::mouseClick(w_->cmdBack, Qt::LeftButton);
    QCOMPARE(b->goBackCount(), 1);
    QVERIFY(w_->gbGobackFlag);
    b->setBackAvailable(false);
    QVERIFY(!w_->cmdBack->isEnabled());
    QVERIFY(!w_->bBackEnabled);
    QVERIFY(w_->isVisible()); // the first window never closes on it
}

frmBrowser* tst_frmBrowser::openPopup(frmBrowser* opener)
{
    frmBrowser* popup = app_->createWindow();
    popup->objParentForm = opener;
    popup->glngPopupLevel = opener->glngPopupLevel + 1;
    popup->Form_Load();
    popup->show();
    return popup;
}

void tst_frmBrowser::popupTakesAndReturnsModes()
{
    BrowserMenus* m = w_->menus();
    m->mnuMaxScreen->setChecked(true);
    m->mnuPromptFill->setChecked(false);
    m->mnuAutoClick->setChecked(false);
    m->mnuManualClick->setChecked(true);
    m->mnuAutoRecord->setChecked(true);
    m->mnuBlock->setChecked(true);

    QPointer<frmBrowser> popup = openPopup(w_);
    BrowserMenus* p = popup->menus();
    QVERIFY(!w_->isVisible());
    QVERIFY(p->mnuMaxScreen->isChecked());
    QVERIFY(!p->mnuPromptFill->isChecked());
    QVERIFY(!p->mnuAutoClick->isChecked());
    QVERIFY(p->mnuAutoRecord->isChecked());
    // Only those marks travel: the others keep their creation values.
    QVERIFY(!p->mnuManualClick->isChecked());
    QVERIFY(!p->mnuBlock->isChecked());

    p->mnuPromptFill->setChecked(true);
    p->mnuAutoClick->setChecked(true);
    p->mnuAutoRecord->setChecked(false);
    p->mnuMaxScreen->setChecked(false);
    popup->close();
    QTRY_VERIFY(popup.isNull());
    QVERIFY(w_->isVisible());
    QVERIFY(m->mnuPromptFill->isChecked());
    QVERIFY(m->mnuAutoClick->isChecked());
    QVERIFY(!m->mnuAutoRecord->isChecked());
    QVERIFY(m->mnuMaxScreen->isChecked()); // not handed back
}

void tst_frmBrowser::popupClosesWhenBackRunsOut()
{
    QPointer<frmBrowser> popup = openPopup(w_);
    auto* b = qobject_cast<FakeBrowser*>(popup->browser());
    QVERIFY(b);
    b->setBackAvailable(true);
    QTest::mouseClick(popup->cmdBack, Qt::LeftButton);
    QCOMPARE(b->goBackCount(), 1);
    b->setBackAvailable(false);
    QTRY_VERIFY(popup.isNull());
    QVERIFY(w_->isVisible());
}

void tst_frmBrowser::popupAsksBeforeDroppingTemporaryRecords_data()
{
    QTest::addColumn<PromptAnswer>("answer");
    QTest::newRow("No: it stays open") << PromptAnswer::No;
    QTest::newRow("Yes: it closes") << PromptAnswer::Yes;
}

void tst_frmBrowser::popupAsksBeforeDroppingTemporaryRecords()
{
    QFETCH(PromptAnswer, answer);
    RecordPanel* opener = w_->records();
    AddRecord(*opener->ListView1, {"Form", "o", "http://o/", "", "", "", ""}, opener->counters);
    QPointer<frmBrowser> popup = openPopup(w_);
    RecordPanel* r = popup->records();
    AddRecord(*r->ListView1, {"Form", "*sysgen*", "http://p/", "", "", "", ""}, r->counters);
    // Saved meanwhile: the opener's reload shows it.
    const Record saved{"Form", "s", "http://s/", "", "", "", ""};
    QVERIFY(WriteTextFile(SessionFilePath(r->gstrSessionPath, saved.Url), BuildRecordXml(saved)));
    prompt_->answer(answer);
    popup->close();

    QCOMPARE(prompt_->texts(), QStringList{"You have temporary record not saved as permanent yet, "
                                           "do you really want to close this window?"});
    const bool closed = answer == PromptAnswer::Yes;
    QTRY_COMPARE(popup.isNull(), closed);
    QCOMPARE(w_->isVisible(), closed);
    QCOMPARE(opener->lvwPermanent->topLevelItemCount(), closed ? 1 : 0);
    QCOMPARE(opener->ListView1->topLevelItemCount(), 1); // the opener's own, kept
}

void tst_frmBrowser::exitAndClosingTheFirstWindow_data()
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

void tst_frmBrowser::exitAndClosingTheFirstWindow()
{
    QFETCH(bool, viaClose);
    QFETCH(bool, temporary);
    QFETCH(PromptAnswer, answer);
    QFETCH(bool, ends);
    int proxySteps = 0;
    app_->exitProxyStep = [&proxySteps](frmBrowser*) { ++proxySteps; };
    if (temporary) {
        w_->menus()->mnuAutoRecord->trigger();
        Q_EMIT w_->browser()->FormSubmitted({w_->browser()->topFrame(), "http://h/", "go", {}, {}});
        prompt_->answer(answer);
    }
    if (viaClose)
        w_->close();
    else
        w_->mnuExit_Click();
    QCOMPARE(proxySteps, 1);
    QCOMPARE(prompt_->texts(), temporary ? QStringList{"You have temporary record not saved as "
                                                       "permanent yet, do you really want to exit?"}
                                         : QStringList());
    QCOMPARE(app_->isEnding(), ends);
    QCOMPARE(w_->isVisible(), !ends);
}

void tst_frmBrowser::openerReloadsChangedRecords_data()
{
    QTest::addColumn<bool>("changed");
    QTest::newRow("records changed in the pop-up") << true;
    QTest::newRow("unchanged") << false;
}

void tst_frmBrowser::openerReloadsChangedRecords()
{
    QFETCH(bool, changed);
    QPointer<frmBrowser> popup = openPopup(w_);
    // Another window stored a session meanwhile; only a reload shows it.
    Record stored{"Form", "new", "http://h/new", "go.asp", "a=1", "", ""};
    QVERIFY(WriteTextFile(dir_->path() + "/session/h_new.xml", BuildRecordXml(stored)));
    popup->records()->counters.gbRecordChanged = changed;
    popup->close();
    QTRY_VERIFY(popup.isNull());
    QCOMPARE(w_->records()->lvwPermanent->topLevelItemCount(), changed ? 1 : 0);
}

void tst_frmBrowser::layoutReachesTheWidgets()
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

void tst_frmBrowser::recordTabSwitchesTheButtons()
{
    RecordPanel* r = w_->records();
    QCOMPARE(r->glngCurTab, 0);
    QVERIFY(!r->cmdSave->isEnabled());
    QVERIFY(r->cmdFill->isEnabled());
    r->SSTab1->setCurrentIndex(1);
    QCOMPARE(r->glngCurTab, 1);
    QVERIFY(r->cmdSave->isEnabled());
    QVERIFY(!r->cmdFill->isEnabled());
    QCOMPARE(r->GetActiveRecordList(), r->ListView1);
    r->SSTab1->setCurrentIndex(0);
    QCOMPARE(r->glngCurTab, 0);
    QVERIFY(!r->cmdSave->isEnabled());
    QVERIFY(r->cmdFill->isEnabled());
    QCOMPARE(r->GetActiveRecordList(), r->lvwPermanent);
}

// Pop-up windows of the page open as further main windows laid over their opener, or are
// blocked and counted while "Block pop-up window" is checked.
void tst_frmBrowser::popupLevelsStackAndUnwind()
{
    const auto windowOf = [](Browser* b) {
        return qobject_cast<frmBrowser*>(b->widget()->window());
    };
    w_->move(40, 30);
    QPointer<frmBrowser> w1 = windowOf(browsers_->browser(0)->requestWindow());
    QVERIFY(w1);
    QCOMPARE(w1->windowTitle(), QStringLiteral("Brackenly v1.1 (Popup Window - Level 1)"));
    QCOMPARE(w1->pos(), w_->pos());
    QCOMPARE(w1->size(), w_->size());
    QVERIFY(!w_->isVisible());
    QVERIFY(qobject_cast<FakeBrowser*>(w1->browser())->silent());

    QPointer<frmBrowser> w2 = windowOf(qobject_cast<FakeBrowser*>(w1->browser())->requestWindow());
    QVERIFY(w2);
    QCOMPARE(w2->windowTitle(), QStringLiteral("Brackenly v1.1 (Popup Window - Level 2)"));
    QVERIFY(!w1->isVisible());

    w2->menus()->mnuBlock->trigger();
    auto* b2 = qobject_cast<FakeBrowser*>(w2->browser());
    QCOMPARE(b2->requestWindow(), nullptr);
    QCOMPARE(b2->requestWindow(), nullptr);
    QCOMPARE(w2->statusPanel(3)->text(), QStringLiteral("2 Pop-up is blocked"));
    QVERIFY(!w1->menus()->mnuBlock->isChecked()); // each window has its own mark

    w2->close();
    QTRY_VERIFY(w2.isNull());
    QVERIFY(w1->isVisible());
    w1->close();
    QTRY_VERIFY(w1.isNull());
    QVERIFY(w_->isVisible());
}

void tst_frmBrowser::recordsSubmissionsWhileMarked()
{
    auto* browser = qobject_cast<FakeBrowser*>(w_->browser());
    QVERIFY(browser);
    const FormSubmission submission{FrameRef(browser, {1}),
                                    QStringLiteral("http://h/in/Login.asp?x=1"),
                                    QStringLiteral("go.asp"),
                                    QStringLiteral("right"),
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
    QCOMPARE(record, (Record{"Form", QStringLiteral("*sysgen*"), submission.url, "go.asp",
                             "user=a+b&pass=p%26w", "", "right"}));
    QCOMPARE(RecordList::itemKey(records->ListView1->topLevelItem(0)), "http://h/in/login.asp");
}

QTEST_MAIN(tst_frmBrowser)
#include "tst_frmbrowser.moc"
