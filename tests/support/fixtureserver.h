#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QThread;

namespace brackenly {

// One request as the fixture server received it.
struct FixtureRequest
{
    QString path;      // percent-decoded, without the query; what routing looks at
    QString query;     // as sent (still encoded), without the "?"
    QByteArray target; // exactly as sent: absolute when the server was asked as a proxy
    QList<QPair<QByteArray, QByteArray>> headers; // in the order sent
    QByteArray body;

    // The first header of that name, any letter case; "" when absent.
    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

// What the fixture server answers to one request.
struct FixtureResponse
{
    enum class Delivery
    {
        Normal,
        Stall,      // read the request, never answer, keep the connection open
        DropMidway, // full Content-Length in the header, half the body, then close
    };

    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers{}; // extra ones, sent as given
    int delayMs = 0;
    Delivery delivery = Delivery::Normal;

    static FixtureResponse html(const QString& html)
    {
        return {200, "text/html; charset=utf-8", html.toUtf8()};
    }
    static FixtureResponse bytes(const QByteArray& body, const QByteArray& type)
    {
        return {200, type, body};
    }
    static FixtureResponse error(int code)
    {
        return {code, "text/html", "<html><body>" + QByteArray::number(code) + "</body></html>"};
    }
    // A valid 1x1 GIF; its bytes differ for every seed (the seed is kept in a comment).
    static QByteArray gif(const QString& seed);
};

// A loopback HTTP/1.1 server for tests and benchmarks. Its sockets run in a thread of their
// own, so it keeps answering while the test's thread sits in a nested event loop or is
// busy. Every member may be called from any thread. Routes match the path alone (the query
// is ignored for routing and kept in the record); the route "*" answers every path without
// one of its own, else an unknown path answers 404. Asked as a proxy (absolute targets), it
// answers for any host itself.
class FixtureServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<FixtureResponse(const FixtureRequest&)>;

    explicit FixtureServer(QObject* parent = nullptr);
    ~FixtureServer() override;

    // Listens on 127.0.0.1 on a free port; with tls, HTTPS with a self-signed certificate
    // for 127.0.0.1 that no client trusts.
    bool start(bool tls = false);
    // Closes every connection (stalled ones included) and the listening socket.
    void stop();
    quint16 port() const { return port_; }
    // http://host:port/path; path may carry a query. A host name other than 127.0.0.1 only
    // works through something that resolves it here.
    QUrl url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const;

    // ---- routes (path without query, starting with "/"); changes apply to the next request
    void addPage(const QString& path, const QString& html)
    {
        set(path, FixtureResponse::html(html));
    }
    void addResource(const QString& path, const QByteArray& bytes, const QByteArray& contentType)
    {
        set(path, FixtureResponse::bytes(bytes, contentType));
    }
    // A small valid GIF (image/gif), different bytes for every path.
    void addImage(const QString& path)
    {
        addResource(path, FixtureResponse::gif(path), "image/gif");
    }
    void addRedirect(const QString& path, const QString& target)
    {
        set(path, {302, "text/html", "Moved", {{"Location", target.toUtf8()}}});
    }
    // Keeps the route's body if it has one; a new route gets a small error page.
    void setStatus(const QString& path, int code)
    {
        update(path, [code](Route& route) {
            if (route.response.body.isEmpty())
                route.response.body = FixtureResponse::error(code).body;
            route.response.status = code;
        });
    }
    // Reads the request and never answers; the connection stays open until the client or
    // stop() closes it.
    void stall(const QString& path)
    {
        update(path, [](Route& r) { r.response.delivery = FixtureResponse::Delivery::Stall; });
    }
    // Announces the whole body, sends half of it and closes the connection.
    void dropMidway(const QString& path, const QByteArray& bytes,
                    const QByteArray& contentType = "application/octet-stream")
    {
        addResource(path, bytes, contentType);
        update(path, [](Route& r) { r.response.delivery = FixtureResponse::Delivery::DropMidway; });
    }
    void setDelay(const QString& path, int ms)
    {
        update(path, [ms](Route& route) { route.response.delayMs = ms; });
    }
    void addHeader(const QString& path, const QByteArray& name, const QByteArray& value)
    {
        update(path, [&](Route& route) { route.response.headers.append({name, value}); });
    }
    // Computes each answer. Runs on the server thread: touch only thread-safe state from
    // it. The route's extra headers and delay still apply.
    void setHandler(const QString& path, Handler handler)
    {
        update(path, [&](Route& route) { route.handler = std::move(handler); });
    }

    // ---- what was asked
    QList<FixtureRequest> requestsFor(const QString& path) const;
    int requestCount(const QString& path) const { return int(requestsFor(path).size()); }
    int totalRequests() const;
    void clearRequests();
    // Runs the calling thread's events until `path` has been requested since the last
    // clearRequests() (an earlier request counts), or the time is up.
    bool waitForRequest(const QString& path, int timeoutMs);

Q_SIGNALS:
    // Queued to the thread the server lives in, after the request was recorded.
    void requestReceived(const brackenly::FixtureRequest& request);

private:
    struct Connection;
    struct Route
    {
        FixtureResponse response;
        Handler handler;
    };

    void set(const QString& path, const FixtureResponse& response);
    // Changes the route's answer; a missing route starts as an empty 200 page.
    void update(const QString& path, const std::function<void(Route&)>& change);
    // The answer for a request, by its path alone; a handler runs outside the lock.
    FixtureResponse respond(const FixtureRequest& request) const;
    // Each accepted socket is served in the server thread.
    void accept(QTcpSocket* socket);
    void read(QTcpSocket* socket, const std::shared_ptr<Connection>& connection);
    void send(QTcpSocket* socket, Connection& connection, const FixtureResponse& response,
              bool keepAlive);

    mutable QMutex mutex_;
    QHash<QString, Route> routes_;
    QList<FixtureRequest> requests_;
    std::unique_ptr<QThread> thread_;
    QTcpServer* listener_ = nullptr; // lives in thread_ with its sockets
    quint16 port_ = 0;
    bool tls_ = false;
};

} // namespace brackenly

Q_DECLARE_METATYPE(brackenly::FixtureRequest)
