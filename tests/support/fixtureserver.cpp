#include "fixtureserver.h"

#include "fixtureroutes.h"
#include "fixtureworker.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace brackenly {

FixtureServer::FixtureServer(QObject* parent)
    : QObject(parent), routes_(std::make_unique<FixtureRoutes>())
{
}

FixtureServer::~FixtureServer()
{
    stop();
}

bool FixtureServer::start()
{
    if (worker_)
        return port_ != 0;
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("FixtureServer"));
    worker_ = new FixtureWorker(routes_.get());
    worker_->moveToThread(thread_.get());
    connect(worker_, &FixtureWorker::requestRecorded, this, &FixtureServer::requestReceived,
            Qt::QueuedConnection);
    thread_->start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        worker_, [this, &port] { port = worker_->listen(); }, Qt::BlockingQueuedConnection);
    port_ = port;
    if (port_ == 0)
        stop();
    return port != 0;
}

void FixtureServer::stop()
{
    if (!worker_)
        return;
    QMetaObject::invokeMethod(
        worker_, [this] { worker_->shutdown(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete worker_;
    worker_ = nullptr;
    thread_.reset();
    port_ = 0;
}

QUrl FixtureServer::url(const QString& path, const QString& host) const
{
    return QUrl(QStringLiteral("http://%1:%2%3").arg(host).arg(port_).arg(path));
}

void FixtureServer::addPage(const QString& path, const QString& html)
{
    routes_->set(path, FixtureResponse::html(html));
}

void FixtureServer::addResource(const QString& path, const QByteArray& bytes,
                                const QByteArray& contentType)
{
    routes_->set(path, FixtureResponse::bytes(bytes, contentType));
}

void FixtureServer::addImage(const QString& path)
{
    routes_->set(path, FixtureResponse::bytes(FixtureResponse::gif(path), "image/gif"));
}

void FixtureServer::addRedirect(const QString& path, const QString& target, int code)
{
    routes_->set(path, FixtureResponse::redirect(target, code));
}

void FixtureServer::setStatus(const QString& path, int code)
{
    routes_->update(path, [code](FixtureResponse& response) {
        if (response.body.isEmpty())
            response.body = FixtureResponse::error(code).body;
        response.status = code;
    });
}

void FixtureServer::stall(const QString& path)
{
    routes_->update(path, [](FixtureResponse& response) {
        response.delivery = FixtureResponse::Delivery::Stall;
    });
}

void FixtureServer::dropMidway(const QString& path, const QByteArray& bytes,
                               const QByteArray& contentType)
{
    FixtureResponse response = FixtureResponse::bytes(bytes, contentType);
    response.delivery = FixtureResponse::Delivery::DropMidway;
    routes_->set(path, response);
}

void FixtureServer::setDelay(const QString& path, int ms)
{
    routes_->update(path, [ms](FixtureResponse& response) { response.delayMs = ms; });
}

void FixtureServer::addHeader(const QString& path, const QByteArray& name, const QByteArray& value)
{
    routes_->update(path, [&](FixtureResponse& response) {
        response.headers.append({name, value});
    });
}

void FixtureServer::setResponse(const QString& path, const FixtureResponse& response)
{
    routes_->set(path, response);
}

void FixtureServer::setHandler(const QString& path, Handler handler)
{
    routes_->setHandler(path, std::move(handler));
}

void FixtureServer::removeRoute(const QString& path)
{
    routes_->remove(path);
}

FixtureServer::Gallery FixtureServer::addGallerySite(int images, int linkedPages, int imagesPerPage,
                                                     const QString& prefix)
{
    Gallery gallery;
    gallery.indexPath = prefix + QStringLiteral("/index.html");
    QString index = QStringLiteral("<html><head><title>Gallery</title></head><body>\n");
    for (int i = 0; i < images; ++i) {
        const QString image = prefix + QStringLiteral("/img/i%1.gif").arg(i);
        addImage(image);
        gallery.indexImages << image;
        index += QStringLiteral("<img src=\"%1\">\n").arg(image);
    }
    for (int p = 0; p < linkedPages; ++p) {
        const QString page = prefix + QStringLiteral("/page%1.html").arg(p);
        gallery.pagePaths << page;
        index += QStringLiteral("<a href=\"%1\">Page %2</a>\n").arg(page).arg(p);
        QString html = QStringLiteral("<html><head><title>Page %1</title></head><body>\n").arg(p);
        for (int i = 0; i < imagesPerPage; ++i) {
            const QString image = prefix + QStringLiteral("/img/p%1-%2.gif").arg(p).arg(i);
            addImage(image);
            gallery.pageImages << image;
            html += QStringLiteral("<img src=\"%1\">\n").arg(image);
        }
        addPage(page, html + QStringLiteral("</body></html>\n"));
    }
    addPage(gallery.indexPath, index + QStringLiteral("</body></html>\n"));
    return gallery;
}

QList<FixtureRequest> FixtureServer::requests() const
{
    return routes_->requests();
}

QList<FixtureRequest> FixtureServer::requestsFor(const QString& path) const
{
    QList<FixtureRequest> result;
    for (const FixtureRequest& request : routes_->requests()) {
        if (request.path == path)
            result.append(request);
    }
    return result;
}

int FixtureServer::requestCount(const QString& path) const
{
    return routes_->count(path);
}

int FixtureServer::totalRequests() const
{
    return int(routes_->requests().size());
}

void FixtureServer::clearRequests()
{
    routes_->clear();
}

bool FixtureServer::waitForRequest(const QString& path, int timeoutMs)
{
    return waitForRequests(path, 1, timeoutMs);
}

bool FixtureServer::waitForRequests(const QString& path, int count, int timeoutMs)
{
    if (routes_->count(path) >= count)
        return true;
    if (!worker_)
        return false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    // Connected before the count is read again, so a request in between still wakes us.
    connect(worker_, &FixtureWorker::requestRecorded, &loop, &QEventLoop::quit);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QDeadlineTimer deadline(timeoutMs);
    while (routes_->count(path) < count) {
        if (deadline.hasExpired())
            return false;
        timer.start(int(std::max<qint64>(1, deadline.remainingTime())));
        loop.exec();
    }
    return true;
}

} // namespace brackenly
