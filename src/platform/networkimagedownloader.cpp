#include "networkimagedownloader.h"

#include "browser.h"
#include "imagecookies.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <limits>
#include <memory>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace brackenly {

namespace {

const QByteArray kAccept = "image/avif,image/webp,image/apng,image/svg+xml,image/*,*/*;q=0.8";

// Something (a file, a folder, even a dangling link) already has this name.
bool occupied(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Moves `from` to `to` only when nothing has that name, without a window in which a file
// that appears meanwhile could be replaced.
bool moveWithoutReplacing(const QString& from, const QString& to)
{
#if defined(Q_OS_UNIX)
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#if defined(Q_OS_LINUX) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
#endif
    // A new hard link fails when the name is taken, as the rename above does.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    // A file system without hard links: the best left is a check right before the rename.
    if (occupied(to))
        return false;
    return ::rename(source.constData(), target.constData()) == 0;
#else
    // Without the replace flag the system's move refuses an existing target.
    return !occupied(to) && QFile::rename(from, to);
#endif
}

} // namespace

// The file a download is written to: a hidden, uniquely named file in the target folder,
// removed again unless it was moved into place.
class NetworkImageDownloader::PartFile
{
public:
    explicit PartFile(const QString& folder)
    {
        const QDir dir(folder);
        for (int attempt = 0; attempt < 8; ++attempt) {
            const QString name =
                QStringLiteral(".brackenly-%1.part")
                    .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
            file_.setFileName(dir.filePath(name));
            // NewOnly: never open a file somebody else made; the mode follows the umask.
            if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                created_ = true;
                return;
            }
            if (!occupied(file_.fileName())) {
                // The folder refuses new files; another name will not help.
                refusal_ = file_.errorString();
                return;
            }
        }
    }
    ~PartFile()
    {
        if (file_.isOpen())
            file_.close();
        if (created_ && !committed_)
            QFile::remove(file_.fileName());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool isOpen() const { return file_.isOpen() && !failed_; }
    qint64 size() const { return size_; }
    // Why the folder took no file or not all of its bytes; "" when it did.
    const QString& refusal() const { return refusal_; }

    bool write(const QByteArray& bytes)
    {
        if (!isOpen())
            return false;
        if (file_.write(bytes) != bytes.size())
            fail();
        else
            size_ += bytes.size();
        return !failed_;
    }

    // Completes the file and gives it its name; false when the name is taken or the data
    // could not be written in full (a full disk shows here at the latest).
    bool commit(const QString& target)
    {
        if (!isOpen())
            return false;
        if (!file_.flush()) {
            fail();
            return false;
        }
        file_.close();
        if (file_.error() != QFileDevice::NoError) {
            fail();
            return false;
        }
        committed_ = moveWithoutReplacing(file_.fileName(), target);
        return committed_;
    }

private:
    void fail()
    {
        failed_ = true;
        refusal_ = file_.errorString();
    }

    QFile file_;
    QString refusal_;
    qint64 size_ = 0;
    bool created_ = false;
    bool failed_ = false;
    bool committed_ = false;
};

namespace {

bool isSuccess(const QNetworkReply& reply, const QUrl& url)
{
    if (reply.error() != QNetworkReply::NoError)
        return false;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return url.scheme() == QLatin1String("data");
    const int code = status.toInt();
    return code >= 200 && code <= 299;
}

// The target of a redirect answer; an empty address when the answer is none.
QUrl redirectTarget(const QNetworkReply& reply)
{
    const int code = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (code != 301 && code != 302 && code != 303 && code != 307 && code != 308)
        return {};
    const QUrl location = reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    return location.isEmpty() ? QUrl() : reply.url().resolved(location);
}

bool isWebScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

int defaultPort(const QUrl& url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

} // namespace

// A download in progress, as abort() reaches it.
struct NetworkImageDownloader::Active
{
    bool aborted = false;
    std::function<void()> stop; // ends the request in flight
};

NetworkImageDownloader::NetworkImageDownloader(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)), userAgent_(defaultUserAgent())
{
    // Redirects are followed here, hop by hop, with each hop's own cookies.
    network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

NetworkImageDownloader::~NetworkImageDownloader() = default;

void NetworkImageDownloader::setTimeoutMs(int ms)
{
    timeoutMs_ = qMax(1, ms);
}

void NetworkImageDownloader::setMaxImageBytes(qint64 bytes)
{
    maxImageBytes_ = qMax<qint64>(1, bytes);
}

void NetworkImageDownloader::setCookieJar(QNetworkCookieJar* jar)
{
    // Kept apart from the network object: every request gets its cookies by hand.
    if (jar)
        jar->setParent(this);
    if (cookieJar_ != jar)
        delete cookieJar_;
    cookieJar_ = jar;
}

QNetworkCookieJar* NetworkImageDownloader::cookieJar() const
{
    return cookieJar_;
}

void NetworkImageDownloader::abort(const QString& path)
{
    if (Active* active = active_.value(path)) {
        active->aborted = true;
        if (active->stop)
            active->stop();
    }
}

bool NetworkImageDownloader::download(const QString& src, const QString& path, Browser* page)
{
    const QUrl url(src.trimmed());
    if (!isFetchable(url))
        return false;
    const QFileInfo target(path);
    if (path.isEmpty() || target.fileName().isEmpty() || occupied(path) || active_.contains(path))
        return false;
    const QString folder = target.absolutePath();
    // A folder removed before or during a run refuses every file, as a full one does.
    if (!QFileInfo(folder).isDir())
        return refused(QStringLiteral("it does not exist"), folder);

    Active active;
    active_.insert(path, &active);
    struct Release
    {
        QHash<QString, Active*>& active;
        const QString& path;
        ~Release() { active.remove(path); }
    } release{active_, path};

    // The page may be closed while the engine or the network is waited for.
    const QPointer<Browser> livePage(page);
    // The address of the page showing the image, which its cookies and Referer go by; none
    // when no page asked (then it is like an address typed by the user).
    std::optional<QUrl> pageUrl;
    if (livePage) {
        QByteArray bytes;
        if (livePage == preparedPage_)
            bytes = prepared_.take(src);
        if (bytes.isEmpty() && cachedBytes_) {
            try {
                bytes = cachedBytes_(livePage.data(), {src}, maxImageBytes_).value(src);
            } catch (const std::exception&) {
                bytes.clear();
            }
        }
        if (active.aborted || bytes.size() > maxImageBytes_)
            return false;
        // An empty answer is no image: storing it would block the real one for good.
        if (!bytes.isEmpty()) {
            PartFile part(folder);
            if (part.write(bytes) && part.commit(path))
                return true;
            return refused(part.refusal(), folder);
        }
        if (occupied(path))
            return false;
        // Asked only now: reading it is a round trip to a page that may be busy loading the
        // next document, and bytes the page had need no address. A page gone meanwhile
        // leaves an empty one, which is no site's.
        pageUrl = livePage ? pageAddress(livePage.data()) : QUrl();
    }

    // Made before the request: a folder that takes no files costs no request.
    PartFile part(folder);
    if (!part.isOpen())
        return refused(part.refusal(), folder);
    if (!fetchInto(url, pageUrl, part, active) || part.size() == 0)
        return refused(part.refusal(), folder);
    return part.commit(path) || refused(part.refusal(), folder);
}

bool NetworkImageDownloader::fetchInto(QUrl url, const std::optional<QUrl>& pageUrl, PartFile& part,
                                       Active& active)
{
    const QDeadlineTimer deadline(timeoutMs_);
    for (int hop = 0; hop <= MaxRedirects; ++hop) {
        const QNetworkRequest request = makeRequest(url, pageUrl);
        std::unique_ptr<QNetworkReply> reply(network_->get(request));
        bool failed = false;
        bool redirect = false;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        const auto fail = [&] {
            failed = true;
            reply->abort();
        };
        active.stop = fail;
        QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
            redirect = !redirectTarget(*reply).isEmpty();
            // Announced too big: not a byte more of it is fetched.
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (!redirect && length.isValid() && length.toLongLong() > maxImageBytes_)
                fail();
        });
        QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
            if (failed)
                return;
            const QByteArray bytes = reply->readAll();
            if (redirect)
                return; // a redirect's own body is not the image
            // Too big, or a full disk or a folder gone: stop fetching what we cannot keep.
            if (part.size() + bytes.size() > maxImageBytes_ || !part.write(bytes))
                fail();
        });
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, fail);
        timer.start(int(qMax<qint64>(1, deadline.remainingTime())));
        if (!reply->isFinished())
            loop.exec();
        timer.stop();
        active.stop = nullptr;
        if (!reply->isFinished())
            fail(); // the loop was ended from outside (the application is quitting)
        if (failed || active.aborted)
            return false;
        keepCookies(*reply, url, pageUrl);
        const QUrl next = redirectTarget(*reply);
        if (next.isEmpty()) {
            if (!isSuccess(*reply, url))
                return false;
            // A body cut short (Content-Length not reached, a chunk missing) ends in an error
            // above.
            const QByteArray rest = reply->readAll();
            return rest.isEmpty() ||
                   (part.size() + rest.size() <= maxImageBytes_ && part.write(rest));
        }
        // As the engine: never from https down to http, never to anything but the web.
        const bool downgrade =
            url.scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https");
        if (downgrade || !isWebScheme(next.scheme()) || next.host().isEmpty())
            return false;
        url = next;
    }
    return false;
}

