#pragma once

#include <QFile>
#include <QStringList>

namespace brackenly {

// Where the processor time of a measure went (Linux): the calling thread's own time, which for
// the main thread is also the engine's browser thread, and how busy the whole machine was.
class CpuMeter
{
public:
    CpuMeter() : threadNs_(threadNs()), machine_(machineJiffies()) {}

    // Milliseconds the calling thread ran since construction; -1 when unknown.
    qint64 threadMs() const
    {
        const qint64 now = threadNs();
        return now < 0 || threadNs_ < 0 ? -1 : (now - threadNs_) / 1000000;
    }
    // Percent of all cores' time that was not idle since construction; -1 when unknown.
    int machineBusyPercent() const
    {
        const auto [busy, idle] = machineJiffies();
        const qint64 b = busy - machine_.first;
        const qint64 total = b + idle - machine_.second;
        return total > 0 ? int(100 * b / total) : -1;
    }

private:
    static QByteArray read(const char* path)
    {
        QFile file(QString::fromLatin1(path));
        return file.open(QIODevice::ReadOnly) ? file.readLine() : QByteArray();
    }
    static qint64 threadNs()
    {
        bool ok = false;
        const qint64 ns = read("/proc/thread-self/schedstat").split(' ').value(0).toLongLong(&ok);
        return ok ? ns : -1;
    }
    // (busy, idle) jiffies over all cores; idle includes waiting for the disk.
    static std::pair<qint64, qint64> machineJiffies()
    {
        const QList<QByteArray> f = read("/proc/stat").simplified().split(' ');
        if (f.size() < 9 || f.at(0) != "cpu")
            return {0, 0};
        qint64 busy = 0;
        for (int i : {1, 2, 3, 6, 7, 8})
            busy += f.at(i).toLongLong();
        return {busy, f.at(4).toLongLong() + f.at(5).toLongLong()};
    }

    qint64 threadNs_;
    std::pair<qint64, qint64> machine_;
};

} // namespace brackenly
