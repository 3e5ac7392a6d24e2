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
// A copy of the probe program runs as an ordinary user (nobody when the test runs as root)
// from a program folder of a given mode: an installed program's cannot be written, a
// portable copy's can, or cannot but holds its sessions (on a read-only medium).
class tst_DataFolder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choice_data()
    {
        QTest::addColumn<int>("mode");         // of the program folder (and session folder)
        QTest::addColumn<QString>("sessions"); // "folder", "file" or "" (none)
        QTest::addColumn<bool>("theirs");      // the folders belong to another user
        QTest::addColumn<bool>("keepsProgramFolder");
        QTest::newRow("installed") << 0555 << "" << false << false;
        QTest::newRow("portable") << 0755 << "" << false << true;
        QTest::newRow("read-only portable with sessions") << 0555 << "folder" << false << true;
        // Read only to nobody, and root's: someone else's, however like a portable copy it looks.
        QTest::newRow("someone else's copy with sessions") << 0555 << "folder" << true << false;
        QTest::newRow("a file where the session folder goes") << 0755 << "file" << false << false;
        // Others could read the passwords or plant sessions there.
        QTest::newRow("group may write") << 0775 << "folder" << false << false;
        QTest::newRow("others may write") << 0757 << "" << false << false;
    }
    void choice()
    {
        QFETCH(int, mode);
        QFETCH(QString, sessions);
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
        if (sessions == "folder")
            QVERIFY(QDir().mkdir(sessionPath));
        if (!sessions.isEmpty())
            QVERIFY(WriteTextFile(sessions == "file" ? sessionPath : sessionPath + "/r.xml", "x"));
        // Root may write anywhere: nobody gets the home folder, and the copy's folder unless it
        // is to stay someone else's.
        const auto own = [](const QString& path) {
            return ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
        };
        if (root)
            QVERIFY(own(home) &&
                    (theirs || (own(program) && (sessions.isEmpty() || own(sessionPath)))));
        const auto setMode = [&](int mode) {
            return ::chmod(QFile::encodeName(program).constData(), mode) == 0 &&
                   (sessions.isEmpty() ||
                    ::chmod(QFile::encodeName(sessionPath).constData(), mode) == 0);
        };
        QVERIFY(setMode(mode));
        const auto before = QFileInfo(sessionPath).lastModified();
        // With no user folder to go to, the program folder is kept as before.
        QCOMPARE(ChooseDataFolder(program, QString()), program);

        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_DATA_HOME", home + "/data");
        probe.setProcessEnvironment(env);
        if (root) {
            probe.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 ||
                    ::setuid(kNobody) != 0)
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
        if (!sessions.isEmpty() && keepsProgramFolder) // read from where they are, nothing added
            QCOMPARE(chosen.lastModified(), before);
        else // made for the owner alone
            QCOMPARE(st.st_mode & 0777, 0700u);
        QVERIFY(setMode(0755)); // lets the folders be removed
    }
};

QTEST_GUILESS_MAIN(tst_DataFolder)
#include "tst_datafolder.moc"
