#pragma once

#include "fixturerequest.h"

#include <QObject>

class QTcpServer;

namespace brackenly {

class FixtureRoutes;

// The listening side of the fixture server; lives in the server thread with its sockets.
class FixtureWorker : public QObject
{
    Q_OBJECT
public:
    explicit FixtureWorker(FixtureRoutes* routes);

    // Both run in the server thread.
    quint16 listen();
    void shutdown();

Q_SIGNALS:
    void requestRecorded(const brackenly::FixtureRequest& request);

private:
    void accept();

    FixtureRoutes* routes_;
    QTcpServer* server_ = nullptr;
    quint64 nextConnection_ = 1;
};

} // namespace brackenly
