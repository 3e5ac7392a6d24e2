#include "fixtureserver.h"

#include "fixtureconnection.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutexLocker>
#include <QSslKey>
#include <QSslServer>
#include <QThread>
#include <QTimer>
#include <exception>

namespace brackenly {

namespace {

QSslConfiguration tlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const QString dir = QStringLiteral(BRACKENLY_FIXTURE_TLS_DIR);
    configuration.setLocalCertificate(QSslCertificate::fromPath(dir + "/fixture-cert.pem")[0]);
    QFile key(dir + "/fixture-key.pem");
    if (key.open(QIODevice::ReadOnly))
        configuration.setPrivateKey(QSslKey(&key, QSsl::Rsa));
    return configuration;
}

} // namespace

FixtureServer::FixtureServer(QObject* parent) : QObject(parent) {}

FixtureServer::~FixtureServer()
{
    stop();
}

bool FixtureServer::start(bool tls)
{
    if (thread_)
        return port_ != 0;
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("FixtureServer"));
    tls_ = tls;
    if (tls) {
        // Its connections arrive once the handshake is through.
        auto* secure = new QSslServer;
        secure->setSslConfiguration(tlsConfiguration());
        listener_ = secure;
    } else {
        listener_ = new QTcpServer;
    }
    listener_->setMaxPendingConnections(256);
    listener_->moveToThread(thread_.get());
    connect(listener_, &QTcpServer::pendingConnectionAvailable, listener_, [this] {
        while (QTcpSocket* socket = listener_->nextPendingConnection())
            new FixtureConnection(socket, this, listener_);
    });
    thread_->start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        listener_,
        [this, &port] {
            if (listener_->listen(QHostAddress::LocalHost, 0))
                port = listener_->serverPort();
        },
        Qt::BlockingQueuedConnection);
    port_ = port;
    if (port_ == 0)
        stop();
    return port != 0;
}

void FixtureServer::stop()
{
    if (!thread_)
        return;
    // The sockets go in their own thread.
    QMetaObject::invokeMethod(
        listener_,
        [this] {
            listener_->close();
            qDeleteAll(listener_->findChildren<FixtureConnection*>(Qt::FindDirectChildrenOnly));
        },
        Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete listener_;
    listener_ = nullptr;
    thread_.reset();
    port_ = 0;
}

QUrl FixtureServer::url(const QString& path, const QString& host) const
{
    return QUrl(
        QStringLiteral("%1://%2:%3%4").arg(tls_ ? "https" : "http", host).arg(port_).arg(path));
}

void FixtureServer::set(const QString& path, const FixtureResponse& response)
{
    update(path, [&](Route& route) { route = {response, {}}; });
}

QList<FixtureRequest> FixtureServer::requestsFor(const QString& path) const
{
    QMutexLocker lock(&mutex_);
    QList<FixtureRequest> result;
    for (const FixtureRequest& request : requests_) {
        if (request.path == path)
            result.append(request);
    }
    return result;
}

int FixtureServer::totalRequests() const
{
    QMutexLocker lock(&mutex_);
    return int(requests_.size());
}

void FixtureServer::clearRequests()
{
    QMutexLocker lock(&mutex_);
    requests_.clear();
}

bool FixtureServer::waitForRequest(const QString& path, int timeoutMs)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    // Connected before the count is read, so a request in between still wakes us.
    connect(this, &FixtureServer::requestReceived, &loop, &QEventLoop::quit);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QDeadlineTimer deadline(timeoutMs);
    while (requestCount(path) == 0) {
        if (!thread_ || deadline.hasExpired())
            return false;
        timer.start(int(std::max<qint64>(1, deadline.remainingTime())));
        loop.exec();
    }
    return true;
}

void FixtureServer::update(const QString& path, const std::function<void(Route&)>& change)
{
    QMutexLocker lock(&mutex_);
    auto it = routes_.find(path);
    if (it == routes_.end())
        it = routes_.insert(path, Route{FixtureResponse::html({}), {}});
    change(*it);
}

FixtureResponse FixtureServer::respond(const FixtureRequest& request) const
{
    Route route;
    {
        QMutexLocker lock(&mutex_);
        auto it = routes_.constFind(request.path);
        if (it == routes_.cend())
            it = routes_.constFind(QStringLiteral("*"));
        if (it == routes_.cend())
            return FixtureResponse::error(404);
        route = *it;
    }
    if (!route.handler)
        return route.response;
    FixtureResponse response;
    try {
        response = route.handler(request);
    } catch (const std::exception& e) {
        qWarning("FixtureServer: handler for %s threw: %s", qPrintable(request.path), e.what());
        return FixtureResponse::error(500);
    }
    response.headers += route.response.headers;
    response.delayMs = std::max(response.delayMs, route.response.delayMs);
    return response;
}

void FixtureServer::record(const FixtureRequest& request)
{
    {
        QMutexLocker lock(&mutex_);
        requests_.append(request);
    }
    Q_EMIT requestReceived(request);
}

} // namespace brackenly
