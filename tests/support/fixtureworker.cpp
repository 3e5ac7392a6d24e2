#include "fixtureworker.h"

#include "fixtureconnection.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace brackenly {

FixtureWorker::FixtureWorker(FixtureRoutes* routes) : routes_(routes) {}

quint16 FixtureWorker::listen()
{
    server_ = new QTcpServer(this);
    server_->setMaxPendingConnections(256);
    connect(server_, &QTcpServer::newConnection, this, &FixtureWorker::accept);
    if (!server_->listen(QHostAddress::LocalHost, 0)) {
        qWarning("FixtureServer: cannot listen: %s", qPrintable(server_->errorString()));
        delete server_;
        server_ = nullptr;
        return 0;
    }
    return server_->serverPort();
}

void FixtureWorker::shutdown()
{
    delete server_;
    server_ = nullptr;
    const auto connections = findChildren<FixtureConnection*>(Qt::FindDirectChildrenOnly);
    for (FixtureConnection* connection : connections)
        delete connection;
}

void FixtureWorker::accept()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        auto* connection = new FixtureConnection(socket, nextConnection_++, routes_, this);
        connect(connection, &FixtureConnection::requestRecorded, this,
                &FixtureWorker::requestRecorded);
    }
}

} // namespace brackenly
