#include "webenginebrowser.h"

#include "browserpage.h"
#include "completedtop.h"
#include "endprocess.h"
#include "engineerror.h"
#include "enginelog.h"
#include "helperscript.h"
#include "scriptrunner.h"
#include "sharedprofile.h"
#include "submissionmessage.h"
#include "webenginedocument.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace brackenly {

namespace {

QJsonArray toJson(const QList<int>& path)
{
    QJsonArray array;
    for (int index : path)
        array.append(index);
    return array;
}

QList<int> pathFromJson(const QJsonValue& value)
{
    QList<int> path;
    for (const QJsonValue& index : value.toArray())
        path.append(index.toInt());
    return path;
}

// Whether the helper is installed: its own property of the world's global, which no page
// element's id or name can pose as (those are found only where no own property is).
const QString kHasHelper =
    QStringLiteral("Object.prototype.hasOwnProperty.call(window, 'brackenlyHelper')");

// The request travels as a JavaScript object literal (JSON is one). Where the engine failed
// to install the helper (it happens after a renderer crash) the call says so ("m"), and is
// sent again with the helper (`install`) in front. Error pages never get one: they have no
// document.
QString callScript(const QJsonObject& request, const QString& install)
{
    return install + kHasHelper + QStringLiteral(" ? brackenlyHelper.run(") +
           QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)) +
           QStringLiteral(") : '{\"e\":\"the page has no document\",\"m\":true}'");
}

// A call of one of the helper's functions; answers "m" where the helper is missing.
QString helperFunctionScript(const QString& function, const QJsonArray& arguments,
                             const QString& install)
{
    return install + kHasHelper + QStringLiteral(" ? brackenlyHelper.") + function +
           QStringLiteral("(...") +
           QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)) +
           QStringLiteral(") : 'm'");
}

int gPingTimeoutMs = 1000;
// How long a renderer that was ended may take to be reported gone.
constexpr int kEndWaitMs = 3000;

qint64 tokenFrom(const QJsonObject& message)
{
    return qint64(message.value(QStringLiteral("t")).toDouble());
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QWidget* parent) : Browser(parent)
{
    view_ = new QWebEngineView(parent);
    page_ = new BrowserPage(sharedProfile(), view_);
    view_->setPage(page_);
    runner_ = new ScriptRunner(page_, HelperScript::worldId, this);

    page_->setNewWindowProvider(
        [this](bool userInitiated) { return pageForNewWindow(userInitiated); });
    connect(page_, &BrowserPage::helperMessage, this, &WebEngineBrowser::onHelperMessage);
    connect(page_, &BrowserPage::navigationStarting, this, [this](const QUrl& url, bool) {
        const QString text = url.toString(QUrl::FullyEncoded);
        post([this, text] { Q_EMIT BeforeNavigate2(text); });
    });
    connect(page_, &BrowserPage::navigationRedirected, this, [this](const QUrl& url) {
        const QString text = url.toString(QUrl::FullyEncoded);
        post([this, text] { Q_EMIT Redirected(text); });
    });
    connect(page_, &QWebEnginePage::loadStarted, this, &WebEngineBrowser::onLoadStarted);
    connect(page_, &QWebEnginePage::loadFinished, this, &WebEngineBrowser::onLoadFinished);
    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                    return;
                const bool ok = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
                const QString url = info.url().toString(QUrl::FullyEncoded);
                const QString reason =
                    ok ? QString()
                    : info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain
                        ? QStringLiteral("HTTP status %1").arg(info.errorCode())
                        : info.errorString();
                post([this, url, ok, reason] { Q_EMIT LoadEnded(url, ok, reason); });
            });
    connect(page_, &QWebEnginePage::urlChanged, this, &WebEngineBrowser::updateBackState);
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            &WebEngineBrowser::onRenderProcessTerminated);
}

WebEngineBrowser::~WebEngineBrowser()
{
    // Waiting calls fail before the page goes; the view takes the page with it.
    delete runner_;
    runner_ = nullptr;
    delete view_.data();
}

