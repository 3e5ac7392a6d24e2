#include "browserapp.h"
#include "browsermenus.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "frmbrowser.h"
#include "frmhome.h"
#include "frmproxy.h"
#include "imagedownloader.h"
#include "prompt.h"
#include "scriptedprompt.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace brackenly;
using namespace Qt::StringLiterals;

namespace {

// What assistive technology reads of one control: "role|name|value|state", the value of a
// progress bar as "value/maximum".
QString hear(QAccessibleInterface* iface)
{
    const QAccessible::State s = iface->state();
    QStringList state;
    for (auto [on, word] : {std::pair{s.disabled, "disabled"},
                            {s.invisible, "invisible"},
                            {s.checked, "checked"},
                            {s.focused, "focused"}})
        if (on)
            state << QString::fromLatin1(word);
    QString value = iface->text(QAccessible::Value);
    if (QAccessibleValueInterface* v = iface->valueInterface())
        value = v->currentValue().toString() + u'/' + v->maximumValue().toString();
    return QStringList{QMetaEnum::fromType<QAccessible::Role>().valueToKey(iface->role()),
                       iface->text(QAccessible::Name), value, state.join(u' ')}
        .join(u'|');
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

const QString kSite = u"http://site.test/"_s;

} // namespace

// What a screen reader hears through QAccessible, as the desktop's bus reads it: every
// window's tree taken at each moment of one scenario, and a table of what must be heard.
class tst_Accessibility : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        app_ = std::make_unique<BrowserApp>(Services{.browsers = &browsers_,
                                                     .prompt = &prompt_,
                                                     .downloader = &downloader_,
                                                     .programFolder = dir_.path(),
                                                     .captureTimeoutMs = 5000});
        frmBrowser* w = app_->startFirstWindow();
        take(u"start"_s);

        // Capture windows' browsers load what they are sent to.
        browsers_.onCreate = [](FakeBrowser* b) {
            b->onNavigate = [b](const QString& url) {
                QTimer::singleShot(0, b, [b, url] {
                    auto doc = FakeDocument::create(url);
                    doc->addImage(url + u".gif"_s);
                    b->load(doc);
                });
            };
        };
        FakeBrowser* main = browsers_.browser(0);
        w->txtUrl->setText(kSite);
        QTest::mouseClick(w->cmdPlayback, Qt::LeftButton);
        main->beforeNavigate(kSite);
        take(u"loading"_s);

        auto page = FakeDocument::create(kSite);
        page->addImage(kSite + u"a.gif"_s);
        page->addLink(kSite + u"next"_s);
        page->addLink(kSite + u"last"_s);
        main->setDocument(page);
        main->completeAll();

        // The run: the capture window is heard while it saves its page's image.
        downloader_.onDownload = [this](const QString& src) {
            if (src.endsWith(u"next.gif"_s))
                take(u"capture"_s);
        };
        w->cmdSaveImage->click();
        downloader_.onDownload = nullptr;

        app_->loadProxyDialog()->show();
        take(u"proxy"_s);
        app_->loadProxyDialog()->hide();

