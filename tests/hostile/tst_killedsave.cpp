// A process saving a session or the settings file is killed at random points: the file is
// always one whole version, never empty or cut short, and nothing else is left beside it.

#include "codepage1252.h"
#include "savedversions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <thread>

using namespace brackenly;

class tst_KilledSave : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fileIsAlwaysWhole_data();
    void fileIsAlwaysWhole();
};

void tst_KilledSave::fileIsAlwaysWhole_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("session") << "session";
    QTest::newRow("settings") << "settings";
}

void tst_KilledSave::fileIsAlwaysWhole()
{
    QFETCH(QString, kind);
    constexpr int kKills = 100;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(kSessionFolderName));
    const QString path = savedversions::filePath(kind, dir.path());
    QVERIFY(WriteTextFile(path, savedversions::text(kind, 0)));
    const QByteArray versions[2] = {EncodeWindows1252(savedversions::text(kind, 0) + "\r\n"),
                                    EncodeWindows1252(savedversions::text(kind, 1) + "\r\n")};
    const QString fileName = QFileInfo(path).fileName();

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int kept = 0, replaced = 0, leftovers = 0, onDisk = 0;
    QElapsedTimer clock;
    clock.start();
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess saver;
        // Its first write replaces what is there.
        saver.start(QStringLiteral(BRACKENLY_SAVING_LOOP),
                    {kind, dir.path(), QString::number(1 - onDisk)});
        QVERIFY(saver.waitForReadyRead(5000));
        // Anywhere from before the first write to a few writes on, even on a busy machine.
        std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(20000)));
        ::kill(pid_t(saver.processId()), SIGKILL);
        QVERIFY(saver.waitForFinished(5000));
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        // The file, and at most a whole copy the writer had not yet renamed into place: the
        // system's save links a finished file under a temporary name first when one exists.
        const QDir folder(SessionFolderPath(dir.path()));
        for (const QString& name :
             folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            const int version = bytes == versions[0] ? 0 : bytes == versions[1] ? 1 : -1;
            QVERIFY2(version >= 0, qPrintable(QStringLiteral("kill %1 (seed %2): %3, %4 bytes")
                                                  .arg(kill)
                                                  .arg(seed)
                                                  .arg(name)
                                                  .arg(bytes.size())));
            if (name == fileName) {
                ++(version == onDisk ? kept : replaced);
                onDisk = version;
                continue;
            }
            // Never loaded as a session of its own.
            QVERIFY2(name.startsWith(fileName + u'.') && !name.endsWith(".xml"), qPrintable(name));
            QVERIFY(file.remove());
            ++leftovers;
        }
    }
    // The kills landed at different points of the loop.
    QVERIFY(kept > 0 && replaced > 0);
    QCOMPARE(kept + replaced, kKills);
    qInfo("%d kills in %lld ms: %d left the whole old version, %d the whole new one, 0 partial; "
          "%d whole copies left under a temporary name (seed %u)",
          kKills, clock.elapsed(), kept, replaced, leftovers, seed);
}

QTEST_GUILESS_MAIN(tst_KilledSave)
#include "tst_killedsave.moc"
