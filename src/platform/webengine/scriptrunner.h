#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QWebEnginePage;

namespace brackenly {

// Runs scripts in the helper's world of a page and waits for their answers in a nested event
// loop with a time limit, so document-model calls return synchronously while the window stays
// live. Every failure (time-out, page gone, renderer gone) throws EngineError.
class ScriptRunner : public QObject
{
    Q_OBJECT
public:
    ScriptRunner(QWebEnginePage* page, quint32 worldId, QObject* parent = nullptr);
    ~ScriptRunner() override;

    // The script must evaluate to a string; that string is returned. A negative limit is
    // the process-wide one.
    QString run(const QString& script, int timeoutMs = -1);

    // Waits like run() until notify(key) (a report the page sends when work it started
    // settles); a report that came before the wait counts.
    void await(qint64 key);
    void notify(qint64 key);

    // A call ran out of time and the page has answered nothing since: its renderer may be
    // stuck in the page's own script.
    bool missedAnswer() const { return missedAnswer_; }

    // Calls fail at once with this reason until resume() (the renderer died).
    void suspend(const QString& reason);
    void resume();
    // Every call still waiting fails now.
    void failPending(const QString& reason);

    qint64 roundTrips() const { return roundTrips_; }

    // How long a call waits for the page; process-wide.
    static void setTimeoutMs(int ms);
    static int timeoutMs();

private:
    struct Pending;
    // A new call in flight; raises when the page is gone or suspended.
    std::shared_ptr<Pending> startPending();
    // Runs events until pending finishes or the time is up; throws when this runner was
    // destroyed meanwhile.
    void wait(const std::shared_ptr<Pending>& pending, int timeoutMs);

    QPointer<QWebEnginePage> page_;
    quint32 worldId_;
    QString suspended_;
    QList<std::shared_ptr<Pending>> pending_;
    QHash<qint64, std::shared_ptr<Pending>> awaited_;
    QList<qint64> early_;
    bool missedAnswer_ = false;
    qint64 roundTrips_ = 0;
};

} // namespace brackenly