QWidget* WebEngineBrowser::widget()
{
    return view_;
}

void WebEngineBrowser::Navigate(const QString& url)
{
    const QPointer<WebEngineBrowser> self(this);
    endStuckRenderer();
    if (self && page_)
        page_->load(QUrl::fromUserInput(url));
}

void WebEngineBrowser::GoBack()
{
    const QPointer<WebEngineBrowser> self(this);
    endStuckRenderer();
    if (self && page_)
        page_->triggerAction(QWebEnginePage::Back);
}

void WebEngineBrowser::setPrefetchImages(bool on)
{
    if (!page_)
        return;
    // The helper, in its own world, reads them when the top document has loaded.
    eagerMaxBytes_ = on ? maxCachedBytes() : 0;
    QWebEngineScriptCollection& scripts = page_->scripts();
    for (const QWebEngineScript& old : scripts.find(HelperScript::name()))
        scripts.remove(old);
    scripts.insert(HelperScript::script(eagerMaxBytes_));
}

void WebEngineBrowser::setSilent(bool silent)
{
    if (page_)
        page_->setSilent(silent);
}

bool WebEngineBrowser::silent() const
{
    return page_ && page_->silent();
}

std::shared_ptr<Document> WebEngineBrowser::documentAt(const QList<int>& path, qint64 identity)
{
    if (path.isEmpty() && completed_ && completed_->current &&
        completed_->generation == loadGeneration_ &&
        (identity == 0 || identity == completed_->token))
        return std::make_shared<WebEngineDocument>(this, path, completed_->token, completed_);
    // With an identity, the page refuses when another document stands at the path.
    const QJsonValue token = call(path, identity, QStringLiteral("open"), -1);
    return std::make_shared<WebEngineDocument>(this, path, qint64(token.toDouble()));
}

QWebEngineView* WebEngineBrowser::view() const
{
    return view_;
}

QWebEnginePage* WebEngineBrowser::page() const
{
    return page_;
}

qint64 WebEngineBrowser::roundTrips() const
{
    return runner_ ? runner_->roundTrips() : 0;
}

void WebEngineBrowser::setCallTimeoutMs(int ms)
{
    ScriptRunner::setTimeoutMs(ms);
}

int WebEngineBrowser::callTimeoutMs()
{
    return ScriptRunner::timeoutMs();
}

QJsonValue WebEngineBrowser::call(const QList<int>& path, qint64 token, const QString& op,
                                  const QJsonValue& argument)
{
    if (!runner_ || page_.isNull())
        throw EngineError(QStringLiteral("the page is gone"));
    QJsonObject request{{QStringLiteral("f"), double(highestNumber_ + 1)},
                        {QStringLiteral("p"), toJson(path)},
                        {QStringLiteral("t"), double(token)}};
    // Queued writes go with this call, whatever its outcome.
    if (!writes_.isEmpty()) {
        request.insert(QStringLiteral("w"), writes_);
        writes_ = QJsonArray();
    }
    if (!op.isEmpty()) {
        request.insert(QStringLiteral("o"), op);
        request.insert(QStringLiteral("a"), argument);
    }

    // run() throws when this browser was destroyed during the wait, so no member is touched.
    QJsonObject reply =
        QJsonDocument::fromJson(runner_->run(callScript(request, {})).toUtf8()).object();
    if (reply.value(QStringLiteral("m")).toBool()) {
        reply = QJsonDocument::fromJson(runner_->run(callScript(request, installScript())).toUtf8())
                    .object();
    }
    highestNumber_ = std::max(highestNumber_, qint64(reply.value(QStringLiteral("n")).toDouble()));
    if (reply.contains(QStringLiteral("e")))
        throw EngineError(reply.value(QStringLiteral("e")).toString());
    if (!reply.contains(QStringLiteral("v")))
        throw EngineError(QStringLiteral("the page gave an unreadable answer"));
    return reply.value(QStringLiteral("v"));
}

void WebEngineBrowser::dropFetch(qint64 id)
{
    // Not waited for: the page may be what failed.
    if (page_) {
        page_->runJavaScript(helperFunctionScript(QStringLiteral("cacheDrop"), {double(id)}, {}),
                             HelperScript::worldId);
    }
}

