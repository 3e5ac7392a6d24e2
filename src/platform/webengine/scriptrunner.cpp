#include "scriptrunner.h"

#include "engineerror.h"
#include "enginepump.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>

namespace brackenly {

namespace {
int gTimeoutMs = 5000;
// A wait this long without an answer wakes the engine's pump (see EnginePump), and again
// after each such span.
constexpr int kNudgeMs = 200;
} // namespace

// Shared between the waiting call and the engine's callback, which may come late (after a
// time-out), during the page's destruction, or never.
struct ScriptRunner::Pending
{
    QEventLoop* loop = nullptr;
    bool finished = false;
    bool answered = false;
    bool timedOut = false;
    QString answer;
    QString failure;

    void finish(const QString& why)
    {
        if (finished)
            return;
        finished = true;
        failure = why;
        if (loop)
            loop->quit();
    }
};

ScriptRunner::ScriptRunner(QWebEnginePage* page, quint32 worldId, QObject* parent)
    : QObject(parent), page_(page), worldId_(worldId)
{
    EnginePump::watch();
    if (page) {
        connect(page, &QObject::destroyed, this,
                [this] { failPending(QStringLiteral("the page is gone")); });
    }
}

ScriptRunner::~ScriptRunner()
{
    failPending(QStringLiteral("the browser is gone"));
}

std::shared_ptr<ScriptRunner::Pending> ScriptRunner::startPending()
{
    if (page_.isNull())
        throw EngineError(QStringLiteral("the page is gone"));
    if (!suspended_.isEmpty())
        throw EngineError(suspended_);
    auto pending = std::make_shared<Pending>();
    pending_.append(pending);
    return pending;
}

QString ScriptRunner::run(const QString& script, int timeoutMs)
{
    auto pending = startPending();
    ++roundTrips_;
    QPointer<ScriptRunner> self(this);
    page_->runJavaScript(script, worldId_, [pending, self](const QVariant& result) {
        const bool answered = result.typeId() == QMetaType::QString;
        // Even an answer that comes too late shows the renderer is not stuck.
        if (answered && self)
            self->missedAnswer_ = false;
        if (pending->finished)
            return;
        if (answered) {
            pending->answered = true;
            pending->answer = result.toString();
        }
        pending->finish(QStringLiteral("the page gave no answer"));
    });

    wait(pending, timeoutMs < 0 ? gTimeoutMs : timeoutMs);
    if (pending->timedOut)
        missedAnswer_ = true;
    if (!pending->answered)
        throw EngineError(pending->failure);
    return pending->answer;
}

void ScriptRunner::await(qint64 key)
{
    if (early_.removeOne(key))
        return;
    auto pending = startPending();
    awaited_.insert(key, pending);
    wait(pending, gTimeoutMs);
    awaited_.remove(key);
    if (!pending->answered)
        throw EngineError(pending->failure);
}

void ScriptRunner::notify(qint64 key)
{
    const std::shared_ptr<Pending> pending = awaited_.value(key);
    if (pending) {
        if (!pending->finished) {
            pending->answered = true;
            pending->finish({});
        }
        return;
    }
    // Reports of waits given up on are never taken: keep only the latest few.
    early_.append(key);
    if (early_.size() > 64)
        early_.removeFirst();
}

void ScriptRunner::wait(const std::shared_ptr<Pending>& pending, int timeoutMs)
{
    QPointer<ScriptRunner> self(this);
    if (!pending->finished) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QTimer nudge;
        connect(&nudge, &QTimer::timeout, &nudge, [] { EnginePump::nudge(); });
        pending->loop = &loop;
        timer.start(timeoutMs);
        nudge.start(kNudgeMs);
        loop.exec();
        pending->loop = nullptr;
    }
    // The browser may have been destroyed by an event handled during the wait.
    if (self.isNull())
        throw EngineError(QStringLiteral("the browser is gone"));
    pending_.removeOne(pending);
    if (!pending->finished) {
        pending->timedOut = true;
        pending->finish(QStringLiteral("the page did not answer in time"));
    }
}

void ScriptRunner::suspend(const QString& reason)
{
    suspended_ = reason;
    missedAnswer_ = false; // the stuck renderer, if any, is gone
    early_.clear();
    failPending(reason);
}

void ScriptRunner::resume()
{
    suspended_.clear();
}

void ScriptRunner::failPending(const QString& reason)
{
    for (const auto& pending : std::as_const(pending_))
        pending->finish(reason);
}

void ScriptRunner::setTimeoutMs(int ms)
{
    gTimeoutMs = ms;
}

int ScriptRunner::timeoutMs()
{
    return gTimeoutMs;
}

} // namespace brackenly