        QTimer::singleShot(0, this, [this] {
            take(u"message"_s);
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->done(QMessageBox::No);
        });
        MessageBoxPrompt().ask(w, u"Do you want to auto fill-in this form"_s, u"Brackenly"_s,
                               PromptButtons::YesNo, PromptIcon::None);
    }
    void cleanupTestCase() { app_.reset(); }
    void heard_data()
    {
        QTest::addColumn<QString>("control"); // moment/window/objectName
        QTest::addColumn<QString>("heard");   // role|name|value|state
        const auto row = [](const char* control, const QString& heard) {
            QTest::newRow(control) << QString::fromLatin1(control) << heard;
        };
        row("start/frmBrowser/frmBrowser", "Window|Brackenly V1.1 (First Window)||");
        row("start/frmBrowser/cmdBack", "Button|B A C K||disabled");
        row("loading/frmBrowser/txtUrl", "EditableText|Address:|" + kSite + "|");
        row("loading/frmBrowser/StatusBar1Panel1", "StaticText|Going to " + kSite + "...||");
        row("capture/frmBrowser/cmdSaveImage", "Button|S A V I N G    I M A G E .....||");
        row("capture/frmBrowser/StatusBar1Panel2", "StaticText|Saving " + kSite + "next.gif||");
        row("capture/frmCapture/CaptureStatus", "StaticText|Saving " + kSite + "next.gif||");
        // One image and one of the page's two links done.
        row("capture/frmBrowser/prgRun", "ProgressBar|Image-saving progress|2/3|");
        row("capture/frmCapture/frmCapture", "Window|Capture Image||");
        row("proxy/frmProxy/frmProxy", "Dialog|Proxy Setting||");
        row("proxy/frmProxy/chkUseProxy", "CheckBox|Use Proxy Server||checked");
        row("proxy/frmProxy/txtPort", "EditableText|Port No:||");
        const QString question = u"Do you want to auto fill-in this form"_s;
        row("message/QMessageBox/QMessageBox", "AlertMessage|Brackenly|" + question + "|");
    }
    void heard()
    {
        QFETCH(QString, control);
        QFETCH(QString, heard);
        QCOMPARE(heard_.value(control, u"(not in the tree)"_s), heard);
    }
    void eachWindow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("order"); // what Tab walks through, from the focus on opening
        QTest::newRow("main window, record panes shown")
            << "frmBrowser" << QStringList{"cmdPlayback", "cmdSaveImage",        "cmdImageFolder",
                                           "txtUrl",      "qt_tabwidget_tabbar", "lvwPermanent",
                                           "cmdEdit",     "cmdDelete",           "cmdFill"};
        QTest::newRow("preferences")
            << "frmHome" << QStringList{"cmdCancel", "cmdOK", "txtHome", "txtImageFolder"};
        QTest::newRow("proxy") << "frmProxy" << QStringList{"txtIP",    "txtPort", "chkUseProxy",
                                                            "cmdProxy", "cmdOK",   "cmdCancel"};
    }
    // Every fixed caption shows whole at the default font (the status panels carry page texts
    // and are left out), and Tab reaches each control a person can use, in order.
    void eachWindow()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, order);
        frmBrowser* main = app_->firstWindow();
        QWidget* top = main;
        if (window == QLatin1String("frmBrowser")) {
            main->menus()->mnuHideRecord->setChecked(false);
            main->mnuHideRecord_Click();
            // The widest caption the run gives its button.
            main->cmdSaveImage->setText(u"S A V I N G    I M A G E ....."_s);
        } else {
            top = window == QLatin1String("frmHome") ? static_cast<QWidget*>(app_->preferences())
                                                     : app_->loadProxyDialog();
            top->show();
        }
        // Inside the window when shown, and the caption within its room.
        const auto fits = [top](QWidget* w, const QString& text, int room) {
            return (!w->isVisibleTo(top) ||
                    top->rect().contains(QRect(w->mapTo(top, QPoint()), w->size()))) &&
                   w->fontMetrics().horizontalAdvance(text) <= room;
        };
        for (QPushButton* b : top->findChildren<QPushButton*>()) {
            QStyleOptionButton option;
            option.initFrom(b);
            option.text = b->text();
            const QRect room =
                b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
            QVERIFY2(fits(b, b->text(), room.width()), qPrintable(b->text()));
        }
        for (QLabel* l : top->findChildren<QLabel*>())
            if (!l->objectName().startsWith("StatusBar1Panel"_L1) && !l->text().isEmpty())
                QVERIFY2(fits(l, l->text(), l->contentsRect().width()), qPrintable(l->text()));

        QStringList walked;
        for (QWidget* w = top->nextInFocusChain(); w != top; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(top) &&
                !w->focusProxy())
                walked << w->objectName();
        // The chain is a ring; where it starts is the focus on opening ("cancel first" above).
        const qsizetype first = walked.indexOf(order.value(0));
        QCOMPARE(walked.mid(first) + walked.mid(0, first), order);
        if (top != main)
            top->hide();
    }

private:
    // Each visible window, by object name (a message box by its class).
    void take(const QString& moment)
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            const QString window = w->objectName().isEmpty()
                                       ? QString::fromLatin1(w->metaObject()->className())
                                       : w->objectName();
            if (w->isVisible())
                walk(moment + u'/' + window + u'/', QAccessible::queryAccessibleInterface(w),
                     window);
        }
    }
    // Every named control under `iface`, keyed "moment/window/objectName"; the first wins.
    void walk(const QString& prefix, QAccessibleInterface* iface, const QString& name)
    {
        if (!name.isEmpty() && !heard_.contains(prefix + name))
            heard_.insert(prefix + name, hear(iface));
        for (int i = 0; i < iface->childCount(); ++i)
            if (QAccessibleInterface* child = iface->child(i))
                walk(prefix, child, child->object() ? child->object()->objectName() : "");
    }

    QTemporaryDir dir_;
    FakeBrowserFactory browsers_;
    ScriptedPrompt prompt_;
    NotifyingDownloader downloader_;
    std::unique_ptr<BrowserApp> app_;
    QHash<QString, QString> heard_; // "moment/window/objectName"
};

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
