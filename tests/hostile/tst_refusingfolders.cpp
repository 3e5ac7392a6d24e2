// Session and image folders that refuse files (a full disk). The user is told, nothing on disk
// changes, and the same action succeeds once the folder takes files again. (The settings go
// through the same writer as the sessions; a folder that cannot be opened for writing ends in
// the same message.)

#include "browserapp.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "networkimagedownloader.h"
#include "recordfile.h"
#include "recorditems.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "scriptedprompt.h"

#include <QDirIterator>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace brackenly;
using namespace Qt::StringLiterals;

namespace {

// Every entry below the folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        entries[it.filePath()] = file.open(QIODevice::ReadOnly) ? file.readAll() : "<folder>";
    }
    return entries;
}

} // namespace

class tst_RefusingFolders : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        for (int i = 0; i < 10; ++i)
            server_.addImage(u"/i/%1.gif"_s.arg(i));
    }
    void userIsToldAndNothingIsLost_data()
    {
        QTest::addColumn<bool>("images"); // the image folder rather than the session folder
        QTest::newRow("session") << false;
        QTest::newRow("images") << true;
    }
    void userIsToldAndNothingIsLost()
    {
        QFETCH(bool, images);
        server_.clearRequests();
        QTemporaryDir dir;
        const QString sessions = SessionFolderPath(dir.path());
        const QString imageFolder = JoinPath(dir.path(), u"Image"_s);
        QVERIFY(QDir().mkdir(sessions) && QDir().mkdir(imageFolder));
        const Record old{"Form", "Old", "http://old/form.cgi", "", "", "", ""};
        QVERIFY(WriteTextFile(JoinPath(sessions, u"old.xml"_s), BuildRecordXml(old)));
        QVERIFY(WriteTextFile(JoinPath(imageFolder, u"old.gif"_s), u"GIF"_s));

        FakeBrowserFactory browsers;
        ScriptedPrompt prompt;
        NetworkImageDownloader downloader;
        downloader.setTimeoutMs(5000);
        BrowserApp app({.browsers = &browsers,
                        .prompt = &prompt,
                        .downloader = &downloader,
                        .programFolder = dir.path()});
        frmBrowser* w = app.startFirstWindow();
        QCOMPARE(w->gstrSaveFolder, imageFolder);

        RecordPanel* panel = w->records();
        if (images) {
            auto page = FakeDocument::create(server_.url("/index.html").toString());
            for (int i = 0; i < 10; ++i)
                page->addImage(u"i/%1.gif"_s.arg(i));
            browsers.browser(0)->load(page);
        } else {
            AddRecord(*panel->ListView1, {"Form", "", "http://new/form.cgi", "", "", "", ""},
                      panel->counters);
            panel->SSTab1->setCurrentIndex(1);
            panel->ListView1->setCurrentItem(panel->ListView1->topLevelItem(0));
        }
        QPushButton* act = images ? w->cmdSaveImage : panel->cmdSave;
        QVERIFY(act->isEnabled());

        const QMap<QString, QByteArray> before = snapshot(dir.path());
        prompt.answer(PromptAnswer::Ok);
        {
            // A file size limit of zero fails every byte written, as on a full disk.
            rlimit saved{};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &saved); });
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit none = saved;
            none.rlim_cur = 0;
            if (::setrlimit(RLIMIT_FSIZE, &none) != 0)
                QSKIP("the file size limit cannot be lowered");
            act->click();
        }

        QCOMPARE(prompt.texts().size(), 1);
        const QString told = prompt.texts().at(0);
        QVERIFY2(told.startsWith(images ? "The images could not be saved to the folder "
                                        : "The record session could not be saved to the file "),
                 qPrintable(told));
        QCOMPARE(prompt.questions().at(0).icon, PromptIcon::Exclamation);
        QCOMPARE(snapshot(dir.path()), before);
        if (images) {
            // The run ended at the first refusal instead of fetching what it cannot keep.
            QVERIFY2(told.endsWith(": File too large."), qPrintable(told));
            QVERIFY(server_.totalRequests() <= 1);
            QCOMPARE(w->cmdSaveImage->text(), u"S A V E    I M A G E"_s);
            QVERIFY(!w->harvestRun.SavingImages);
        } else {
            QCOMPARE(panel->ListView1->topLevelItemCount(), 1); // still there to save
        }

        // The window goes on: once the folder takes files the same action succeeds.
        act->click();
        QCOMPARE(prompt.texts().size(), 1);
        if (!images)
            QVERIFY(QFileInfo::exists(SessionFilePath(sessions, u"http://new/form.cgi"_s)));
        for (int i = 0; images && i < 10; ++i)
            QVERIFY(QFileInfo::exists(JoinPath(imageFolder, u"%1.gif"_s.arg(i))));
    }

private:
    FixtureServer server_;
};

QTEST_MAIN(tst_RefusingFolders)
#include "tst_refusingfolders.moc"
