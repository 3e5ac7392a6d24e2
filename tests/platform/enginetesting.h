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

// Why a call raised EngineError; empty when it did not.
template <typename Call> QString failureOf(Call call)
{
    try {
        call();
    } catch (const EngineError& error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

// What a call that waited out its time limit says.
inline const QString kNoAnswerInTime = QStringLiteral("the page did not answer in time");

} // namespace brackenly::enginetesting
