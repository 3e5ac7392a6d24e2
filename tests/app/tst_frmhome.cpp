#include "frmhome.h"
#include "recordfile.h"
#include "scriptedprompt.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace brackenly;
using namespace Qt::StringLiterals;

class TestFrmHome : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showPreference_data();
    void showPreference();
};

void TestFrmHome::showPreference_data()
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
    QTest::newRow("existing folder") << "there" << u"OK"_s << noAnswer << none << file << updated;
    QTest::newRow("missing, Yes: created")
        << "new" << u"OK"_s << QList{A::Yes} << QStringList{ask} << file << updated;
    QTest::newRow("missing, No") << "new" << u"OK"_s << QList{A::No} << QStringList{ask} << file
                                 << u""_s;
    QTest::newRow("cannot be created") << "no/such" << u"OK"_s << yesOk << failed << file << u""_s;
    QTest::newRow("a file of that name") << "file" << u"OK"_s << yesOk << failed << file << u""_s;
    QTest::newRow("Cancel") << "new" << u"Cancel"_s << noAnswer << none << file << u""_s;
    QTest::newRow("Escape") << "new" << u"Escape"_s << noAnswer << none << file << u""_s;
    QTest::newRow("settings cannot be written")
        << "there" << u"OK"_s << QList{A::Ok}
        << QStringList{"The settings could not be saved to the file %2."} << u"gone/Quillmark.xml"_s
        << u"before"_s;
}

void TestFrmHome::showPreference()
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
    QVERIFY(QDir(dir.path()).mkdir("there") && WriteTextFile(dir.filePath("file"), ""));
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
        nullptr, dialog, gstrSaveFolder, settings, [&](const QString& t) { shown = t; }, prompt);

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
        QCOMPARE(text, !accepted
                           ? u"old\r\n"_s
                           : "<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n    <Type>Home</Type>\r\n"
                             "    <Home>http://h/?a=1&b=<2></Home>\r\n    <ImageFolder>" +
                                 path + "</ImageFolder>\r\n</Quillmark>\r\n");
}

QTEST_MAIN(TestFrmHome)
#include "tst_frmhome.moc"
