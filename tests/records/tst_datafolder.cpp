#include "datafolder.h"
#include "recordfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brackenly;

namespace {
constexpr uid_t kNobody = 65534;
}

// Where sessions, settings and the proxy list go: the program folder or the user's folder.
class tst_DataFolder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choice_data();
    void choice();
    void installedCopy_data();
    void installedCopy();
};

void tst_DataFolder::choice_data()
{
    QTest::addColumn<QString>("layout"); // what the program folder holds
    QTest::addColumn<int>("mode");       // of the program folder
    QTest::addColumn<bool>("keepsProgramFolder");
    QTest::newRow("portable, first start") << "" << 0700 << true;
    QTest::newRow("portable, sessions kept") << "session/" << 0755 << true;
    QTest::newRow("a file where the session folder goes") << "session" << 0700 << false;
    QTest::newRow("no program folder") << "-" << 0700 << false;
    // Others could read the passwords or plant sessions there.
    QTest::newRow("group may write") << "session/" << 0770 << false;
    QTest::newRow("others may write") << "" << 0757 << false;
}

void tst_DataFolder::choice()
{
    QFETCH(QString, layout);
    QFETCH(int, mode);
    QFETCH(bool, keepsProgramFolder);
    QTemporaryDir dir;
    QString program = dir.filePath("bin");
    QVERIFY(layout == "-" || QDir().mkdir(program));
    QVERIFY(layout == "-" || ::chmod(QFile::encodeName(program).constData(), mode) == 0);
    if (layout == "session/")
        QVERIFY(QDir().mkdir(SessionFolderPath(program)));
    if (layout == "session") {
        QFile file(SessionFolderPath(program));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString user = dir.filePath("user");
    QCOMPARE(ChooseDataFolder(program, user), keepsProgramFolder ? program : user);
    // With no user folder to go to, the program folder is kept as before.
    QCOMPARE(ChooseDataFolder(program, QString()), program);
}

// A copy of the probe program run as an ordinary user (nobody when the test runs as root) in
// a program folder it cannot write (an installed program), can write (a portable copy), or
// cannot write but that holds its sessions (a portable copy on a read-only medium).
void tst_DataFolder::installedCopy_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("sessions");
    QTest::addColumn<bool>("theirs"); // the folder belongs to another user
    QTest::addColumn<bool>("keepsProgramFolder");
    QTest::newRow("installed") << false << false << false << false;
    QTest::newRow("portable") << true << false << false << true;
    QTest::newRow("read-only portable with sessions") << false << true << false << true;
    // Read only to nobody, and root's: someone else's, however much it looks like a portable copy.
    QTest::newRow("someone else's copy with sessions") << false << true << true << false;
}

void tst_DataFolder::installedCopy()
{
    QFETCH(bool, writable);
    QFETCH(bool, sessions);
    QFETCH(bool, theirs);
    QFETCH(bool, keepsProgramFolder);
    const bool root = ::geteuid() == 0;
    if (theirs && !root)
        QSKIP("only root can make a folder that belongs to another user");

    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString program = dir.filePath("bin"), home = dir.filePath("home");
    const QString copy = program + "/brackenly", sessionPath = SessionFolderPath(program);
    QVERIFY(QDir().mkdir(program) && QDir().mkdir(home));
    QVERIFY(QFile::copy(BRACKENLY_DATA_FOLDER_PROBE, copy));
    if (sessions) {
        QVERIFY(QDir().mkdir(sessionPath));
        QVERIFY(WriteTextFile(sessionPath + "/r.xml", "<Url>http://r/</Url>"));
    }
    // Root may write anywhere: nobody gets the home folder, and the copy's folder unless it
    // is to stay someone else's.
    const auto own = [](const QString& path) {
        return ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
    };
    if (root)
        QVERIFY(own(home) && (theirs || (own(program) && (!sessions || own(sessionPath)))));
    const auto setMode = [&](int mode) {
        return ::chmod(QFile::encodeName(program).constData(), mode) == 0 &&
               (!sessions || ::chmod(QFile::encodeName(sessionPath).constData(), mode) == 0);
    };
    QVERIFY(setMode(writable ? 0755 : 0555));
    const auto before = QFileInfo(sessionPath).lastModified();

    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/data");
    probe.setProcessEnvironment(env);
    if (root) {
        probe.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(97);
        });
    }
    probe.start(copy);
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitCode(), 0);

    const QString expected = keepsProgramFolder ? program : home + "/data/Brackenly/Brackenly";
    QCOMPARE(QString::fromLocal8Bit(probe.readAllStandardOutput()).trimmed(), expected);
    const QFileInfo chosen(SessionFolderPath(expected));
    QVERIFY(chosen.isDir());
    struct stat st;
    QVERIFY(::stat(QFile::encodeName(chosen.filePath()).constData(), &st) == 0);
    if (sessions && keepsProgramFolder) // read from where they are, nothing added
        QCOMPARE(chosen.lastModified(), before);
    else // made for the owner alone
        QCOMPARE(st.st_mode & 0777, 0700u);
    QVERIFY(setMode(0755)); // lets the folders be removed
}

QTEST_GUILESS_MAIN(tst_DataFolder)
#include "tst_datafolder.moc"
