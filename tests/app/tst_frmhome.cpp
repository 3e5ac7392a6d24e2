#include "frmhome.h"
#include "recordfile.h"
#include "scriptedprompt.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace brackenly;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

} // namespace

class TestFrmHome : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void captionSizeAndTabOrder();
    void cancelHasFocusFirst();
    void ok_data();
    void ok();
    void cancelRestoresFolderOnly_data();
    void cancelRestoresFolderOnly();
    void preference_data();
    void preference();
    void preferenceReportsUnwritableSettings();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<frmHome> dialog_;
    QString firstWindowFolder_;
};

void TestFrmHome::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    prompt_ = std::make_unique<ScriptedPrompt>();
    firstWindowFolder_ = dir_->filePath("first");
    dialog_ = std::make_unique<frmHome>(*prompt_, [this] { return firstWindowFolder_; });
}

void TestFrmHome::cleanup()
{
    dialog_.reset();
    QCOMPARE(prompt_->unanswered(), 0);
    prompt_.reset();
    dir_.reset();
}

void TestFrmHome::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("accessible");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Label1") << "Label1"
                            << "Default home page:"
                            << "" << QRect(16, 18, 105, 17);
    QTest::newRow("txtHome") << "txtHome" << kBuiltInHomePage
                             << "Default home page:" << QRect(128, 16, 337, 25);
    QTest::newRow("Label2") << "Label2"
                            << "Save Image at:"
                            << "" << QRect(16, 58, 105, 17);
    QTest::newRow("txtImageFolder") << "txtImageFolder"
                                    << ""
                                    << "Save Image at:" << QRect(128, 56, 337, 25);
    QTest::newRow("cmdOK") << "cmdOK"
                           << "OK"
                           << "OK" << QRect(288, 95, 81, 25);
    QTest::newRow("cmdCancel") << "cmdCancel"
                               << "Cancel"
                               << "Cancel" << QRect(384, 95, 81, 25);
}

void TestFrmHome::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, accessible);
    QFETCH(QRect, geometry);
    QWidget* w = dialog_->findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(w))
        shown = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        shown = edit->text();
    else if (auto* button = qobject_cast<QPushButton*>(w))
        shown = button->text();
    QCOMPARE(shown, text);
    if (!accessible.isEmpty())
        QCOMPARE(w->accessibleName(), accessible);
}

void TestFrmHome::captionSizeAndTabOrder()
{
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("User preference setup"));
    QCOMPARE(dialog_->size(), QSize(478, 134));
    QWidget* w = dialog_->cmdCancel;
    QList<QWidget*> order;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
        w = w->nextInFocusChain();
    } while (w != dialog_->cmdCancel && order.size() < 10);
    const QList<QWidget*> expected{dialog_->cmdCancel, dialog_->cmdOK, dialog_->txtHome,
                                   dialog_->txtImageFolder};
    QCOMPARE(order, expected);
}

void TestFrmHome::cancelHasFocusFirst()
{
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    QCOMPARE(dialog_->focusWidget(), dialog_->cmdCancel);
    // A later show keeps the focus where it was left.
    dialog_->txtHome->setFocus();
    dialog_->hide();
    dialog_->show();
    QCOMPARE(dialog_->focusWidget(), dialog_->txtHome);
}

void TestFrmHome::ok_data()
{
    QTest::addColumn<QString>("folder"); // relative to the temporary folder; "-" = empty box
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QList<PromptAnswer>>("answers");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("existsAfter");
    QTest::newRow("existing folder: no question")
        << "there" << true << QList<PromptAnswer>{} << true << true;
    QTest::newRow("missing, answer No")
        << "new" << false << QList<PromptAnswer>{PromptAnswer::No} << false << false;
    QTest::newRow("missing, answer Yes")
        << "new" << false << QList<PromptAnswer>{PromptAnswer::Yes} << true << true;
    QTest::newRow("missing parent: cannot create")
        << "no/such" << false << QList<PromptAnswer>{PromptAnswer::Yes, PromptAnswer::Ok} << false
        << false;
    QTest::newRow("a file of that name")
        << "file" << false << QList<PromptAnswer>{PromptAnswer::Yes, PromptAnswer::Ok} << false
        << false;
    QTest::newRow("empty box") << "-" << false
                               << QList<PromptAnswer>{PromptAnswer::Yes, PromptAnswer::Ok} << false
                               << false;
}