QNetworkRequest NetworkImageDownloader::makeRequest(const QUrl& url,
                                                    const std::optional<QUrl>& pageUrl) const
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // Only the cookies chosen below go out, and answers' cookies go nowhere by themselves.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
    request.setRawHeader("Accept", kAccept);
    if (pageUrl) {
        const QByteArray referer = refererFor(*pageUrl, url);
        if (!referer.isEmpty())
            request.setRawHeader("Referer", referer);
    }
    if (cookieJar_ && isWebScheme(url.scheme())) {
        const bool sameSite = !pageUrl || IsSameSite(*pageUrl, url);
        const QList<QNetworkCookie> cookies =
            CookiesForImage(cookieJar_->cookiesForUrl(url), sameSite);
        if (!cookies.isEmpty())
            request.setHeader(QNetworkRequest::CookieHeader, QVariant::fromValue(cookies));
    }
    return request;
}

void NetworkImageDownloader::keepCookies(const QNetworkReply& reply, const QUrl& url,
                                         const std::optional<QUrl>& pageUrl)
{
    // An image of another site must not change the user's session on that site.
    if (!cookieJar_ || (pageUrl && !IsSameSite(*pageUrl, url)))
        return;
    const auto cookies =
        reply.header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    if (!cookies.isEmpty())
        cookieJar_->setCookiesFromUrl(cookies, url);
}

