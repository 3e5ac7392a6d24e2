#pragma once

#include "engineerror.h"
#include "webenginebrowser.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

// Helpers of the tests that drive the real engine.
namespace brackenly::enginetesting {

// Runs events for a while (QTest::qWait sleeps between batches: the engine crawls then).
inline void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer clock;
    for (clock.start(); !condition(); settle(5)) {
        if (clock.elapsed() > timeoutMs)
            return false;
    }
    return true;
}

// "/1/0 url" for each DocumentComplete, in order, with its browser object and time.
struct CompletionLog : QObject
{
    explicit CompletionLog(Browser* browser) : QObject(browser)
    {
        clock.start();
        connect(browser, &Browser::DocumentComplete, this,
                [this](const FrameRef& frame, const QString& url) {
                    QString path = "/";
                    for (int index : frame.path())
                        path += QString::number(index) + u'/';
                    entries << (path.size() > 1 ? path.chopped(1) : path) + u' ' + url;
                    frames << frame;
                    atMs << clock.elapsed();
                });
    }
    bool waitForTop(int count = 1, int ms = 10000)
    {
        return waitUntil([&] { return entries.filter(QRegularExpression("^/ ")).size() >= count; },
                         ms);
    }

    QStringList entries;
    QList<FrameRef> frames;
    QList<qint64> atMs;
    QElapsedTimer clock;
};

inline bool loadAndWait(Browser& browser, const QString& url)
{
    CompletionLog log(&browser);
    browser.Navigate(url);
    return log.waitForTop();
}

// A shown view, so the page is not throttled as a hidden one.
inline void showView(Browser& browser)
{
    browser.widget()->resize(640, 480);
    browser.widget()->show();
}

// How long a call took to throw EngineError; -1 when it did not throw.
template <typename Call> qint64 failingCall(Call call)
{
    QElapsedTimer clock;
    clock.start();
    try {
        call();
    } catch (const EngineError&) {
        return clock.elapsed();
    }
    return -1;
}

} // namespace brackenly::enginetesting
