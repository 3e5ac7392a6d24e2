// Loads many session files into a record panel and reports time and memory growth.
// Usage: bench_sessions [--dir FOLDER] [count ...]   (default counts: 10000 100000)
// With --dir the session files are kept in FOLDER/<count>/session and reused by later runs.
#include "prompt.h"
#include "recordfile.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "sessionhost.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace brackenly;

namespace {

class BenchHost : public SessionHost
{
public:
    QWidget* window() override { return win; }
    Prompt& prompt() override { return messageBoxes; }
    QString hostProgramFolder() const override { return programFolder; }
    void setStatusText(const QString& text) override { status = text; }
    QString saveFolder() const override { return folder; }
    void setSaveFolder(const QString& f) override { folder = f; }
    void setHomePageBox(const QString&) override {}
    void setImageFolderBox(const QString&) override {}

    QWidget* win = nullptr;
    MessageBoxPrompt messageBoxes;
    QString programFolder;
    QString status;
    QString folder;
};

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

bool makeSessions(const QString& sessionDir, int count)
{
    if (!QDir().mkpath(sessionDir))
        return false;
    for (int i = 0; i < count; ++i) {
        const QString url =
            QStringLiteral("http://host%1.example/path/page%2.asp?id=%2").arg(i % 97).arg(i);
        const Record r{QStringLiteral("Form"),
                       QStringLiteral("Session %1").arg(count - i),
                       url,
                       QStringLiteral("http://host.example/submit.asp"),
                       QStringLiteral("user=name%1&password=secret&remember=on").arg(i),
                       QString(),
                       QString()};
        QFile f(SessionFilePath(sessionDir, url));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(BuildRecordXml(r).toLatin1() + "\r\n");
    }
    return true;
}

bool runOne(int count, const QString& keepIn)
{
    QTemporaryDir temporary;
    const QString programFolder =
        keepIn.isEmpty() ? temporary.path() : QDir(keepIn).filePath(QString::number(count));
    if (programFolder.isEmpty())
        return false;
    const QString sessionFolder = SessionFolderPath(programFolder);
    if (keepIn.isEmpty() || !QFileInfo::exists(sessionFolder)) {
        QElapsedTimer setup;
        setup.start();
        if (!makeSessions(sessionFolder, count))
            return false;
        std::printf("%d files written in %lld ms\n", count,
                    static_cast<long long>(setup.elapsed()));
    }

    // The floor: listing and reading the files without any list work.
    {
        QElapsedTimer raw;
        raw.start();
        int read = 0;
        QDirIterator it(sessionFolder, QDir::Files | QDir::Hidden);
        while (it.hasNext()) {
            it.next();
            QString text;
            if (it.fileInfo().size() > 0 && ReadTextFile(it.filePath(), text))
                ++read;
        }
        std::printf("reading %d files alone: %lld ms\n", read,
                    static_cast<long long>(raw.elapsed()));
    }

    BenchHost host;
    host.programFolder = programFolder;
    QWidget window;
    window.resize(900, 700);
    host.win = &window;
    auto* panel = new RecordPanel(&window, host);
    panel->SSTab1->setGeometry(8, 8, 880, 600);
    panel->lvwPermanent->setGeometry(8, 4, 860, 560);
    window.show(); // the list is visible: the slower case

    const QString expected = QString::number(count) + QStringLiteral(" Permanent Record");
    for (int round = 1; round <= 2; ++round) {
        const long before = rssKiB();
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuStart = std::clock();
        panel->CallLoadPermanentRecord();
        const qint64 ms = timer.elapsed();
        const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
        const long after = rssKiB();
        const bool ok =
            host.status == expected && panel->lvwPermanent->topLevelItemCount() == count;
        std::printf("load %d of %d files: %lld ms (CPU %.0f ms), RSS %+.1f MB (now %.1f MB), "
                    "status \"%s\"%s\n",
                    round, count, static_cast<long long>(ms), cpuMs, (after - before) / 1024.0,
                    after / 1024.0, qPrintable(host.status), ok ? "" : "  <-- WRONG");
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> counts;
    QString keepIn;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--dir" && i + 1 < argc)
            keepIn = QString::fromLocal8Bit(argv[++i]);
        else
            counts << arg.toInt();
    }
    if (counts.isEmpty())
        counts = {10000, 100000};
    bool ok = true;
    for (int count : counts)
        ok = runOne(count, keepIn) && ok;
    return ok ? 0 : 1;
}
