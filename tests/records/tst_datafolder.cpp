#include "datafolder.h"
#include "recordfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace brackenly;

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
    QTest::addColumn<bool>("keepsProgramFolder");
    QTest::newRow("portable, first start") << "" << true;
    QTest::newRow("portable, sessions kept") << "session/" << true;
    QTest::newRow("a file where the session folder goes") << "session" << false;
    QTest::newRow("no program folder") << "-" << false;
}

void tst_DataFolder::choice()
{
    QFETCH(QString, layout);
    QFETCH(bool, keepsProgramFolder);
    QTemporaryDir dir;
    QString program = dir.filePath("bin");
    QVERIFY(layout == "-" || QDir().mkdir(program));
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

// A copy of the probe program in a folder its user cannot write (an installed program) or
// can (a portable copy), run as an ordinary user: as nobody when the test runs as root.
void tst_DataFolder::installedCopy_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("installed") << false;
    QTest::newRow("portable") << true;
}

void tst_DataFolder::installedCopy()
{
    QFETCH(bool, writable);
    const bool root = geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (root && setpriv.isEmpty())
        QSKIP("running as root and setpriv is missing: no ordinary user to run the copy as");

    QTemporaryDir dir;
    const auto rx = QFile::ReadOwner | QFile::ExeOwner;
    QVERIFY(QFile::setPermissions(dir.path(),
                                  rx | QFile::WriteOwner | QFile::ReadOther | QFile::ExeOther));
    const QString program = dir.filePath("bin"), home = dir.filePath("home");
    const QString copy = program + "/brackenly";
    QVERIFY(QDir().mkdir(program) && QDir().mkdir(home));
    QVERIFY(QFile::copy(BRACKENLY_DATA_FOLDER_PROBE, copy));
    // Root may write anywhere: nobody gets the home folder, and the portable copy's folder.
    if (root)
        QVERIFY(chown(home.toLocal8Bit(), 65534, 65534) == 0 &&
                (!writable || chown(program.toLocal8Bit(), 65534, 65534) == 0));
    else if (!writable)
        QVERIFY(QFile::setPermissions(program, rx));

    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/data");
    probe.setProcessEnvironment(env);
    if (root)
        probe.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", "--", copy});
    else
        probe.start(copy);
    QVERIFY(probe.waitForFinished(30000));
    const QByteArray errors = probe.readAllStandardError();
    if (root && probe.exitCode() != 0 && errors.contains("setpriv"))
        QSKIP(QByteArray("setpriv cannot switch to nobody here: " + errors).constData());
    QCOMPARE(probe.exitCode(), 0);

    const QString expected = writable ? program : home + "/data/Brackenly/Brackenly";
    QCOMPARE(QString::fromLocal8Bit(probe.readAllStandardOutput()).trimmed(), expected);
    QVERIFY(QFileInfo(SessionFolderPath(expected)).isDir());
    QFile::setPermissions(program, rx | QFile::WriteOwner); // lets the folder remove itself
}

QTEST_GUILESS_MAIN(tst_DataFolder)
#include "tst_datafolder.moc"