void TestFrmHome::ok()
{
    QFETCH(QString, folder);
    QFETCH(bool, exists);
    QFETCH(QList<PromptAnswer>, answers);
    QFETCH(bool, saved);
    QFETCH(bool, existsAfter);
    QVERIFY(QDir(dir_->path()).mkdir("there"));
    QFile file(dir_->filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = folder == "-" ? QString() : dir_->filePath(folder);
    QCOMPARE(QFileInfo(path).isDir(), exists);
    for (PromptAnswer a : answers)
        prompt_->answer(a);

    dialog_->show();
    dialog_->bSaveFlag = false;
    dialog_->txtImageFolder->setText(path);
    dialog_->cmdOK->click();

    QCOMPARE(dialog_->bSaveFlag, saved);
    QCOMPARE(dialog_->isVisible(), !saved);
    QCOMPARE(QFileInfo(path).isDir(), existsAfter);
    QCOMPARE(prompt_->questions().size(), answers.size());
    if (!answers.isEmpty()) {
        const ScriptedPrompt::Question q = prompt_->questions()[0];
        QCOMPARE(q.text, "Directory " + path + " does not exist, do you want to create it?");
        QCOMPARE(q.buttons, PromptButtons::YesNo);
    }
    if (answers.size() > 1)
        QCOMPARE(prompt_->questions()[1].text, "Directory " + path + " could not be created.");
    if (!saved)
        QCOMPARE(dialog_->focusWidget(), dialog_->txtImageFolder);
}

void TestFrmHome::cancelRestoresFolderOnly_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel button") << false;
    QTest::newRow("Escape key") << true;
}

void TestFrmHome::cancelRestoresFolderOnly()
{
    QFETCH(bool, escape);
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    dialog_->txtHome->setText("http://typed/");
    dialog_->txtImageFolder->setText("/typed/folder");
    if (escape)
        QTest::keyClick(dialog_->txtHome, Qt::Key_Escape);
    else
        dialog_->cmdCancel->click();
    QVERIFY(!dialog_->isVisible());
    QVERIFY(!dialog_->bSaveFlag);
    QCOMPARE(dialog_->txtImageFolder->text(), firstWindowFolder_);
    QCOMPARE(dialog_->txtHome->text(), QStringLiteral("http://typed/"));
}

void TestFrmHome::preference_data()
{
    QTest::addColumn<bool>("pressOk");
    QTest::addColumn<QString>("status");
    QTest::newRow("OK") << true << "Setting is updated";
    QTest::newRow("Cancel") << false << "";
}

void TestFrmHome::preference()
{
    QFETCH(bool, pressOk);
    QFETCH(QString, status);
    const QString session = dir_->filePath("session");
    QVERIFY(QDir().mkdir(session));
    const QString settings = SettingsFilePath(session);
    QVERIFY(WriteTextFile(settings, BuildSettingsXml("old", "old")));
    const QByteArray before = readBytes(settings);
    const QString folder = dir_->filePath("img <&> x");
    QVERIFY(QDir().mkdir(folder));

    QWidget window;
    QString gstrSaveFolder = "/previous";
    QStringList statuses{"busy..."};
    dialog_->bSaveFlag = true; // the operation resets it before showing
    QTimer::singleShot(0, this, [&] {
        QVERIFY(dialog_->isVisible());
        dialog_->txtHome->setText("http://home/?a=1&b=<2>");
        dialog_->txtImageFolder->setText(folder);
        (pressOk ? dialog_->cmdOK : dialog_->cmdCancel)->click();
    });
    ShowPreference(
        &window, *dialog_, gstrSaveFolder, settings, [&](const QString& text) { statuses << text; },
        *prompt_);

    QCOMPARE(statuses.last(), status);
    const QRect screen = dialog_->screen()->geometry();
    QVERIFY(qAbs(dialog_->frameGeometry().center().x() - screen.center().x()) <= 2);
    QVERIFY(qAbs(dialog_->frameGeometry().center().y() - screen.center().y()) <= 2);
    if (pressOk) {
        QCOMPARE(gstrSaveFolder, folder);
        const QByteArray expected = "<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n"
                                    "    <Type>Home</Type>\r\n"
                                    "    <Home>http://home/?a=1&b=<2></Home>\r\n"
                                    "    <ImageFolder>" +
                                    folder.toLatin1() + "</ImageFolder>\r\n</Quillmark>\r\n";
        QCOMPARE(readBytes(settings), expected);
    } else {
        QCOMPARE(gstrSaveFolder, QStringLiteral("/previous"));
        QCOMPARE(readBytes(settings), before);
        QCOMPARE(dialog_->txtImageFolder->text(), firstWindowFolder_);
    }
}

void TestFrmHome::preferenceReportsUnwritableSettings()
{
    const QString settings = dir_->filePath("gone/Quillmark.xml"); // the folder is missing
    QString gstrSaveFolder = "/previous";
    QStringList statuses{"before"};
    dialog_->txtImageFolder->setText(dir_->path());
    prompt_->answer(PromptAnswer::Ok);
    QTimer::singleShot(0, this, [&] { dialog_->cmdOK->click(); });
    ShowPreference(
        nullptr, *dialog_, gstrSaveFolder, settings, [&](const QString& text) { statuses << text; },
        *prompt_);
    QCOMPARE(statuses, QStringList{"before"});
    QCOMPARE(prompt_->questions().size(), 1);
    QCOMPARE(prompt_->questions()[0].text,
             "The settings could not be saved to the file " + settings + ".");
    QVERIFY(!QFileInfo::exists(settings));
    // The folder chosen is in force for this run even though it could not be stored.
    QCOMPARE(gstrSaveFolder, dir_->path());
}

QTEST_MAIN(TestFrmHome)
#include "tst_frmhome.moc"