QString WebEngineBrowser::runHelper(const QString& function, const QJsonArray& arguments)
{
    // run() throws when this browser was destroyed during the wait, so no member is touched.
    QString answer = runner_->run(helperFunctionScript(function, arguments, {}));
    if (answer == QLatin1String("m"))
        answer = runner_->run(helperFunctionScript(function, arguments, installScript()));
    return answer;
}

QString WebEngineBrowser::installScript() const
{
    return HelperScript::source(eagerMaxBytes_) + QStringLiteral("\n;");
}

void WebEngineBrowser::setPingTimeoutMs(int ms)
{
    gPingTimeoutMs = ms;
}

int WebEngineBrowser::pingTimeoutMs()
{
    return gPingTimeoutMs;
}

void WebEngineBrowser::endStuckRenderer()
{
    // Any page may be spinning in its script by now, asked or not: a renderer that has one
    // is pinged. A page that merely loads slowly answers.
    if (!runner_ || page_.isNull() || page_->renderProcessPid() <= 0)
        return;
    const QPointer<WebEngineBrowser> self(this);
    try {
        runner_->run(QStringLiteral("''"), std::min(callTimeoutMs(), gPingTimeoutMs));
        return;
    } catch (const EngineError&) {
    }
    // The renderer may have died or been replaced, or this browser closed, during the check.
    if (self.isNull() || page_.isNull() || !runner_->missedAnswer())
        return;
    qCDebug(lcEngine) << "ending a stuck renderer" << page_->renderProcessPid();
    if (!endProcess(page_->renderProcessPid()))
        return;
    // Loading before the engine noticed would start the next document in the dying renderer
    // and report that renderer's end after the new load began.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(page_, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    connect(page_, &QObject::destroyed, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    timer.start(kEndWaitMs);
    loop.exec();
}

void WebEngineBrowser::queueWrite(const QJsonObject& write)
{
    if (page_.isNull())
        throw EngineError(QStringLiteral("the page is gone"));
    writes_.append(write);
}

QWebEnginePage* WebEngineBrowser::pageForNewWindow(bool userInitiated)
{
    Browser* target = requestNewWindow(userInitiated);
    if (!target)
        return nullptr;
    auto* other = qobject_cast<WebEngineBrowser*>(target);
    // Only another engine browser can take the page; anything else blocks the window.
    if (!other || other == this || !other->page())
        return nullptr;
    return other->page();
}

void WebEngineBrowser::onHelperMessage(const QJsonObject& message)
{
    const QString kind = message.value(QStringLiteral("k")).toString();
    if (kind == QLatin1String("fetched")) {
        if (runner_)
            runner_->notify(qint64(message.value(QStringLiteral("i")).toDouble()));
        return;
    }
    if (kind == QLatin1String("bytes")) {
        receivePushedBytes(message);
        return;
    }
    if (kind == QLatin1String("submit")) {
        if (auto submission = ParseSubmissionMessage(message, this))
            post([this, s = *submission] { Q_EMIT FormSubmitted(s); });
        return;
    }
    if (kind != QLatin1String("load"))
        return;
    const QList<int> path = pathFromJson(message.value(QStringLiteral("p")));
    const QString url = message.value(QStringLiteral("u")).toString();
    qCDebug(lcEngine) << "helper reports" << path << url;
    const qint64 token = tokenFrom(message);
    const std::shared_ptr<CompletedTop> completed =
        path.isEmpty() ? completedTopFrom(message) : nullptr;
    post([this, path, url, token, completed] {
        raiseDocumentComplete(FrameRef(this, path, token), url, completed);
    });
}

