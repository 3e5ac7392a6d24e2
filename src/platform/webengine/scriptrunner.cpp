#include "scriptrunner.h"

#include "engineerror.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>

namespace brackenly {

namespace {
int gTimeoutMs = 5000;
} // namespace

// Shared between the waiting call and the engine's callback, which may come late (after a
// time-out), during the page's destruction, or never.
struct ScriptRunner::Pending
{
    QEventLoop* loop = nullptr;
    bool finished = false;
    bool answered = false;
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
    if (page) {
        connect(page, &QObject::destroyed, this,
                [this] { failPending(QStringLiteral("the page is gone")); });
    }
}

ScriptRunner::~ScriptRunner()
{
    failPending(QStringLiteral("the browser is gone"));
}

QString ScriptRunner::run(const QString& script)
{
    if (page_.isNull())
        throw EngineError(QStringLiteral("the page is gone"));
    if (!suspended_.isEmpty())
        throw EngineError(suspended_);

    auto pending = std::make_shared<Pending>();
    pending_.append(pending);
    ++roundTrips_;
    page_->runJavaScript(script, worldId_, [pending](const QVariant& result) {
        if (pending->finished)
            return;
        if (result.typeId() == QMetaType::QString) {
            pending->answered = true;
            pending->answer = result.toString();
        }
        pending->finish(QStringLiteral("the page gave no answer"));
    });

    QPointer<ScriptRunner> self(this);
    if (!pending->finished) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        pending->loop = &loop;
        timer.start(gTimeoutMs);
        loop.exec();
        pending->loop = nullptr;
    }
    // The browser may have been destroyed by an event handled during the wait.
    if (self.isNull())
        throw EngineError(QStringLiteral("the browser is gone"));
    pending_.removeOne(pending);
    if (!pending->finished)
        pending->finish(QStringLiteral("the page did not answer in time"));
    if (!pending->answered)
        throw EngineError(pending->failure);
    return pending->answer;
}

void ScriptRunner::suspend(const QString& reason)
{
    suspended_ = reason;
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
