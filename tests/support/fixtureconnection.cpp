#include "fixtureconnection.h"

#include "fixtureserver.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace brackenly {

namespace {

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

FixtureConnection::FixtureConnection(QTcpSocket* socket, FixtureServer* server, QObject* parent)
    : QObject(parent), socket_(socket), server_(server)
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
        const qsizetype end = buffer_.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer_.left(end).split('\n');
        FixtureRequest request;
        request.target = lines.first().split(' ').value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append(
                    {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer_.size() < end + 4 + length)
            return; // the body is still on its way
        request.body = buffer_.mid(end + 4, length);
        buffer_.remove(0, end + 4 + length);
        splitTarget(request);
        const bool keepAlive = !request.header("Connection").toLower().contains("close");

        server_->record(request);
        const FixtureResponse response = server_->respond(request);
        if (response.delivery == FixtureResponse::Delivery::Stall) {
            busy_ = true;
        } else if (response.delayMs > 0) {
            busy_ = true;
            QTimer::singleShot(response.delayMs, this, [this, response, keepAlive] {
                busy_ = false;
                send(response, keepAlive);
                read();
            });
        } else {
            send(response, keepAlive);
        }
    }
}

void FixtureConnection::send(const FixtureResponse& response, bool keepAlive)
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
    socket_->write(out);
    if (!keepAlive) {
        closing_ = true;
        socket_->disconnectFromHost();
    }
}

} // namespace brackenly
