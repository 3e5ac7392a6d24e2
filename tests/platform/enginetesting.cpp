#include "enginetesting.h"

#include "webenginebrowser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

namespace brackenly::enginetesting {

namespace {
// The engine wants shared contexts set before the application object exists.
const bool kShareContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();
} // namespace

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

CompletionLog::CompletionLog(Browser* browser) : QObject(browser)
{
    clock_.start();
    connect(browser, &Browser::DocumentComplete, this,
            [this](const FrameRef& frame, const QString& url) {
                entries.append({frame, frame.path(), url, clock_.elapsed()});
            });
}

int CompletionLog::topCount() const
{
    int count = 0;
    for (const Completion& entry : entries)
        count += entry.path.isEmpty() ? 1 : 0;
    return count;
}

bool CompletionLog::waitForTop(int count, int timeoutMs)
{
    return waitUntil([&] { return topCount() >= count; }, timeoutMs);
}

bool loadAndWait(WebEngineBrowser& browser, const QString& url, int timeoutMs)
{
    CompletionLog log(&browser);
    browser.Navigate(url);
    return log.waitForTop(1, timeoutMs);
}

void showView(WebEngineBrowser& browser)
{
    browser.widget()->resize(640, 480);
    browser.widget()->show();
}

QString pathText(const QList<int>& path)
{
    QString text;
    for (int index : path)
        text += u'/' + QString::number(index);
    return text.isEmpty() ? QStringLiteral("/") : text;
}

} // namespace brackenly::enginetesting
