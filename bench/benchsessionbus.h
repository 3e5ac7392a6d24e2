#pragma once

#include "benchwait.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <csignal>
#include <sys/types.h>

namespace brackenly {

// A session bus of our own for the runs with the accessibility bridge; ended by the
// destructor. No bus (no dbus-daemon) leaves address() empty.
class SessionBus
{
public:
    SessionBus()
    {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--fork"),
                      QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1")});
        if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
            return;
        const QStringList lines =
            QString::fromLocal8Bit(daemon.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        if (lines.size() < 2)
            return;
        address_ = lines.at(0).trimmed();
        pid_ = lines.at(1).trimmed().toLongLong();
        // As a desktop session does: the accessibility bus is started, not waited for by Qt.
        // The launcher ends with the session bus.
        QProcess launcher;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        launcher.setProcessEnvironment(env);
        launcher.setProgram(QStringLiteral("/usr/libexec/at-spi-bus-launcher"));
        launcher.setArguments({QStringLiteral("--launch-immediately")});
        launcher.setStandardOutputFile(QProcess::nullDevice()); // the registry's greeting
        if (!launcher.startDetached())
            address_.clear();
        waitFor([] { return false; }, 1000);
    }
    ~SessionBus()
    {
        if (pid_ > 0)
            ::kill(pid_t(pid_), SIGTERM);
    }
    const QString& address() const { return address_; }

private:
    QString address_;
    qint64 pid_ = 0;
};

} // namespace brackenly
