#include "browserapp.h"
#include "browsermenus.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "frmbrowser.h"
#include "frmhome.h"
#include "frmpopup.h"
#include "frmproxy.h"
#include "imagedownloader.h"
#include "prompt.h"
#include "recordpanel.h"
#include "scriptedprompt.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace brackenly;

Q_DECLARE_METATYPE(QAccessible::Role)

namespace {

// What assistive technology reads of one control.
struct Heard
{
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    QString text; // the value: an edit's text, a progress bar's "value/maximum"
    QString state;
};

QString stateOf(QAccessible::State s)
{
    QStringList words;
    if (s.disabled)
        words << QStringLiteral("disabled");
    if (s.invisible)
        words << QStringLiteral("invisible");
    if (s.checked)
        words << QStringLiteral("checked");
    if (s.focused)
        words << QStringLiteral("focused");
    return words.join(u' ');
}

Heard hear(QAccessibleInterface* iface)
{
    Heard h{iface->role(), iface->text(QAccessible::Name), iface->text(QAccessible::Value),
            stateOf(iface->state())};
    if (QAccessibleValueInterface* value = iface->valueInterface())
        h.text = value->currentValue().toString() + u'/' + value->maximumValue().toString();
    return h;
}

// Saves the images it is given and tells the test before each.
struct NotifyingDownloader : ImageDownloader
{
    bool download(const QString& src, const QString& path, Browser*) override
    {
        if (onDownload)
            onDownload(src);
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && file.write("GIF89a") > 0;
    }
    std::function<void(const QString&)> onDownload;
};

const QString kSite = QStringLiteral("http://site.test/");

} // namespace

// What a screen reader hears, read in-process through QAccessible the way the desktop's
// accessibility bus reads it: one scenario (load a page, block a pop-up, save its images
// through a capture window and a capture pop-up, open a pop-up level window, the dialogs),
// with the tree of every window taken at each moment, and a table of what must be heard.
class tst_Accessibility : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void heard_data();
    void heard();
    void captionsFit_data();
    void captionsFit();
    void tabOrder_data();
    void tabOrder();
    void menusFromTheKeyboard();

private:
    void take(const QString& moment);
    void walk(const QString& moment, const QString& window, QAccessibleInterface* iface,
              const QString& name);
    void loadLater(FakeBrowser* b, const QString& url);

    QTemporaryDir dir_;
    FakeBrowserFactory browsers_;
    ScriptedPrompt prompt_;
    NotifyingDownloader downloader_;
    std::unique_ptr<BrowserApp> app_;
    QHash<QString, Heard> heard_; // "moment/window/objectName"
};

void tst_Accessibility::loadLater(FakeBrowser* b, const QString& url)
{
    QTimer::singleShot(0, b, [b, url] {
        auto doc = FakeDocument::create(url);
        doc->addImage(url + QStringLiteral(".gif"));
        b->load(doc);
    });
}

void tst_Accessibility::walk(const QString& moment, const QString& window,
                             QAccessibleInterface* iface, const QString& name)
{
    const QString key = moment + u'/' + window + u'/' + name;
    if (!name.isEmpty() && !heard_.contains(key))
        heard_.insert(key, hear(iface));
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface* child = iface->child(i))
            walk(moment, window, child, child->object() ? child->object()->objectName() : "");
}

// Each visible window, by object name (a message box by its class).
void tst_Accessibility::take(const QString& moment)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const QString window = w->objectName().isEmpty()
                                   ? QString::fromLatin1(w->metaObject()->className())
                                   : w->objectName();
        if (w->isVisible())
            walk(moment, window, QAccessible::queryAccessibleInterface(w), window);
    }
}

void tst_Accessibility::initTestCase()
{
    Services services;
    services.browsers = &browsers_;
    services.prompt = &prompt_;
    services.downloader = &downloader_;
    services.programFolder = dir_.path();
    services.captureTimeoutMs = 5000;
    app_ = std::make_unique<BrowserApp>(services);
    frmBrowser* w = app_->startFirstWindow();
    take(QStringLiteral("start"));

    // Capture windows' browsers load what they are sent to.
    browsers_.onCreate = [this](FakeBrowser* b) {
        b->onNavigate = [this, b](const QString& url) { loadLater(b, url); };
    };
    FakeBrowser* main = browsers_.browser(0);
    w->txtUrl->setText(kSite);
    QTest::mouseClick(w->cmdPlayback, Qt::LeftButton);
    main->beforeNavigate(kSite);
    take(QStringLiteral("loading"));

    auto page = FakeDocument::create(kSite);
    page->addImage(kSite + QStringLiteral("a.gif"));
    page->addLink(kSite + QStringLiteral("next"));
    const ElementId script = page->addLink(QStringLiteral("javascript:pop()"));
    page->onClick(script, [this, main] {
        if (auto* popup = qobject_cast<FakeBrowser*>(main->requestWindow()))
            loadLater(popup, kSite + QStringLiteral("pop"));
    });
    main->setDocument(page);
    main->completeAll();
    w->menus()->mnuBlock->setChecked(true);
    main->requestWindow();
    take(QStringLiteral("loaded"));

    // The run: each capture window is heard while it saves its page's image.
    w->menus()->mnuBlock->setChecked(false);
    downloader_.onDownload = [this](const QString& src) {
        if (src.endsWith(QStringLiteral("next.gif")))
            take(QStringLiteral("capture"));
        else if (src.endsWith(QStringLiteral("pop.gif")))
            take(QStringLiteral("popup"));
    };
    w->cmdSaveImage->click();
    downloader_.onDownload = nullptr;
    take(QStringLiteral("saved"));

    main->requestWindow(); // neither blocked nor in a run: a pop-up level window
    take(QStringLiteral("level"));
    app_->windows().last()->close();

    app_->preferences()->show();
    QVERIFY(QTest::qWaitForWindowActive(app_->preferences()));
    take(QStringLiteral("preferences"));
    app_->preferences()->hide();
    app_->loadProxyDialog()->show();
    take(QStringLiteral("proxy"));
    app_->loadProxyDialog()->hide();

    QTimer::singleShot(0, this, [this] {
        take(QStringLiteral("message"));
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->done(QMessageBox::No);
    });
    MessageBoxPrompt().ask(w, QStringLiteral("Do you want to auto fill-in this form"),
                           QStringLiteral("Brackenly"), PromptButtons::YesNo, PromptIcon::None);
}

