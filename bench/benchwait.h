#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace brackenly {

// Runs the event loop until done() holds or the time is up; true when done.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs, int pollMs = 1)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(pollMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace brackenly
