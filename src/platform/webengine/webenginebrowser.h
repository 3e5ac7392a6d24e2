#pragma once

#include "browser.h"
#include "pushedimages.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QWebEnginePage;
class QWebEngineView;

namespace brackenly {

class BrowserPage;
struct CompletedTop;
class ScriptRunner;

// The browser control on Qt WebEngine: a view with its own page on the shared profile.
// The document model is read and written by the helper script in its isolated world; each
// call is one round trip that returns synchronously (see ScriptRunner).
class WebEngineBrowser : public Browser
{
    Q_OBJECT
public:
    // The browser and its view are both children of parent; deleting the browser deletes the
    // view, deleting the view leaves a browser whose calls fail.
    explicit WebEngineBrowser(QWidget* parent = nullptr);
    ~WebEngineBrowser() override;

    QWidget* widget() override;
    // Both first end a renderer that does not answer a ping (see endStuckRenderer()).
    void Navigate(const QString& url) override;
    void GoBack() override;
    void setSilent(bool silent) override;
    bool silent() const override;
    void setPrefetchImages(bool on) override;
    void setRegisterAsBrowser(bool on) override { registerAsBrowser_ = on; }
    bool registerAsBrowser() const { return registerAsBrowser_; }
    std::shared_ptr<brackenly::Document> documentAt(const QList<int>& path,
                                                    qint64 identity = 0) override;

    QWebEngineView* view() const;
    QWebEnginePage* page() const;
    // Document-model round trips made so far (the page's own bookkeeping excluded).
    qint64 roundTrips() const;
    // Counts the loads started; a document of an earlier load is gone.
    quint64 loadGeneration() const { return loadGeneration_; }

    // The bytes of an http(s) address as the top document's cache holds them (an image the
    // page loaded), waiting like a document-model call. Nothing when the engine cannot give
    // them without asking the server again or cannot show them to us (cross-origin without
    // CORS), when the answer was not a success, was empty or was larger than
    // maxCachedBytes(), and on every failure.
    std::optional<QByteArray> cachedBytes(const QString& src);
    // The same for many addresses in one fetch: those the cache gives, up to `maxTotal`
    // bytes together; the rest are left out. A prefetching page (setPrefetchImages) sends
    // the bytes of its top document's images by itself after its load event: those are
    // taken first, without a round trip.
    QHash<QString, QByteArray> cachedBytes(const QStringList& srcs, qint64 maxTotal);
    // cachedBytes() of any browser; nothing for one of another engine.
    static QHash<QString, QByteArray> cachedBytesOf(brackenly::Browser* page,
                                                    const QStringList& srcs, qint64 maxTotal);
    // Larger answers are left to the network download; process-wide.
    static void setMaxCachedBytes(qint64 bytes);
    static qint64 maxCachedBytes();

    // How long a document-model call waits for the page before it fails; process-wide.
    static void setCallTimeoutMs(int ms);
    static int callTimeoutMs();
    // How long the renderer gets to answer before a navigation ends it; process-wide.
    static void setPingTimeoutMs(int ms);
    static int pingTimeoutMs();

    // For WebEngineDocument: one round trip carrying the queued writes and, when op is not
    // empty, one operation on the document at path whose identity is token (0: any).
    QJsonValue call(const QList<int>& path, qint64 token, const QString& op,
                    const QJsonValue& argument = QJsonValue());
    void queueWrite(const QJsonObject& write);
    bool hasQueuedWrites() const { return !writes_.isEmpty(); }

private:
    QWebEnginePage* pageForNewWindow(bool userInitiated);
    void onHelperMessage(const QJsonObject& message);
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void onRenderProcessTerminated();
    // Before a navigation: when a trivial script gets no answer in pingTimeoutMs(), the
    // renderer is stuck in the page's script and would never commit the next document of this
    // site. It is ended (RenderProcessGone follows) so the navigation gets a fresh one.
    void endStuckRenderer();
    QString runHelper(const QString& function, const QJsonArray& arguments);
    // The helper, to put in front of a call where the engine did not install it.
    QString installScript() const;
    void updateBackState();
    void completeTop(const QString& url, qint64 token);
    // The completion of the top document as the helper of a prefetching page reported it;
    // null when the report carried none or its token may have been handed out before.
    std::shared_ptr<CompletedTop> completedTopFrom(const QJsonObject& message);
    void raiseDocumentComplete(const FrameRef& frame, const QString& url,
                               const std::shared_ptr<CompletedTop>& completed);
    QHash<QString, QByteArray> takePushedBytes(const QStringList& srcs, qint64 maxTotal);
    void receivePushedBytes(const QJsonObject& message);
    void dropFetch(qint64 id);
    // Browser events are raised from the event loop, in the order they happened, never from
    // inside the engine's own callbacks.
    void post(std::function<void()> event);
    void raiseNext();

    QPointer<QWebEngineView> view_;
    QPointer<BrowserPage> page_;
    ScriptRunner* runner_ = nullptr;
    QJsonArray writes_;
    qint64 highestNumber_ = 0;
    qint64 lastFetch_ = 0;
    qint64 eagerMaxBytes_ = 0; // the helper's, see setPrefetchImages()
    quint64 loadGeneration_ = 0;
    bool backEnabled_ = false;
    bool registerAsBrowser_ = false;
    QQueue<std::function<void()>> events_;
    PushedImages pushed_;
    // Set while the DocumentComplete it belongs to is raised.
    std::shared_ptr<CompletedTop> completed_;
};

} // namespace brackenly
