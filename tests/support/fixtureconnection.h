#pragma once

#include "fixturerequest.h"
#include "fixtureresponse.h"

#include <QByteArray>
#include <QObject>

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
    FixtureConnection(QTcpSocket* socket, FixtureServer* server, QObject* parent);

private:
    void read();
    void send(const FixtureResponse& response, bool keepAlive);

    QTcpSocket* socket_;
    FixtureServer* server_;
    QByteArray buffer_;
    bool busy_ = false; // an answer is delayed or stalled; later requests wait
    bool closing_ = false;
};

} // namespace brackenly