void tst_Accessibility::cleanupTestCase()
{
    // Capture pop-ups live until the user closes them; nobody does here.
    for (QWidget* w : QApplication::topLevelWidgets())
        delete qobject_cast<frmPopup*>(w);
    app_.reset();
}

void tst_Accessibility::heard_data()
{
    using R = QAccessible::Role;
    QTest::addColumn<QString>("moment");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<R>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("state");
    const auto row = [](const char* tag, const char* moment, const char* window, const char* object,
                        R role, const QString& name, const QString& text = {},
                        const char* state = "") {
        QTest::newRow(tag) << QString::fromLatin1(moment) << QString::fromLatin1(window)
                           << QString::fromLatin1(object) << role << name << text
                           << QString::fromLatin1(state);
    };
    const char* first = "frmBrowser";
    row("first window", "start", first, "frmBrowser", R::Window, "Brackenly V1.1 (First Window)");
    row("back", "start", first, "cmdBack", R::Button, "B A C K", {}, "disabled");
    row("save image", "start", first, "cmdSaveImage", R::Button, "S A V E    I M A G E", {},
        "disabled");
    row("image folder", "start", first, "cmdImageFolder", R::Button, "I M A G E    F O L D E R");
    row("address label", "start", first, "lblUrl", R::StaticText, "Address:");
    row("session count", "start", first, "StatusBar1Panel1", R::StaticText, "0 Permanent Record");
    row("address box", "loading", first, "txtUrl", R::EditableText, "Address:", kSite);
    row("going to", "loading", first, "StatusBar1Panel1", R::StaticText,
        "Going to " + kSite + "...");
    row("completed", "loaded", first, "StatusBar1Panel1", R::StaticText, "");
    row("save enabled", "loaded", first, "cmdSaveImage", R::Button, "S A V E    I M A G E");
    row("blocked count", "loaded", first, "StatusBar1Panel3", R::StaticText, "1 Pop-up is blocked");
    row("saving caption", "capture", first, "cmdSaveImage", R::Button,
        "S A V I N G    I M A G E .....");
    row("saving panel", "capture", first, "StatusBar1Panel2", R::StaticText,
        "Saving " + kSite + "next.gif");
    // One image and one link of the page's two links done, the script link to come.
    row("progress", "capture", first, "prgRun", R::ProgressBar, "Image-saving progress", "2/3");
    row("capture window", "capture", "frmCapture", "frmCapture", R::Window, "Capture Image");
    row("capture status", "capture", "frmCapture", "CaptureStatus", R::StaticText,
        "Saving " + kSite + "next.gif");
    row("capture pop-up", "popup", "frmPopup", "frmPopup", R::Window, "Capture Popup Image");
    row("pop-up status", "popup", "frmPopup", "CaptureStatus", R::StaticText,
        "Saving " + kSite + "pop.gif");
    row("run over", "saved", first, "cmdSaveImage", R::Button, "S A V E    I M A G E");
    row("bar gone", "saved", first, "prgRun", R::ProgressBar, "Image-saving progress", "3/3",
        "invisible");
    row("level window", "level", first, "frmBrowser", R::Window,
        "Brackenly v1.1 (Popup Window - Level 1)");
    row("level back", "level", first, "cmdBack", R::Button, "B A C K");
    row("preferences", "preferences", "frmHome", "frmHome", R::Dialog, "User preference setup");
    row("cancel first", "preferences", "frmHome", "cmdCancel", R::Button, "Cancel", {}, "focused");
    row("home page", "preferences", "frmHome", "txtHome", R::EditableText,
        "Default home page:", kBuiltInHomePage);
    row("folder label", "preferences", "frmHome", "Label2", R::StaticText, "Save Image at:");
    row("proxy", "proxy", "frmProxy", "frmProxy", R::Dialog, "Proxy Setting");
    row("use proxy", "proxy", "frmProxy", "chkUseProxy", R::CheckBox, "Use Proxy Server", {},
        "checked");
    row("port", "proxy", "frmProxy", "txtPort", R::EditableText, "Port No:");
    row("get proxy", "proxy", "frmProxy", "cmdProxy", R::Button, "Get Proxy");
    const QString question = QStringLiteral("Do you want to auto fill-in this form");
    row("message box", "message", "QMessageBox", "QMessageBox", R::AlertMessage, "Brackenly",
        question);
    row("question", "message", "QMessageBox", "qt_msgbox_label", R::StaticText, question);
}

