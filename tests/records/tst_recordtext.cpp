#include "programdrive.h"
#include "recordfile.h"
#include "recordtext.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brackenly;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(brackenly::Record)

namespace {

constexpr uid_t kNobody = 65534;

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>"_ba;
}

const Record kSample{"Form", "Login", "http://a/in.asp", "go.asp", "u=b&p=<x>", "R: x", "main"};

} // namespace

class TestRecordText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QString>("input"); // the tag's first word picks the function
        QTest::addColumn<QString>("output");
        // Seven characters go whatever the scheme; only ASCII letters and digits stay.
        QTest::newRow("stem: _ and non-ASCII replaced") << u"ftp://xÄa_b~9"_s << u"_a_b_9"_s;
        QTest::newRow("stem: cut to fit a file name")
            << "http://h?" + QString(300, 'q') << "h_" + QString(198, 'q');
        // Every escaped byte, "+" and joined texts are the fuzz target's; these are quirks.
        QTest::newRow("decode: plus, %2B, %2b") << "a+b%2Bc%2bd" << u"a b c+d"_s;
        QTest::newRow("decode: %G0 is out of range") << "x%G0y" << u""_s;
        // "Image" inside the program folder: a ':' in a folder name is no drive.
        QTest::newRow("image: ':' in a Linux folder name")
            << u"/home/u/a:b"_s << u"/home/u/a:b/Image"_s;
    }
    void text()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        const QString tag = QTest::currentDataTag();
        if (tag.startsWith("stem"))
            QCOMPARE(MakeSessionFileName(input), output);
        else if (tag.startsWith("decode"))
            QCOMPARE(UrlDecode(input), output);
        else
            QCOMPARE(DefaultImageFolder(input), output);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Record>("read");
        // Another tool's file: element names in any case and order, on one line.
        QTest::newRow("other tool")
            << u"<frame>main</FRAME><HEADER>R: x</header><PostData>u=b&p=<x></POSTDATA><ACTION>"
               "go.asp</action><URL>http://a/in.asp</Url><SeSsIoN>Login</sEsSiOn><TYPE>Form</type>"_s
            << kSample;
        // An empty Type reads as Form; the other elements as empty.
        QTest::newRow("tricky tags") << u"</Url><Url x>1</Url><Urls>2</Urls><<Url>3</url>"_s
                                     << Record{"Form", "", "3", "", "", "", ""};
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(Record, read);
        Record parsed{"t", "s", "u", "a", "p", "h", "f"};
        ParseRecordXml(text, parsed);
        QCOMPARE(parsed, read);
    }

    void writeIsExactAndReplacesByRename()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.xml"), oldLink = dir.filePath("old.lnk");
        // Through a symbolic link the write would reach the file it points to: the link goes.
        QVERIFY(WriteTextFile(dir.filePath("elsewhere"), "kept"));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), path));
        // A save the disk refuses (here: a file size limit) leaves the link where it was.
        rlimit limit{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const rlimit unlimited = limit;
        limit.rlim_cur = 1024;
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const bool wrote = WriteTextFile(path, QString(4096, u'x'));
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        QVERIFY(!wrote && QFileInfo(path).isSymLink());
        QVERIFY(WriteTextFile(path, "old"));
        QCOMPARE(readBytes(dir.filePath("elsewhere")), "kept\r\n"_ba);
        QVERIFY(QFile::remove(dir.filePath("elsewhere")));
        // Passwords: the owner's alone, also in place of a file others could read.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        // A hard link keeps the old file: an in-place rewrite would change it, a rename does not.
        std::filesystem::create_hard_link(path.toStdString(), oldLink.toStdString());
        Record record = kSample;
        record.Session = u"Grüß €"_s;
        QVERIFY(WriteTextFile(path, BuildRecordXml(record)));
        QCOMPARE(readBytes(path),
                 "<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n    <Type>Form</Type>\r\n"
                 "    <Session>Gr\xFC\xDF \x80</Session>\r\n    <Url>http://a/in.asp</Url>\r\n"
                 "    <Action>go.asp</Action>\r\n    <Postdata>u=b&p=<x></Postdata>\r\n"
                 "    <Header>R: x</Header>\r\n    <Frame>main</Frame>\r\n"
                 "</Quillmark>\r\n"_ba);
        QCOMPARE(readBytes(oldLink), "old\r\n"_ba);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(st.st_mode, S_IFREG | 0600u);
        // What could not be read back (over 4 MiB with its CR LF) is not written: the old stays.
        QVERIFY(!WriteTextFile(path, QString(kMaxTextFileBytes - 1, u'x')));
        QVERIFY(readBytes(path).startsWith("<?xml"));
    }

    // Where sessions, settings and the proxy list go: the program folder or the user's folder.
    // A copy of the probe program runs as an ordinary user (nobody when the test runs as root)
    // from a program folder of a given mode: an installed program's cannot be written, a
    // portable copy's can, or cannot but holds its sessions (on a read-only medium).
    void dataFolder_data()
    {
        QTest::addColumn<int>("mode");      // of the program folder (and session folder)
        QTest::addColumn<bool>("sessions"); // the session folder holds a record
        QTest::addColumn<bool>("theirs");   // the folders belong to another user
        QTest::addColumn<bool>("keepsProgramFolder");
        QTest::newRow("installed") << 0555 << false << false << false;
        QTest::newRow("portable") << 0755 << false << false << true;
        QTest::newRow("read-only portable with sessions") << 0555 << true << false << true;
        // Read only to nobody, and root's: someone else's, however like a portable copy it looks.
        QTest::newRow("someone else's copy with sessions") << 0555 << true << true << false;
        // Others could read the passwords or plant sessions there.
        QTest::newRow("group may write") << 0775 << true << false << false;
        QTest::newRow("others may write") << 0757 << false << false << false;
    }
    void dataFolder()
    {
        QFETCH(int, mode);
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
        if (sessions)
            QVERIFY(QDir().mkdir(sessionPath) && WriteTextFile(sessionPath + "/r.xml", "x"));
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
        QVERIFY(setMode(mode));
        const auto before = QFileInfo(sessionPath).lastModified();

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
        if (sessions && keepsProgramFolder) // read from where they are, nothing added
            QCOMPARE(chosen.lastModified(), before);
        else // made for the owner alone
            QCOMPARE(st.st_mode & 0777, 0700u);
        QVERIFY(setMode(0755)); // lets the folders be removed
    }
};

QTEST_GUILESS_MAIN(TestRecordText)
#include "tst_recordtext.moc"
