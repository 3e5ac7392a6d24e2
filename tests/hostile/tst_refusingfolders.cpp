// Session, settings and image folders that refuse files: read-only to the user the program
// runs as, or full. The user is told, nothing on disk changes, and the same action succeeds
// once the folder takes files again.

#include "browserapp.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakedocument.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "frmhome.h"
#include "harvesttexts.h"
#include "networkimagedownloader.h"
#include "recordfile.h"
#include "recorditems.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "scriptedprompt.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace brackenly;

namespace {

constexpr uid_t kNobody = 65534;

// Root writes anywhere: this thread's file access becomes an unprivileged user's instead.
class AsUnprivileged
{
public:
    AsUnprivileged()
    {
        ::setfsuid(kNobody);
        active_ = ::setfsuid(kNobody) == int(kNobody);
    }
    ~AsUnprivileged() { ::setfsuid(::geteuid()); }
    bool active() const { return active_; }

private:
    bool active_ = false;
};

// A file size limit of zero: every byte written fails, as on a full disk.
class FullDisk
{
public:
    FullDisk()
    {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit none = saved_;
        none.rlim_cur = 0;
        active_ = ::setrlimit(RLIMIT_FSIZE, &none) == 0;
    }
    ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &saved_); }
    bool active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};

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

void chownTree(const QString& folder, uid_t uid)
{
    QVERIFY(::chown(QFile::encodeName(folder).constData(), uid, gid_t(-1)) == 0);
    for (const QString& path : snapshot(folder).keys())
        QVERIFY(::lchown(QFile::encodeName(path).constData(), uid, gid_t(-1)) == 0);
}

} // namespace

class tst_RefusingFolders : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void userIsToldAndNothingIsLost_data();
    void userIsToldAndNothingIsLost();

private:
    FixtureServer server_;
};

void tst_RefusingFolders::initTestCase()
{
    QVERIFY(server_.start());
    for (int i = 0; i < 10; ++i)
        server_.addImage(QStringLiteral("/i/%1.gif").arg(i));
}

void tst_RefusingFolders::userIsToldAndNothingIsLost_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("full");
    QTest::addColumn<QString>("message");
    const QString session = QStringLiteral("The record session could not be saved to the file ");
    const QString settings = QStringLiteral("The settings could not be saved to the file ");
    const QString images = QStringLiteral("The images could not be saved to the folder ");
    QTest::newRow("read-only session folder") << "session" << false << session;
    QTest::newRow("full disk, session") << "session" << true << session;
    QTest::newRow("read-only session folder, settings") << "settings" << false << settings;
    QTest::newRow("full disk, settings") << "settings" << true << settings;
    QTest::newRow("read-only image folder") << "images" << false << images;
    QTest::newRow("full disk, images") << "images" << true << images;
}

