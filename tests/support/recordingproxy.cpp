#include "recordingproxy.h"

#include <QTcpSocket>

namespace brackenly {

namespace {

bool isHopByHop(const QByteArray& name)
{
    for (const char* hop : {"Connection", "Keep-Alive", "Proxy-Connection", "Proxy-Authorization",
                            "TE", "Upgrade", "Content-Length", "Transfer-Encoding"}) {
        if (name.compare(hop, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Runs on the proxy's thread: one blocking exchange with the upstream per request.
FixtureResponse forward(const FixtureRequest& request, quint16 upstreamPort)
{
    const QUrl url = request.url();
    if (request.method == "CONNECT")
        return FixtureResponse::error(405);
    if (!url.isValid() || url.host().isEmpty())
        return FixtureResponse::error(400);
    QByteArray out =
        request.method + ' ' +
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment) +
        " HTTP/1.1\r\n";
    for (const auto& [name, value] : request.headers) {
        if (!isHopByHop(name))
            out += name + ": " + value + "\r\n";
    }
    out += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    out += "Via: " + RecordingProxy::kVia + "\r\nConnection: close\r\n\r\n" + request.body;

    QTcpSocket upstream;
    upstream.connectToHost(QHostAddress::LocalHost, upstreamPort);
    if (!upstream.waitForConnected(5000))
        return FixtureResponse::error(502);
    upstream.write(out);
    QByteArray answer;
    while (upstream.waitForReadyRead(10000)) // until the upstream closes
        answer += upstream.readAll();
    answer += upstream.readAll();
    const qsizetype end = answer.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = answer.left(end).split('\n');
    const QList<QByteArray> statusLine = lines.first().split(' ');
    if (end < 0 || statusLine.size() < 2)
        return FixtureResponse::error(502);

    FixtureResponse response;
    response.status = statusLine[1].toInt();
    response.contentType.clear(); // only what the upstream sent
    response.body = answer.mid(end + 4);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        const QByteArray name = lines[i].left(colon).trimmed();
        if (colon > 0 && !isHopByHop(name))
            response.headers.append({name, lines[i].mid(colon + 1).trimmed()});
    }
    response.headers.append({"Via", RecordingProxy::kVia});
    return response;
}

} // namespace

bool RecordingProxy::start(quint16 upstreamPort)
{
    server_.setHandler(QStringLiteral("*"), [upstreamPort](const FixtureRequest& request) {
        return forward(request, upstreamPort);
    });
    return server_.start();
}

QList<RecordingProxy::Request> RecordingProxy::requestsForHost(const QString& host) const
{
    QList<Request> result;
    for (const Request& request : server_.requests()) {
        if (request.url().host().compare(host, Qt::CaseInsensitive) == 0)
            result.append(request);
    }
    return result;
}

} // namespace brackenly
