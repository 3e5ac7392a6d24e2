#include "fixtureserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <memory>

using namespace brackenly;

namespace {

struct Answer
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QList<QNetworkReply::RawHeaderPair> headers;
};

QNetworkRequest plainRequest(const QUrl& url, int timeoutMs = 5000)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    return request;
}

// Waits for every reply of the list (they run in parallel).
QList<Answer> finish(const QList<QNetworkReply*>& replies)
{
    QList<Answer> answers;
    for (QNetworkReply* reply : replies) {
        if (!reply->isFinished()) {
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        answers.append({reply->error(),
                        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                        reply->isOpen() ? reply->readAll() : QByteArray(),
                        reply->rawHeader("Content-Type"), reply->rawHeaderPairs()});
        reply->deleteLater();
    }
    return answers;
}

Answer fetch(QNetworkAccessManager& nam, const QUrl& url, int timeoutMs = 5000)
{
    return finish({nam.get(plainRequest(url, timeoutMs))}).first();
}

QByteArray headerOf(const Answer& answer, const QByteArray& name)
{
    for (const auto& header : answer.headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

} // namespace

class TestFixtureServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void routes_data();
    void routes();
    void postBodyIsRecorded();
    void keepAliveIsFast();
    void stallLeavesClientWaiting();
    void dropMidwayCutsTheBody();
    void concurrentClientsOverlap();
    void answersWhileOwnerThreadIsBlocked();
    void waitForRequestRunsEvents();
    void gallerySite();

private:
    FixtureServer server_;
    QNetworkAccessManager nam_;
};

void TestFixtureServer::initTestCase()
{
    QVERIFY(server_.start());
    QVERIFY(server_.port() != 0);
    server_.addPage(QStringLiteral("/page.html"), QStringLiteral("<p>hello</p>"));
    server_.addPage(QStringLiteral("/a b.html"), QStringLiteral("space"));
    server_.addResource(QStringLiteral("/data.json"), "{\"a\":1}", "application/json");
    server_.addImage(QStringLiteral("/pics/a.gif"));
    server_.setStatus(QStringLiteral("/broken"), 500);
    server_.addRedirect(QStringLiteral("/old"), QStringLiteral("/page.html"));
    server_.addPage(QStringLiteral("/cookie"), QStringLiteral("c"));
    server_.addHeader(QStringLiteral("/cookie"), "Set-Cookie", "sid=42; Path=/");
    server_.setHandler(QStringLiteral("/echo"), [](const FixtureRequest& request) {
        return FixtureResponse::html(QStringLiteral("echo ") + request.query);
    });
}

void TestFixtureServer::init()
{
    server_.clearRequests();
}

void TestFixtureServer::routes_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path"); // as recorded
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");   // "" = not checked
    QTest::addColumn<QByteArray>("header"); // "Name: value" expected in the answer

    const QByteArray html = "text/html; charset=utf-8";
    QTest::newRow("page") << "/page.html"
                          << "/page.html"
                          << "" << 200 << html << QByteArray("<p>hello</p>") << QByteArray();
    QTest::newRow("query ignored")
        << "/page.html?x=1&y=%20z"
        << "/page.html"
        << "x=1&y=%20z" << 200 << html << QByteArray("<p>hello</p>") << QByteArray();
    QTest::newRow("encoded path") << "/a%20b.html"
                                  << "/a b.html"
                                  << "" << 200 << html << QByteArray("space") << QByteArray();
    QTest::newRow("resource") << "/data.json"
                              << "/data.json"
                              << "" << 200 << QByteArray("application/json")
                              << QByteArray("{\"a\":1}") << QByteArray();
    QTest::newRow("image") << "/pics/a.gif"
                           << "/pics/a.gif"
                           << "" << 200 << QByteArray("image/gif") << QByteArray() << QByteArray();
    QTest::newRow("unknown") << "/nope.html"
                             << "/nope.html"
                             << "" << 404 << html << QByteArray() << QByteArray();
    QTest::newRow("status") << "/broken"
                            << "/broken"
                            << "" << 500 << html << QByteArray() << QByteArray();
    QTest::newRow("redirect") << "/old"
                              << "/old"
                              << "" << 302 << html << QByteArray()
                              << QByteArray("Location: /page.html");
    QTest::newRow("extra header") << "/cookie"
                                  << "/cookie"
                                  << "" << 200 << html << QByteArray("c")
                                  << QByteArray("Set-Cookie: sid=42; Path=/");
    QTest::newRow("handler") << "/echo?n=abc"
                             << "/echo"
                             << "n=abc" << 200 << html << QByteArray("echo n=abc") << QByteArray();
}

