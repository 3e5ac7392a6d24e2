#include "recordingproxy.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace brackenly {

namespace {

const QByteArray kEndOfHead = "\r\n\r\n";

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isHopByHop(const QByteArray& name)
{
    for (const char* hop :
         {"Connection", "Keep-Alive", "Proxy-Connection", "Proxy-Authorization", "TE", "Upgrade"})
        if (sameName(name, hop))
            return true;
    return false;
}

QByteArray statusLine(int code, const QByteArray& reason)
{
    return "HTTP/1.1 " + QByteArray::number(code) + ' ' + reason +
           "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

// One client connection: reads one request, relays it upstream, relays the answer back
// and closes. Deletes itself when the client is done.
class ProxyConnection : public QObject
{
public:
    using Recorder = std::function<void(const RecordingProxy::Request&)>;

    ProxyConnection(QTcpSocket* client, const QHostAddress& upstream, quint16 upstreamPort,
                    Recorder recorder)
        : QObject(client), client_(client), upstream_(upstream), upstreamPort_(upstreamPort),
          recorder_(std::move(recorder))
    {
        client_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(client_, &QTcpSocket::readyRead, this, &ProxyConnection::readClient);
        connect(client_, &QTcpSocket::disconnected, client_, &QObject::deleteLater);
    }

private:
    void readClient()
    {
        if (done_)
            return;
        buffer_ += client_->readAll();
        const qsizetype end = buffer_.indexOf(kEndOfHead);
        if (end < 0)
            return;
        RecordingProxy::Request request;
        const QList<QByteArray> lines = buffer_.left(end).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        if (requestLine.size() != 3)
            return finish(statusLine(400, "Bad Request"));
        request.method = requestLine[0];
        request.target = requestLine[1];
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append(
                    {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer_.size() < end + kEndOfHead.size() + length)
            return; // body still coming
        request.body = buffer_.mid(end + kEndOfHead.size(), length);
        done_ = true;
        recorder_(request);

        if (request.method == "CONNECT")
            return finish(statusLine(405, "Method Not Allowed"));
        const QUrl url = request.url();
        if (!url.isValid() || url.host().isEmpty())
            return finish(statusLine(400, "Bad Request"));
        forward(request, url);
    }

    void forward(const RecordingProxy::Request& request, const QUrl& url)
    {
        QByteArray target =
            url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
        if (!target.startsWith('/'))
            target.prepend('/');
        QByteArray out = request.method + ' ' + target + " HTTP/1.1\r\n";
        for (const auto& [name, value] : request.headers)
            if (!isHopByHop(name))
                out += name + ": " + value + "\r\n";
        out += "Via: " + RecordingProxy::kVia + "\r\nConnection: close\r\n\r\n" + request.body;

        upstreamSocket_ = new QTcpSocket(this);
        upstreamSocket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(upstreamSocket_, &QTcpSocket::connected, this,
                [this, out] { upstreamSocket_->write(out); });
        connect(upstreamSocket_, &QTcpSocket::readyRead, this,
                [this] { answer_ += upstreamSocket_->readAll(); });
        connect(upstreamSocket_, &QTcpSocket::disconnected, this, &ProxyConnection::relay);
        connect(upstreamSocket_, &QTcpSocket::errorOccurred, this,
                [this](QAbstractSocket::SocketError error) {
                    if (error != QAbstractSocket::RemoteHostClosedError)
                        finish(statusLine(502, "Bad Gateway"));
                });
        upstreamSocket_->connectToHost(upstream_, upstreamPort_);
    }

    // The upstream closed: hand its answer on, telling the client the connection ends.
    void relay()
    {
        answer_ += upstreamSocket_->readAll();
        const qsizetype end = answer_.indexOf(kEndOfHead);
        if (end < 0)
            return finish(statusLine(502, "Bad Gateway"));
        const QList<QByteArray> lines = answer_.left(end).split('\n');
        QByteArray head = lines[0].trimmed() + "\r\n";
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            if (!isHopByHop(line.left(line.indexOf(':')).trimmed()))
                head += line + "\r\n";
        }
        head += "Via: " + RecordingProxy::kVia + "\r\nConnection: close\r\n\r\n";
        finish(head + answer_.mid(end + kEndOfHead.size()));
    }

    void finish(const QByteArray& bytes)
    {
        done_ = true;
        if (replied_ || !client_)
            return;
        replied_ = true;
        client_->write(bytes);
        client_->disconnectFromHost();
    }

    QPointer<QTcpSocket> client_;
    QTcpSocket* upstreamSocket_ = nullptr;
    QHostAddress upstream_;
    quint16 upstreamPort_ = 0;
    Recorder recorder_;
    QByteArray buffer_;
    QByteArray answer_;
    bool done_ = false;
    bool replied_ = false;
};

} // namespace

QByteArray RecordingProxy::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (sameName(key, name))
            return value;
    return QByteArray();
}

QUrl RecordingProxy::Request::url() const
{
    if (method == "CONNECT")
        return QUrl(QStringLiteral("https://") + QString::fromLatin1(target));
    if (target.startsWith('/'))
        return QUrl(QStringLiteral("http://") + QString::fromLatin1(header("Host") + target));
    return QUrl::fromEncoded(target);
}

RecordingProxy::RecordingProxy(QObject* parent) : QObject(parent) {}

RecordingProxy::~RecordingProxy()
{
    stop();
}

bool RecordingProxy::start(quint16 upstreamPort, const QHostAddress& upstream)
{
    stop();
    upstream_ = upstream;
    upstreamPort_ = upstreamPort;
    server_ = new QTcpServer(this);
    connect(server_, &QTcpServer::newConnection, this, &RecordingProxy::accept);
    if (server_->listen(QHostAddress::LocalHost, 0))
        return true;
    stop();
    return false;
}

void RecordingProxy::stop()
{
    if (!server_)
        return;
    server_->close();
    // The open connections are children of the server's sockets and go with it.
    delete server_;
    server_ = nullptr;
}

quint16 RecordingProxy::port() const
{
    return server_ ? server_->serverPort() : 0;
}

QList<RecordingProxy::Request> RecordingProxy::requestsForHost(const QString& host) const
{
    QList<Request> result;
    for (const Request& request : requests_)
        if (request.url().host().compare(host, Qt::CaseInsensitive) == 0)
            result.append(request);
    return result;
}

void RecordingProxy::accept()
{
    while (QTcpSocket* client = server_->nextPendingConnection()) {
        client->setParent(server_);
        new ProxyConnection(client, upstream_, upstreamPort_,
                            [this](const Request& request) { record(request); });
    }
}

void RecordingProxy::record(const Request& request)
{
    requests_.append(request);
    Q_EMIT requestReceived(request.url());
}

} // namespace brackenly
