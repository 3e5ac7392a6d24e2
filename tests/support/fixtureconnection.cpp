#include "fixtureconnection.h"

#include "fixtureroutes.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace brackenly {

namespace {

constexpr qsizetype maxHeadSize = 1 << 20;

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
    const QByteArray path = question < 0 ? target : target.left(question);
    request.path = QUrl::fromPercentEncoding(path);
    request.query = question < 0 ? QString() : QString::fromLatin1(target.mid(question + 1));
}

} // namespace

FixtureConnection::FixtureConnection(QTcpSocket* socket, quint64 id, FixtureRoutes* routes,
                                     QObject* parent)
    : QObject(parent), socket_(socket), id_(id), routes_(routes)
{
    socket_->setParent(this);
    // Without it every answer waits for the peer's delayed ACK (~40 ms).
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, [this] {
        buffer_ += socket_->readAll();
        processBuffer();
    });
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    if (socket_->bytesAvailable() > 0)
        QTimer::singleShot(0, this, [this] {
            buffer_ += socket_->readAll();
            processBuffer();
        });
}

void FixtureConnection::processBuffer()
{
    while (!busy_ && !closing_) {
        if (!head_ && !parseHead())
            return;
        if (buffer_.size() < head_->bodyLength) {
            if (head_->expectContinue && !continueSent_) {
                socket_->write("HTTP/1.1 100 Continue\r\n\r\n");
                continueSent_ = true;
            }
            return;
        }
        Head head = std::move(*head_);
        head_.reset();
        continueSent_ = false;
        head.request.body = buffer_.left(head.bodyLength);
        buffer_.remove(0, head.bodyLength);
        handle(head);
    }
}

bool FixtureConnection::parseHead()
{
    const qsizetype end = buffer_.indexOf("\r\n\r\n");
    if (end < 0) {
        if (buffer_.size() > maxHeadSize)
            refuse(431);
        return false;
    }
    const QList<QByteArray> lines = buffer_.left(end).split('\n');
    buffer_.remove(0, end + 4);

    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3) {
        refuse(400);
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
        if (colon <= 0)
            continue;
        head.request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    const QByteArray connection = head.request.header("Connection").toLower();
    head.keepAlive = requestLine[2] == "HTTP/1.1" ? !connection.contains("close")
                                                  : connection.contains("keep-alive");
    head.expectContinue =
        head.request.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0;
    if (head.request.hasHeader("Transfer-Encoding")) {
        refuse(501); // chunked request bodies are not needed by any test
        return false;
    }
    if (head.request.hasHeader("Content-Length")) {
        bool ok = false;
        head.bodyLength = head.request.header("Content-Length").toLongLong(&ok);
        if (!ok || head.bodyLength < 0) {
            refuse(400);
            return false;
        }
    }
    head_ = std::move(head);
    return true;
}

void FixtureConnection::handle(const Head& head)
{
    routes_->record(head.request);
    Q_EMIT requestRecorded(head.request);

    const FixtureResponse response = routes_->respond(head.request);
    if (response.delivery == FixtureResponse::Delivery::Stall) {
        busy_ = true;
        return;
    }
    if (response.delayMs > 0) {
        busy_ = true;
        QTimer::singleShot(response.delayMs, this, [this, response, head] {
            busy_ = false;
            send(response, head);
            processBuffer();
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

void FixtureConnection::refuse(int code)
{
    FixtureResponse response = FixtureResponse::error(code);
    Head head;
    head.keepAlive = false;
    send(response, head);
}

} // namespace brackenly