std::shared_ptr<CompletedTop> WebEngineBrowser::completedTopFrom(const QJsonObject& message)
{
    if (!message.contains(QStringLiteral("s")))
        return nullptr;
    const QJsonObject top = message.value(QStringLiteral("s")).toObject();
    const qint64 token = tokenFrom(message);
    if (token <= 0)
        return nullptr;
    highestNumber_ =
        std::max(highestNumber_, qint64(message.value(QStringLiteral("n")).toDouble()));
    auto completed = std::make_shared<CompletedTop>();
    completed->token = token;
    completed->frames = top.value(QStringLiteral("c")).toInt();
    for (const QJsonValue& src : top.value(QStringLiteral("i")).toArray())
        completed->images.append(src.toString());
    completed->generation = loadGeneration_;
    if (top.value(QStringLiteral("b")).toBool())
        pushed_.expect(token);
    return completed;
}

void WebEngineBrowser::raiseDocumentComplete(const FrameRef& frame, const QString& url,
                                             const std::shared_ptr<CompletedTop>& completed)
{
    const QPointer<WebEngineBrowser> self(this);
    const std::shared_ptr<CompletedTop> outer = std::exchange(completed_, completed);
    Q_EMIT DocumentComplete(frame, url);
    if (completed)
        completed->current = false;
    if (self)
        completed_ = outer;
}

void WebEngineBrowser::onLoadStarted()
{
    qCDebug(lcEngine) << "load started" << (page_ ? page_->url() : QUrl());
    ++loadGeneration_;
    // Bytes of the document that goes; a save still waiting for them is let go.
    if (const qint64 token = pushed_.expected(); token && runner_)
        runner_->notify(-token);
    pushed_.clear();
    if (runner_)
        runner_->resume();
}

void WebEngineBrowser::onLoadFinished(bool ok)
{
    qCDebug(lcEngine) << "load finished" << ok << (page_ ? page_->url() : QUrl());
    updateBackState();
    if (page_.isNull())
        return;
    // The helper reports the top document when its load event fires. Pages it never ran in
    // (about:blank, error pages, a page the engine did not give it) and pages that erased its
    // listener are completed here.
    const quint64 generation = loadGeneration_;
    QPointer<WebEngineBrowser> self(this);
    const QString claim = installScript() + kHasHelper +
                          QStringLiteral(" ? brackenlyHelper.claimTop() : '{\"h\":false}'");
    page_->runJavaScript(claim, HelperScript::worldId, [self, generation](const QVariant& result) {
        if (self.isNull() || self->page_.isNull() || self->loadGeneration_ != generation)
            return;
        if (result.typeId() != QMetaType::QString)
            return;
        const QJsonObject claim = QJsonDocument::fromJson(result.toString().toUtf8()).object();
        qCDebug(lcEngine) << "top claim" << claim;
        if (!claim.value(QStringLiteral("h")).toBool())
            self->completeTop(self->page_->url().toString(QUrl::FullyEncoded), 0);
        else if (claim.value(QStringLiteral("c")).toBool())
            self->completeTop(claim.value(QStringLiteral("u")).toString(), tokenFrom(claim));
    });
}

void WebEngineBrowser::completeTop(const QString& url, qint64 token)
{
    post([this, url, token] { Q_EMIT DocumentComplete(FrameRef(this, {}, token), url); });
}

void WebEngineBrowser::onRenderProcessTerminated()
{
    qCDebug(lcEngine) << "renderer terminated";
    pushed_.clear();
    if (runner_)
        runner_->suspend(QStringLiteral("the page's renderer has stopped"));
    writes_ = QJsonArray();
    post([this] { Q_EMIT RenderProcessGone(); });
}

void WebEngineBrowser::updateBackState()
{
    if (page_.isNull())
        return;
    const bool canGoBack = page_->history()->canGoBack();
    if (canGoBack == backEnabled_)
        return;
    backEnabled_ = canGoBack;
    post([this, canGoBack] { Q_EMIT CommandStateChange(2, canGoBack); });
}

void WebEngineBrowser::post(std::function<void()> event)
{
    events_.enqueue(std::move(event));
    QMetaObject::invokeMethod(this, &WebEngineBrowser::raiseNext, Qt::QueuedConnection);
}

void WebEngineBrowser::raiseNext()
{
    if (!events_.isEmpty())
        events_.dequeue()();
}

} // namespace brackenly
