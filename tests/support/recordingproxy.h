#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>

class QTcpServer;

namespace brackenly {

// A loopback HTTP proxy for tests. It records every request it is asked to carry and
// sends it on to one upstream server whatever host it names, so a made-up host such as
// "proxied.test" (the engine never proxies loopback hosts) is answered by a local server.
// Forwarded requests carry "Via: 1.1 recordingproxy", so the upstream can tell them from
// direct ones. One request per client connection; CONNECT is refused (405).
// Lives in the thread that creates it: the test's waits must run events.
class RecordingProxy : public QObject
{
    Q_OBJECT
public:
    static inline const QByteArray kVia = "1.1 recordingproxy";

    struct Request
    {
        QByteArray method;
        QByteArray target; // as sent: absolute ("http://host/path") when sent to a proxy
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        // The first header of that name, any letter case; "" when absent.
        QByteArray header(const QByteArray& name) const;
        // The address asked for (the target, or Host + target for an origin-form one).
        QUrl url() const;
    };

    explicit RecordingProxy(QObject* parent = nullptr);
    ~RecordingProxy() override;

    // Listens on 127.0.0.1 on a free port; requests go on to upstream:upstreamPort.
    bool start(quint16 upstreamPort, const QHostAddress& upstream = QHostAddress::LocalHost);
    void stop();
    quint16 port() const;

    QList<Request> requests() const { return requests_; }
    // Requests whose address has this host (any letter case).
    QList<Request> requestsForHost(const QString& host) const;
    void clearRequests() { requests_.clear(); }

Q_SIGNALS:
    void requestReceived(const QUrl& url);

private:
    void accept();
    void record(const Request& request);

    QTcpServer* server_ = nullptr;
    QHostAddress upstream_;
    quint16 upstreamPort_ = 0;
    QList<Request> requests_;
};

} // namespace brackenly
