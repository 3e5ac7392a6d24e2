#include "networkimagedownloader.h"

#include "browser.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
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

// The file a download is written to: a hidden, uniquely named file in the target folder,
// removed again unless it was moved into place.
class PartFile
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

// Streams the answer into `part`; true when it arrived whole and the server said yes.
bool fetchInto(QNetworkAccessManager& network, const QNetworkRequest& request, int timeoutMs,
               PartFile& part)
{
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    bool failed = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);

    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (!failed && !part.write(reply->readAll())) {
            failed = true; // a full disk or a folder gone: stop fetching what we cannot keep
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        failed = true;
        reply->abort();
    });

    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    deadline.stop();
    if (!reply->isFinished()) {
        // The loop was ended from outside (the application is quitting).
        failed = true;
        reply->abort();
    }
    if (failed || !isSuccess(*reply, request.url()))
        return false;
    // A body cut short (Content-Length not reached, a chunk missing) ends in an error above;
    // the reply's own Content-Length is not compared since after a redirect it may still
    // be the redirect's.
    return reply->bytesAvailable() == 0 || part.write(reply->readAll());
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

NetworkImageDownloader::NetworkImageDownloader(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)), userAgent_(defaultUserAgent())
{
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

NetworkImageDownloader::~NetworkImageDownloader() = default;

void NetworkImageDownloader::setTimeoutMs(int ms)
{
    timeoutMs_ = qMax(1, ms);
}

void NetworkImageDownloader::setCookieJar(QNetworkCookieJar* jar)
{
    network_->setCookieJar(jar);
}

QNetworkCookieJar* NetworkImageDownloader::cookieJar() const
{
    return network_->cookieJar();
}

bool NetworkImageDownloader::download(const QString& src, const QString& path, Browser* page)
{
    const QUrl url(src.trimmed());
    if (!isFetchable(url))
        return false;
    const QFileInfo target(path);
    if (path.isEmpty() || target.fileName().isEmpty() || occupied(path))
        return false;
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir())
        return false;

    // The page may be closed while the engine or the network is waited for.
    const QPointer<Browser> livePage(page);
    if (livePage) {
        QByteArray bytes;
        if (livePage == preparedPage_)
            bytes = prepared_.take(src);
        if (bytes.isEmpty() && cachedBytes_) {
            try {
                bytes = cachedBytes_(livePage.data(), {src}, std::numeric_limits<qint64>::max())
                            .value(src);
            } catch (const std::exception&) {
                bytes.clear();
            }
        }
        // An empty answer is no image: storing it would block the real one for good.
        if (!bytes.isEmpty()) {
            PartFile part(folder);
            if (part.write(bytes) && part.commit(path))
                return true;
            return refused(part.refusal(), folder);
        }
        if (occupied(path))
            return false;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
    request.setRawHeader("Accept", kAccept);
    const QByteArray referer = pageReferer(livePage.data(), url);
    if (!referer.isEmpty())
        request.setRawHeader("Referer", referer);

    // Made before the request: a folder that takes no files costs no request.
    PartFile part(folder);
    if (!part.isOpen())
        return refused(part.refusal(), folder);
    if (!fetchInto(*network_, request, timeoutMs_, part) || part.size() == 0)
        return refused(part.refusal(), folder);
    return part.commit(path) || refused(part.refusal(), folder);
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

QByteArray NetworkImageDownloader::pageReferer(Browser* page, const QUrl& target) const
{
    if (!page)
        return {};
    try {
        const std::shared_ptr<Document> document = page->document();
        return document ? refererFor(QUrl(document->url()), target) : QByteArray();
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