void tst_RefusingFolders::userIsToldAndNothingIsLost()
{
    QFETCH(QString, target);
    QFETCH(bool, full);
    QFETCH(QString, message);
    server_.clearRequests();
    QTemporaryDir dir;
    const QString sessions = SessionFolderPath(dir.path());
    const QString images = JoinPath(dir.path(), QStringLiteral("Image"));
    QVERIFY(QDir().mkdir(sessions) && QDir().mkdir(images));
    Record old;
    old.Type = QStringLiteral("Form");
    old.Session = QStringLiteral("Old");
    old.Url = QStringLiteral("http://old/form.cgi");
    QVERIFY(WriteTextFile(JoinPath(sessions, QStringLiteral("old.xml")), BuildRecordXml(old)));
    QVERIFY(WriteTextFile(SettingsFilePath(sessions),
                          BuildSettingsXml({QStringLiteral("http://old/"), images})));
    QVERIFY(WriteTextFile(JoinPath(images, QStringLiteral("old.gif")), QStringLiteral("GIF")));

    FakeBrowserFactory browsers;
    ScriptedPrompt prompt;
    NetworkImageDownloader downloader;
    downloader.setTimeoutMs(5000);
    Services services;
    services.browsers = &browsers;
    services.prompt = &prompt;
    services.downloader = &downloader;
    services.programFolder = dir.path();
    BrowserApp app(services);
    frmBrowser* w = app.startFirstWindow();
    QCOMPARE(w->gstrSaveFolder, images);

    std::function<void()> act;
    if (target == "session") {
        Record r;
        r.Type = QStringLiteral("Form");
        r.Url = QStringLiteral("http://new/form.cgi");
        RecordPanel* panel = w->records();
        AddRecord(*panel->ListView1, r, panel->counters);
        panel->SSTab1->setCurrentIndex(1);
        panel->ListView1->setCurrentItem(panel->ListView1->topLevelItem(0));
        act = [panel] { panel->cmdSave->click(); };
    } else if (target == "settings") {
        act = [&app, w, images] {
            QTimer::singleShot(0, w, [&app, images] {
                app.preferences()->txtHome->setText(QStringLiteral("http://new/"));
                app.preferences()->txtImageFolder->setText(images);
                app.preferences()->cmdOK->click();
            });
            w->mnuHome_Click();
        };
    } else {
        auto page = FakeDocument::create(server_.url("/index.html").toString());
        for (int i = 0; i < 10; ++i)
            page->addImage(QStringLiteral("i/%1.gif").arg(i));
        browsers.browser(0)->load(page);
        QVERIFY(w->cmdSaveImage->isEnabled());
        act = [w] { w->cmdSaveImage->click(); };
    }

    const QMap<QString, QByteArray> before = snapshot(dir.path());
    const QString refusing = target == "images" ? images : sessions;
    // An ordinary user owns the folders already; root acts as nobody, who gets them.
    const bool root = ::geteuid() == 0;
    if (!full) {
        if (root)
            chownTree(dir.path(), kNobody);
        QVERIFY(QFile::setPermissions(refusing, QFile::ReadOwner | QFile::ExeOwner));
    }
    prompt.answer(PromptAnswer::Ok);
    {
        std::optional<AsUnprivileged> user;
        std::optional<FullDisk> disk;
        if (full) {
            disk.emplace();
            if (!disk->active())
                QSKIP("the file size limit cannot be lowered");
        } else if (root) {
            user.emplace();
            if (!user->active())
                QSKIP("the file system user cannot be changed (no CAP_SETUID)");
        }
        if (!full) { // as the file system user, not the real one
            QVERIFY(::faccessat(AT_FDCWD, QFile::encodeName(refusing).constData(), W_OK,
                                AT_EACCESS) != 0);
        }
        act();
    }
    QVERIFY(
        QFile::setPermissions(refusing, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QCOMPARE(prompt.texts().size(), 1);
    QVERIFY2(prompt.texts().at(0).startsWith(message), qPrintable(prompt.texts().at(0)));
    QCOMPARE(prompt.questions().at(0).icon, PromptIcon::Exclamation);
    QCOMPARE(snapshot(dir.path()), before);
    if (target == "session")
        QCOMPARE(w->records()->ListView1->topLevelItemCount(), 1); // still there to save
    if (target == "images") {
        // The run ended at the first refusal instead of fetching what it cannot keep.
        QVERIFY2(prompt.texts().at(0).endsWith(full ? ": File too large." : ": Permission denied."),
                 qPrintable(prompt.texts().at(0)));
        QVERIFY(server_.totalRequests() <= 1);
        QCOMPARE(w->cmdSaveImage->text(), kSaveImageText);
        QVERIFY(!w->harvestRun.SavingImages);
    }

    // The window goes on: once the folder takes files the same action succeeds.
    act();
    QCOMPARE(prompt.texts().size(), 1);
    if (target == "session")
        QVERIFY(
            QFileInfo::exists(SessionFilePath(sessions, QStringLiteral("http://new/form.cgi"))));
    for (int i = 0; target == "images" && i < 10; ++i)
        QVERIFY(QFileInfo::exists(JoinPath(images, QStringLiteral("%1.gif").arg(i))));
    if (target == "settings") {
        QString text;
        QVERIFY(ReadTextFile(SettingsFilePath(sessions), text));
        QCOMPARE(GetTagValue(text, QStringLiteral("Home")), QStringLiteral("http://new/"));
    }
}

QTEST_MAIN(tst_RefusingFolders)
#include "tst_refusingfolders.moc"
