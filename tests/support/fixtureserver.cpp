#include "fixtureserver.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutexLocker>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

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

// Origin form "/p?q" or absolute form "http://host/p?q" (as a forward proxy is asked).
void splitTarget(FixtureRequest& request)
{
    QByteArray target = request.target;
    const qsizetype scheme = target.indexOf("://");
    if (scheme > 0 && !target.startsWith('/')) {
        const qsizetype slash = target.indexOf('/', scheme + 3);
        target = slash < 0 ? QByteArray("/") : target.mid(slash);
    }
    const qsizetype question = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(question < 0 ? target : target.left(question));
    request.query = question < 0 ? QString() : QString::fromLatin1(target.mid(question + 1));
}

} // namespace

QByteArray FixtureResponse::gif(const QString& seed)
{
    const QByteArray comment = seed.toUtf8().left(255);
    const QByteArray colour =
        QCryptographicHash::hash(seed.toUtf8(), QCryptographicHash::Md5).left(3);
    QByteArray gif("GIF89a");
    gif += QByteArray::fromHex("01000100"); // 1x1
    gif += QByteArray::fromHex("800000");   // global colour table of 2 entries
    gif += colour + QByteArray::fromHex("000000");
    if (!comment.isEmpty())
        gif += QByteArray::fromHex("21fe") + char(comment.size()) + comment + '\0';
    gif += QByteArray::fromHex("2c000000000100010000"); // image descriptor
    gif += QByteArray::fromHex("0202440100");           // LZW: clear, pixel 0, end
    gif += ';';
    return gif;
}

struct FixtureServer::Connection
{
    QByteArray buffer;
    bool busy = false; // an answer is delayed or stalled; later requests wait
    bool closing = false;
};

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
            accept(socket);
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
            qDeleteAll(listener_->findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly));
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
    FixtureResponse response = route.handler(request);
    response.headers += route.response.headers;
    response.delayMs = std::max(response.delayMs, route.response.delayMs);
    return response;
}

void FixtureServer::accept(QTcpSocket* socket)
{
    // A child of the listener in the server thread; it goes when the peer does.
    socket->setParent(listener_);
    // Without it every answer waits for the peer's delayed ACK (~40 ms).
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const auto connection = std::make_shared<Connection>();
    connect(socket, &QTcpSocket::readyRead, socket, [=, this] { read(socket, connection); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, socket, [=, this] { read(socket, connection); });
}

// Reads HTTP/1.1 requests (Content-Length bodies, keep-alive, pipelining) and answers them one
// after another.
void FixtureServer::read(QTcpSocket* socket, const std::shared_ptr<Connection>& connection)
{
    Connection& c = *connection;
    c.buffer += socket->readAll();
    while (!c.busy && !c.closing) {
        const qsizetype end = c.buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = c.buffer.left(end).split('\n');
        FixtureRequest request;
        request.target = lines.first().split(' ').value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append(
                    {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (c.buffer.size() < end + 4 + length)
            return; // the body is still on its way
        request.body = c.buffer.mid(end + 4, length);
        c.buffer.remove(0, end + 4 + length);
        splitTarget(request);
        const bool keepAlive = !request.header("Connection").toLower().contains("close");

        {
            QMutexLocker lock(&mutex_);
            requests_.append(request);
        }
        Q_EMIT requestReceived(request);
        const FixtureResponse response = respond(request);
        if (response.delivery == FixtureResponse::Delivery::Stall) {
            c.busy = true;
        } else if (response.delayMs > 0) {
            c.busy = true;
            QTimer::singleShot(response.delayMs, socket, [=, this] {
                connection->busy = false;
                send(socket, *connection, response, keepAlive);
                read(socket, connection);
            });
        } else {
            send(socket, c, response, keepAlive);
        }
    }
}

void FixtureServer::send(QTcpSocket* socket, Connection& connection,
                         const FixtureResponse& response, bool keepAlive)
{
    const bool drop = response.delivery == FixtureResponse::Delivery::DropMidway;
    keepAlive = keepAlive && !drop;
    // Clients go by the code alone.
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Fixture\r\n";
    if (!response.contentType.isEmpty())
        out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    for (const auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    out += "\r\n" + (drop ? response.body.left(response.body.size() / 2) : response.body);
    socket->write(out);
    if (!keepAlive) {
        connection.closing = true;
        socket->disconnectFromHost();
    }
}

} // namespace brackenly