void TestFixtureServer::routes()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFETCH(QString, query);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, header);

    const Answer answer = fetch(nam_, server_.url(target));
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.contentType, contentType);
    if (!body.isEmpty())
        QCOMPARE(answer.body, body);
    if (!header.isEmpty()) {
        const QList<QByteArray> parts = header.split(':');
        QCOMPARE(headerOf(answer, parts[0]), header.mid(parts[0].size() + 2));
    }
    if (contentType == "image/gif") {
        const QImage image = QImage::fromData(answer.body, "GIF");
        QCOMPARE(image.size(), QSize(1, 1));
    }

    QCOMPARE(server_.requestCount(path), 1);
    const FixtureRequest request = server_.requests().constLast();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, path);
    QCOMPARE(request.query, query);
    QCOMPARE(request.header("HOST"), "127.0.0.1:" + QByteArray::number(server_.port()));
}

void TestFixtureServer::postBodyIsRecorded()
{
    server_.addPage(QStringLiteral("/post.cgi"), QStringLiteral("thanks"));
    QNetworkRequest request = plainRequest(server_.url(QStringLiteral("/post.cgi?from=x")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    const QByteArray body = "user=a%20b&pw=p%26q&empty=";
    const Answer answer = finish({nam_.post(request, body)}).first();
    QCOMPARE(answer.status, 200);

    const QList<FixtureRequest> posts = server_.requestsFor(QStringLiteral("/post.cgi"));
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts[0].method, QByteArray("POST"));
    QCOMPARE(posts[0].query, QStringLiteral("from=x"));
    QCOMPARE(posts[0].body, body);
    QCOMPARE(posts[0].header("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(posts[0].header("Content-Length"), QByteArray::number(body.size()));
    QVERIFY(!posts[0].hasHeader("X-Absent"));
}

void TestFixtureServer::keepAliveIsFast()
{
    QNetworkAccessManager nam;
    QElapsedTimer clock;
    clock.start();
    QSet<quint64> connections;
    // Small answers and ones larger than a loopback segment (whose tail Nagle would hold).
    server_.addResource(QStringLiteral("/big.bin"), QByteArray(100000, 'b'),
                        "application/octet-stream");
    for (int i = 0; i < 300; ++i) {
        const Answer answer = fetch(nam, server_.url(QStringLiteral("/data.json")));
        QCOMPARE(answer.status, 200);
        if (i % 3 == 0)
            QCOMPARE(fetch(nam, server_.url(QStringLiteral("/big.bin"))).body.size(), 100000);
    }
    const qint64 elapsed = clock.elapsed();
    for (const FixtureRequest& request : server_.requests())
        connections.insert(request.connection);
    QCOMPARE(server_.requestCount(QStringLiteral("/data.json")), 300);
    QCOMPARE(server_.requestCount(QStringLiteral("/big.bin")), 100);
    QCOMPARE(connections.size(), 1); // one kept-alive connection
    // A delayed-ACK stall would cost ~40 ms per request, seconds in all.
    QVERIFY2(elapsed < 3000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

void TestFixtureServer::stallLeavesClientWaiting()
{
    server_.addPage(QStringLiteral("/stall"), QStringLiteral("never sent"));
    server_.stall(QStringLiteral("/stall"));
    QElapsedTimer clock;
    clock.start();
    const Answer stalled = fetch(nam_, server_.url(QStringLiteral("/stall")), 300);
    QVERIFY(stalled.error != QNetworkReply::NoError);
    QCOMPARE(stalled.status, 0);
    QVERIFY(clock.elapsed() >= 250);
    QCOMPARE(server_.requestCount(QStringLiteral("/stall")), 1);
    // Other requests are still answered meanwhile.
    QCOMPARE(fetch(nam_, server_.url(QStringLiteral("/page.html"))).status, 200);
}

void TestFixtureServer::dropMidwayCutsTheBody()
{
    const QByteArray full(4000, 'x');
    server_.dropMidway(QStringLiteral("/cut.bin"), full);
    const Answer answer = fetch(nam_, server_.url(QStringLiteral("/cut.bin")));
    QVERIFY(answer.error != QNetworkReply::NoError);
    QVERIFY(answer.body.size() < full.size());
}

void TestFixtureServer::concurrentClientsOverlap()
{
    server_.addPage(QStringLiteral("/slow"), QStringLiteral("slow"));
    server_.setDelay(QStringLiteral("/slow"), 200);
    QNetworkAccessManager others[3];
    QList<QNetworkReply*> replies;
    QElapsedTimer clock;
    clock.start();
    for (auto& nam : others) {
        for (int i = 0; i < 2; ++i)
            replies << nam.get(plainRequest(server_.url(QStringLiteral("/slow"))));
    }
    for (const Answer& answer : finish(replies)) {
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.body, QByteArray("slow"));
    }
    const qint64 elapsed = clock.elapsed();
    QSet<quint64> connections;
    for (const FixtureRequest& request : server_.requests())
        connections.insert(request.connection);
    QVERIFY(connections.size() >= 3);
    // Six delayed answers one after another would take 1.2 s.
    QVERIFY2(elapsed < 900, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

void TestFixtureServer::answersWhileOwnerThreadIsBlocked()
{
    // The owner thread runs no events while the client thread talks to the server;
    // two pipelined requests are answered in order on one connection.
    QByteArray received;
    const quint16 port = server_.port();
    std::unique_ptr<QThread> client(QThread::create([&received, port] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(3000))
            return;
        // The first in absolute form, as a forwarding proxy sends it.
        socket.write("GET http://proxied.test/page.html?p=1 HTTP/1.1\r\nHost: proxied.test\r\n\r\n"
                     "GET /data.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(3000))
            received += socket.readAll();
        received += socket.readAll();
    }));
    client->start();
    QVERIFY(client->wait(10000));

    const qsizetype first = received.indexOf("HTTP/1.1 200 OK");
    const qsizetype second = received.indexOf("HTTP/1.1 200 OK", first + 1);
    QVERIFY2(first == 0 && second > 0, received.constData());
    QVERIFY(received.indexOf("<p>hello</p>") < second);
    QVERIFY(received.endsWith("{\"a\":1}"));
    QVERIFY(received.mid(second).contains("Connection: close"));
    const QList<FixtureRequest> requests = server_.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[0].connection, requests[1].connection);
    QCOMPARE(requests[0].path, QStringLiteral("/page.html"));
    QCOMPARE(requests[0].query, QStringLiteral("p=1"));
    QCOMPARE(requests[0].header("host"), QByteArray("proxied.test"));
}

void TestFixtureServer::waitForRequestRunsEvents()
{
    QSignalSpy received(&server_, &FixtureServer::requestReceived);
    QVERIFY(!server_.waitForRequest(QStringLiteral("/later.html"), 100));

    server_.addPage(QStringLiteral("/later.html"), QStringLiteral("later"));
    QNetworkReply* reply = nullptr;
    // Only sent if the wait runs this thread's events.
    QTimer::singleShot(50, this, [&] {
        reply = nam_.get(plainRequest(server_.url(QStringLiteral("/later.html"))));
    });
    QVERIFY(server_.waitForRequest(QStringLiteral("/later.html"), 5000));
    QVERIFY(reply);
    QCOMPARE(finish({reply}).first().body, QByteArray("later"));
    // Signals of earlier tests' requests may still be on their way; count this path's only.
    const auto signalled = [&received] {
        int n = 0;
        for (const QList<QVariant>& args : received)
            n += args.first().value<FixtureRequest>().path == QLatin1String("/later.html");
        return n;
    };
    QTRY_COMPARE(signalled(), 1);
}

void TestFixtureServer::gallerySite()
{
    const FixtureServer::Gallery gallery = server_.addGallerySite(3, 2, 2, QStringLiteral("/g"));
    const QByteArray index = fetch(nam_, server_.url(gallery.indexPath)).body;
    QCOMPARE(index.count("<img "), 3);
    QCOMPARE(index.count("<a href="), 2);
    QCOMPARE(gallery.pagePaths.size(), 2);
    QCOMPARE(gallery.pageImages.size(), 4);

    const QStringList images = gallery.indexImages + gallery.pageImages;
    QSet<QString> names;
    QSet<QByteArray> bodies;
    for (const QString& image : images) {
        QVERIFY(index.contains(image.toUtf8()) != gallery.pageImages.contains(image));
        names.insert(image.section(QLatin1Char('/'), -1));
        const Answer answer = fetch(nam_, server_.url(image));
        QCOMPARE(answer.status, 200);
        bodies.insert(answer.body);
    }
    QCOMPARE(names.size(), images.size());
    QCOMPARE(bodies.size(), images.size());
    for (const QString& page : gallery.pagePaths)
        QCOMPARE(fetch(nam_, server_.url(page)).body.count("<img "), 2);
}

QTEST_MAIN(TestFixtureServer)
#include "tst_fixtureserver.moc"
