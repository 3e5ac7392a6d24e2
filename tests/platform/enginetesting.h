#pragma once

#include "browser.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace brackenly {

class WebEngineBrowser;

namespace enginetesting {

// Runs events until the condition holds or the time is up; true when it holds.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
// Runs events for a while (to catch events that should not come).
void settle(int ms);

struct Completion
{
    FrameRef frame;
    QList<int> path;
    QString url;
    qint64 atMs = 0; // since the log started
};

// Records a browser's DocumentComplete events in order.
class CompletionLog : public QObject
{
    Q_OBJECT
public:
    explicit CompletionLog(Browser* browser);

    QList<Completion> entries;

    int topCount() const;
    // Waits until the top document has completed `count` times in all.
    bool waitForTop(int count = 1, int timeoutMs = 10000);
    void clear() { entries.clear(); }

private:
    QElapsedTimer clock_;
};

// Navigates and waits for the top document's completion.
bool loadAndWait(WebEngineBrowser& browser, const QString& url, int timeoutMs = 10000);

// Shows the browser's view, so the page is not throttled as a hidden one.
void showView(WebEngineBrowser& browser);

// "/a/b" style text of a frame path, for readable comparisons.
QString pathText(const QList<int>& path);

} // namespace enginetesting
} // namespace brackenly