bool NetworkImageDownloader::refused(const QString& reason, const QString& folder) const
{
    if (!reason.isEmpty())
        reportFolderRefused(folder, reason);
    return false;
}

bool NetworkImageDownloader::prepare(const QStringList& srcs, Browser* page)
{
    // Whatever an earlier page left unused goes: only one document is harvested at a time.
    prepared_.clear();
    preparedPage_ = nullptr;
    if (!cachedBytes_ || !page || srcs.isEmpty())
        return false;
    const QPointer<Browser> livePage(page);
    QHash<QString, QByteArray> found;
    try {
        found = cachedBytes_(page, srcs, MaxPreparedBytes);
    } catch (const std::exception&) {
        return false;
    }
    if (!livePage)
        return false;
    preparedPage_ = livePage;
    prepared_ = std::move(found);
    return std::all_of(srcs.cbegin(), srcs.cend(),
                       [this](const QString& src) { return prepared_.contains(src); });
}

QUrl NetworkImageDownloader::pageAddress(Browser* page)
{
    try {
        const std::shared_ptr<Document> document = page->document();
        return document ? QUrl(document->url()) : QUrl();
    } catch (const std::exception&) {
        return {};
    }
}
bool NetworkImageDownloader::isFetchable(const QUrl& url)
{
    if (!url.isValid())
        return false;
    if (isWebScheme(url.scheme()))
        return !url.host().isEmpty();
    return url.scheme() == QLatin1String("data");
}

QByteArray NetworkImageDownloader::refererFor(const QUrl& pageUrl, const QUrl& target)
{
    if (!pageUrl.isValid() || !isWebScheme(pageUrl.scheme()) || pageUrl.host().isEmpty())
        return {};
    if (pageUrl.scheme() == QLatin1String("https") && target.scheme() != QLatin1String("https"))
        return {};
    const QUrl page = pageUrl.adjusted(QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    const bool sameOrigin = page.scheme() == target.scheme() && page.host() == target.host() &&
                            page.port(defaultPort(page)) == target.port(defaultPort(target));
    if (sameOrigin)
        return page.toEncoded();
    return page.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toEncoded() + '/';
}

QByteArray NetworkImageDownloader::defaultUserAgent()
{
#if defined(Q_OS_WIN)
    const QByteArray platform = "Windows NT 10.0; Win64; x64";
#elif defined(Q_OS_MACOS)
    const QByteArray platform = "Macintosh; Intel Mac OS X 10_15_7";
#else
    const QByteArray platform = "X11; Linux x86_64";
#endif
    return "Mozilla/5.0 (" + platform +
           ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/102.0.0.0 Safari/537.36 Brackenly/" +
           QByteArray(BRACKENLY_VERSION_TEXT);
}

} // namespace brackenly