void tst_Accessibility::heard()
{
    QFETCH(QString, moment);
    QFETCH(QString, window);
    QFETCH(QString, objectName);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, state);
    const QString key = moment + u'/' + window + u'/' + objectName;
    QVERIFY2(heard_.contains(key), qPrintable(key + QStringLiteral(" was not in the tree")));
    const Heard h = heard_.value(key);
    QCOMPARE(h.role, role);
    QCOMPARE(h.name, name);
    QCOMPARE(h.text, text);
    QCOMPARE(h.state, state);
}

void tst_Accessibility::captionsFit_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window, record panes shown") << "frmBrowser";
    QTest::newRow("preferences") << "frmHome";
    QTest::newRow("proxy") << "frmProxy";
}

// Every fixed caption shows whole at the default font (the status panels carry page texts
// and are left out).
void tst_Accessibility::captionsFit()
{
    QFETCH(QString, window);
    QWidget* top = nullptr;
    frmBrowser* main = app_->firstWindow();
    if (window == QLatin1String("frmBrowser")) {
        main->menus()->mnuHideRecord->setChecked(false);
        main->mnuHideRecord_Click();
        // The widest caption the run gives its button.
        main->cmdSaveImage->setText(QStringLiteral("S A V I N G    I M A G E ....."));
        top = main;
    } else {
        top = window == QLatin1String("frmHome") ? static_cast<QWidget*>(app_->preferences())
                                                 : app_->loadProxyDialog();
        top->show();
    }
    const auto inside = [top](QWidget* w) {
        return !w->isVisibleTo(top) ||
               top->rect().contains(QRect(w->mapTo(top, QPoint()), w->size()));
    };
    for (QPushButton* b : top->findChildren<QPushButton*>()) {
        QVERIFY2(inside(b), qPrintable(b->text()));
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const int room =
            b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) <= room, qPrintable(b->text()));
    }
    for (QLabel* l : top->findChildren<QLabel*>()) {
        if (l->objectName().startsWith(QLatin1String("StatusBar1Panel")) || l->text().isEmpty())
            continue;
        QVERIFY2(inside(l), qPrintable(l->text()));
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(),
                 qPrintable(l->text()));
    }
    if (top != main)
        top->hide();
}

void tst_Accessibility::tabOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("main window") << "frmBrowser"
                                 << QStringList{
                                        "cmdPlayback", "cmdSaveImage",        "cmdImageFolder",
                                        "txtUrl",      "qt_tabwidget_tabbar", "lvwPermanent",
                                        "cmdEdit",     "cmdDelete",           "cmdFill"};
    QTest::newRow("preferences") << "frmHome"
                                 << QStringList{"cmdCancel", "cmdOK", "txtHome", "txtImageFolder"};
    QTest::newRow("proxy") << "frmProxy" << QStringList{"txtIP",    "txtPort", "chkUseProxy",
                                                        "cmdProxy", "cmdOK",   "cmdCancel"};
}

// What Tab walks through: each control a person can reach, in order.
void tst_Accessibility::tabOrder()
{
    QFETCH(QString, window);
    QFETCH(QStringList, order);
    QWidget* top = window == QLatin1String("frmBrowser")
                       ? static_cast<QWidget*>(app_->firstWindow())
                   : window == QLatin1String("frmHome") ? static_cast<QWidget*>(app_->preferences())
                                                        : app_->loadProxyDialog();
    top->show();
    QStringList walked;
    for (QWidget* w = top->nextInFocusChain(); w != top; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(top) &&
            !w->focusProxy())
            walked << w->objectName();
    // The chain is a ring; where it starts is the focus on opening (see the rows above).
    const qsizetype first = walked.indexOf(order.value(0));
    walked = walked.mid(first) + walked.mid(0, first);
    QCOMPARE(walked, order);
}

// The menus have no mouse-free road but the menu bar's own: Alt, then the arrow keys.
void tst_Accessibility::menusFromTheKeyboard()
{
    frmBrowser* w = app_->firstWindow();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_Alt);
    QAction* active = w->menuBar()->activeAction();
    QVERIFY(active);
    QCOMPARE(active->text(), QStringLiteral("File"));
    QTest::keyClick(w->menuBar(), Qt::Key_Right);
    QCOMPARE(w->menuBar()->activeAction()->text(), QStringLiteral("View"));
    QTest::keyClick(w->menuBar(), Qt::Key_Escape);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
