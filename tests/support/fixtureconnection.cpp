#include "fixtureconnection.h"

#include "fixtureserver.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace brackenly {

namespace {

// Origin form "/p?q" or absolute form "http://host/p?q" (as a forward proxy sends it).
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

FixtureConnection::FixtureConnection(QTcpSocket* socket, quint64 id, FixtureServer* server,
                                     QObject* parent)
    : QObject(parent), socket_(socket), id_(id), server_(server)
{
    socket_->setParent(this);
    // Without it every answer waits for the peer's delayed ACK (~40 ms).
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, &FixtureConnection::read);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    if (socket_->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &FixtureConnection::read);
}

void FixtureConnection::read()
{
    buffer_ += socket_->readAll();
    while (!busy_ && !closing_) {
        if (!head_ && !parseHead())
            return;
        if (buffer_.size() < head_->bodyLength)
            return;
        Head head = std::move(*head_);
        head_.reset();
        head.request.body = buffer_.left(head.bodyLength);
        buffer_.remove(0, head.bodyLength);
        handle(head);
    }
}

bool FixtureConnection::parseHead()
{
    const qsizetype end = buffer_.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = buffer_.left(end).split('\n');
    buffer_.remove(0, end + 4);

    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3) {
        send(FixtureResponse::error(400), Head{{}, 0, false});
        return false;
    }
    Head head;
    head.request.method = requestLine[0];
    head.request.target = requestLine[1];
    head.request.connection = id_;
    splitTarget(head.request);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            head.request.headers.append(
                {line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    const QByteArray connection = head.request.header("Connection").toLower();
    head.keepAlive = requestLine[2] == "HTTP/1.1" ? !connection.contains("close")
                                                  : connection.contains("keep-alive");
    bool ok = true;
    if (head.request.hasHeader("Content-Length"))
        head.bodyLength = head.request.header("Content-Length").toLongLong(&ok);
    // Chunked request bodies are not needed by any test.
    if (!ok || head.bodyLength < 0 || head.request.hasHeader("Transfer-Encoding")) {
        send(FixtureResponse::error(ok && head.bodyLength >= 0 ? 501 : 400), Head{{}, 0, false});
        return false;
    }
    head_ = std::move(head);
    return true;
}

void FixtureConnection::handle(const Head& head)
{
    server_->record(head.request);
    const FixtureResponse response = server_->respond(head.request);
    if (response.delivery == FixtureResponse::Delivery::Stall) {
        busy_ = true;
        return;
    }
    if (response.delayMs > 0) {
        busy_ = true;
        QTimer::singleShot(response.delayMs, this, [this, response, head] {
            busy_ = false;
            send(response, head);
            read();
        });
        return;
    }
    send(response, head);
}

void FixtureConnection::send(const FixtureResponse& response, const Head& head)
{
    const bool drop = response.delivery == FixtureResponse::Delivery::DropMidway;
    const bool keepAlive = head.keepAlive && !drop;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     FixtureResponse::reasonPhrase(response.status) + "\r\n";
    bool typeGiven = false;
    for (const auto& header : response.headers)
        typeGiven = typeGiven || header.first.compare("Content-Type", Qt::CaseInsensitive) == 0;
    if (!typeGiven && !response.contentType.isEmpty())
        out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    for (const auto& header : response.headers)
        out += header.first + ": " + header.second + "\r\n";
    out += "\r\n";
    if (head.request.method != "HEAD")
        out += drop ? response.body.left(response.body.size() / 2) : response.body;
    socket_->write(out);
    if (!keepAlive) {
        closing_ = true;
        socket_->disconnectFromHost();
    }
}

} // namespace brackenly
