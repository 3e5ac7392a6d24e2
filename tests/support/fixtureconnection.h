#pragma once

#include "fixturerequest.h"
#include "fixtureresponse.h"

#include <QByteArray>
#include <QObject>
#include <optional>

class QTcpSocket;

namespace brackenly {

class FixtureServer;

// One accepted connection of the fixture server: reads HTTP/1.1 requests (Content-Length
// bodies, keep-alive, pipelining) and answers them one after another. Lives in the server
// thread and deletes itself when the peer goes away.
class FixtureConnection : public QObject
{
    // The server finds its connections among the listener's children by type.
    Q_OBJECT

public:
    FixtureConnection(QTcpSocket* socket, quint64 id, FixtureServer* server, QObject* parent);

private:
    struct Head
    {
        FixtureRequest request;
        qsizetype bodyLength = 0;
        bool keepAlive = true;
    };

    void read();
    // False: the request is incomplete, or the connection was closed for a bad one.
    bool parseHead();
    void handle(const Head& head);
    void send(const FixtureResponse& response, const Head& head);

    QTcpSocket* socket_;
    quint64 id_;
    FixtureServer* server_;
    QByteArray buffer_;
    std::optional<Head> head_; // parsed head waiting for its body
    bool busy_ = false;        // an answer is delayed or stalled; later requests wait
    bool closing_ = false;
};

} // namespace brackenly
