#pragma once

#include "fixtureserver.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace brackenly {

// A loopback HTTP proxy for tests. It records every request it is asked to carry and
// sends it on to one upstream server whatever host it names, so a made-up host such as
// "proxied.test" (the engine never proxies loopback hosts) is answered by a local server.
// Forwarded requests carry "Via: 1.1 recordingproxy", so the upstream can tell them from
// direct ones. CONNECT is refused (405). Runs in a thread of its own, like FixtureServer.
class RecordingProxy
{
public:
    using Request = FixtureRequest; // target as sent: absolute when sent to a proxy
    static inline const QByteArray kVia = "1.1 recordingproxy";

    // Listens on 127.0.0.1 on a free port; requests go on to 127.0.0.1:upstreamPort.
    bool start(quint16 upstreamPort);
    void stop() { server_.stop(); }
    quint16 port() const { return server_.port(); }

    // Requests whose address has this host (any letter case).
    QList<Request> requestsForHost(const QString& host) const;

private:
    FixtureServer server_;
};

} // namespace brackenly
