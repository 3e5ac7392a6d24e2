#pragma once

#include "imagedownloader.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkCookieJar;
class QNetworkReply;
class QNetworkRequest;

namespace brackenly {

// Downloads one image address into one file over Qt Network (so it follows the process
// proxy), waiting in a nested event loop. The file is written under a temporary name in
// the target folder and moved into place only when complete; an existing file is never
// replaced and a failed download leaves nothing behind. An image over the byte cap (as
// announced or as streamed) is not stored. Requests carry only the cookies the engine would
// send for the image from its page, and only answers of the page's own site set cookies.
class NetworkImageDownloader : public QObject, public ImageDownloader
{
    Q_OBJECT
public:
    // The bytes of those of `srcs` the page showing them already holds, up to `maxTotal`
    // bytes together; the others are left out and the network is used for them. Called only
    // with a live page; may wait on the engine and may throw (both fall back to the network).
    using CachedBytes = std::function<QHash<QString, QByteArray>(
        Browser* page, const QStringList& srcs, qint64 maxTotal)>;

    static constexpr int DefaultTimeoutMs = 30000;
    static constexpr int MaxRedirects = 20;
    static constexpr qint64 DefaultMaxImageBytes = 64 * 1024 * 1024;

    explicit NetworkImageDownloader(QObject* parent = nullptr);
    ~NetworkImageDownloader() override;

    bool download(const QString& src, const QString& path, Browser* page) override;
    // Takes the bytes of `srcs` from the page's cache in one go; download() uses them.
    bool prepare(const QStringList& srcs, Browser* page) override;
    void abort(const QString& path) override;
    // How many bytes prepare() keeps at most.
    static constexpr qint64 MaxPreparedBytes = 32 * 1024 * 1024;

    // The whole download, redirects included, must end within this time (at least 1 ms).
    void setTimeoutMs(int ms);
    int timeoutMs() const { return timeoutMs_; }
    // The largest image stored, in bytes (at least 1).
    void setMaxImageBytes(qint64 bytes);
    qint64 maxImageBytes() const { return maxImageBytes_; }

    // The jar whose cookies go with each request (as the engine would send them) and which
    // keeps the cookies that answers of the page's own site set. Ownership passes to the
    // downloader.
    void setCookieJar(QNetworkCookieJar* jar);
    QNetworkCookieJar* cookieJar() const;

    void setUserAgent(const QByteArray& userAgent) { userAgent_ = userAgent; }
    QByteArray userAgent() const { return userAgent_; }

    void setCachedBytes(CachedBytes cachedBytes) { cachedBytes_ = std::move(cachedBytes); }

    // Only http, https and data addresses are fetched: a page must not get local files
    // (file:, qrc: ...) copied into the image folder.
    static bool isFetchable(const QUrl& url);
    // The Referer a browser sends by default for `target` from a page at `pageUrl`: the
    // whole address on the same origin, the origin alone across origins, nothing from https
    // to http or from a page that is not http(s).
    static QByteArray refererFor(const QUrl& pageUrl, const QUrl& target);
    static QByteArray defaultUserAgent();

private:
    class PartFile;
    struct Active;

    // The top document's address of a live page; empty when it has none.
    static QUrl pageAddress(Browser* page);
    // Fetches url, following redirects, into part. pageUrl: the page showing the image, if
    // any; it decides the cookies and the Referer of every hop.
    bool fetchInto(QUrl url, const std::optional<QUrl>& pageUrl, PartFile& part, Active& active);
    QNetworkRequest makeRequest(const QUrl& url, const std::optional<QUrl>& pageUrl) const;
    void keepCookies(const QNetworkReply& reply, const QUrl& url,
                     const std::optional<QUrl>& pageUrl);
    // Reports the folder when it refused the file (a reason is given); always false.
    bool refused(const QString& reason, const QString& folder) const;

    QNetworkAccessManager* network_ = nullptr;
    QNetworkCookieJar* cookieJar_ = nullptr; // a child of this
    QHash<QString, Active*> active_; // by target path
    int timeoutMs_ = DefaultTimeoutMs;
    qint64 maxImageBytes_ = DefaultMaxImageBytes;
    QByteArray userAgent_;
    CachedBytes cachedBytes_;
    // What prepare() took, for one page, until download() asks for it.
    QPointer<Browser> preparedPage_;
    QHash<QString, QByteArray> prepared_;
};

} // namespace brackenly
