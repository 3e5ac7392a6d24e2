// WebEngineBrowser: the bytes of images its page loaded, from what the page sent by itself
// or from the engine's cache.

#include "engineerror.h"
#include "enginelog.h"
#include "scriptrunner.h"
#include "webenginebrowser.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QWebEnginePage>

namespace brackenly {

namespace {

qint64 gMaxCachedBytes = 50 * 1024 * 1024;

} // namespace

std::optional<QByteArray> WebEngineBrowser::cachedBytes(const QString& src)
{
    const QHash<QString, QByteArray> found = cachedBytes(QStringList{src}, gMaxCachedBytes);
    const auto it = found.constFind(src);
    return it == found.constEnd() ? std::nullopt : std::optional<QByteArray>(*it);
}

QHash<QString, QByteArray> WebEngineBrowser::cachedBytes(const QStringList& srcs, qint64 maxTotal)
{
    QHash<QString, QByteArray> found;
    QStringList wanted;
    for (const QString& src : srcs) {
        const QUrl url(src);
        const QString scheme = url.scheme();
        if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
            wanted.append(src);
    }
    if (!runner_ || page_.isNull() || wanted.isEmpty())
        return found;

    const qint64 id = ++lastFetch_;
    const QPointer<WebEngineBrowser> self(this);
    bool started = false;
    try {
        // What the page sent by itself comes first; the rest is asked for.
        found = takePushedBytes(wanted, maxTotal);
        for (auto it = found.constBegin(); it != found.constEnd(); ++it) {
            wanted.removeAll(it.key());
            maxTotal -= it->size();
        }
        if (wanted.isEmpty() || maxTotal <= 0)
            return found;
        // The helper keeps the outcome and reports when every fetch has settled; the bytes
        // are taken in one more round trip.
        started = runHelper(QStringLiteral("cacheFetch"),
                            {double(id), QJsonArray::fromStringList(wanted),
                             double(gMaxCachedBytes), double(maxTotal)}) == QLatin1String("ok");
        if (!started)
            return found;
        runner_->await(id);
        started = false; // taking it ends it, whatever the answer
        const QString taken = runHelper(QStringLiteral("cacheTake"), {double(id)});
        if (!taken.startsWith(QLatin1String("j:")))
            return found;
        found.insert(DecodeImageBytes(
            QJsonDocument::fromJson(QStringView(taken).mid(2).toUtf8()).object(), gMaxCachedBytes));
        return found;
    } catch (const EngineError& error) {
        qCDebug(lcEngine) << "no cached bytes for" << srcs.size() << "addresses:" << error.what();
    }
    // A fetch given up on is stopped without waiting for the page again.
    if (started && self)
        dropFetch(id);
    return found;
}

QHash<QString, QByteArray> WebEngineBrowser::takePushedBytes(const QStringList& srcs,
                                                             qint64 maxTotal)
{
    if (const qint64 token = pushed_.expected()) {
        // The helper reports within a moment of the load event.
        const QPointer<WebEngineBrowser> self(this);
        try {
            runner_->await(-token);
        } catch (const EngineError&) {
            if (self)
                pushed_.clear();
            throw;
        }
        if (pushed_.expected() == token)
            pushed_.clear(); // let go of (the page's next load): a late report is dropped
    }
    return pushed_.take(srcs, maxTotal);
}

void WebEngineBrowser::receivePushedBytes(const QJsonObject& message)
{
    const qint64 token = qint64(message.value(QStringLiteral("t")).toDouble());
    if (pushed_.receive(token, message.value(QStringLiteral("b")).toObject(), gMaxCachedBytes) &&
        runner_)
        runner_->notify(-token); // pushed reports wait under the negated token
}

QHash<QString, QByteArray> WebEngineBrowser::cachedBytesOf(Browser* page, const QStringList& srcs,
                                                           qint64 maxTotal)
{
    auto* browser = qobject_cast<WebEngineBrowser*>(page);
    return browser ? browser->cachedBytes(srcs, maxTotal) : QHash<QString, QByteArray>();
}

void WebEngineBrowser::setMaxCachedBytes(qint64 bytes)
{
    gMaxCachedBytes = bytes;
}

qint64 WebEngineBrowser::maxCachedBytes()
{
    return gMaxCachedBytes;
}

} // namespace brackenly
