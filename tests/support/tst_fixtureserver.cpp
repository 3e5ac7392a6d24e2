#include "fixtureserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

using namespace brackenly;

namespace {

// Waits for the reply; it goes with its manager.
QNetworkReply* finish(QNetworkReply* reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    return reply;
}

int status(QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

class TestFixtureServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { server_.clearRequests(); }
    void routes_data();
    void routes();
    void stallLeavesClientWaiting();

private:
    FixtureServer server_;
    QNetworkAccessManager nam_;
};

void TestFixtureServer::initTestCase()
{
    QVERIFY(server_.start());
    nam_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    nam_.setTransferTimeout(5000);
    server_.addPage(QStringLiteral("/page.html"), QStringLiteral("<p>hello</p>"));
    server_.addPage(QStringLiteral("/a b.html"), QStringLiteral("space"));
    server_.addImage(QStringLiteral("/pics/a.gif"));
    server_.setStatus(QStringLiteral("/broken"), 500);
    server_.addRedirect(QStringLiteral("/old"), QStringLiteral("/page.html"));
    server_.setHandler(QStringLiteral("/echo"), [](const FixtureRequest& request) {
        return FixtureResponse::html(QStringLiteral("echo ") + request.query);
    });
    server_.addHeader(QStringLiteral("/echo"), "Set-Cookie", "sid=42");
}

void TestFixtureServer::routes_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path"); // as recorded
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("body");   // "" = not checked
    QTest::addColumn<QByteArray>("header"); // "Name: value" expected in the answer
    QTest::addColumn<QByteArray>("posted"); // "" = a GET

    const struct
    {
        const char *target, *path;
        int status;
        const char *body, *header, *posted;
    } rows[] = {
        {"/page.html?x=1&y=%20z", "/page.html", 200, "<p>hello</p>",
         "Content-Type: text/html; charset=utf-8", ""},
        {"/a%20b.html", "/a b.html", 200, "space", "", ""},
        {"/pics/a.gif", "/pics/a.gif", 200, "", "Content-Type: image/gif", ""},
        {"/nope.html", "/nope.html", 404, "", "", ""},
        {"/broken", "/broken", 500, "", "", ""},
        {"/old", "/old", 302, "", "Location: /page.html", ""},
        // A handler keeps the route's headers.
        {"/echo?n=abc", "/echo", 200, "echo n=abc", "Set-Cookie: sid=42", ""},
        {"/echo?from=x", "/echo", 200, "echo from=x", "", "user=a%20b&pw=p%26q&empty="},
    };
    for (const auto& r : rows)
        QTest::newRow(r.target) << QString(r.target) << QString(r.path) << r.status
                                << QByteArray(r.body) << QByteArray(r.header)
                                << QByteArray(r.posted);
}

void TestFixtureServer::routes()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFETCH(int, code);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, posted);

    QNetworkRequest request(server_.url(target));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* reply =
        finish(posted.isEmpty() ? nam_.get(request) : nam_.post(request, posted));
    const QByteArray answer = reply->readAll();
    QCOMPARE(status(reply), code);
    if (!body.isEmpty())
        QCOMPARE(answer, body);
    if (!header.isEmpty()) {
        const QByteArray name = header.left(header.indexOf(':'));
        QCOMPARE(reply->rawHeader(name), header.mid(name.size() + 2));
    }
    if (path.endsWith(QLatin1String(".gif")))
        QCOMPARE(QImage::fromData(answer, "GIF").size(), QSize(1, 1));

    const QList<FixtureRequest> requests = server_.requestsFor(path);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].method, QByteArray(posted.isEmpty() ? "GET" : "POST"));
    QCOMPARE(requests[0].query, target.section(QLatin1Char('?'), 1));
    QCOMPARE(requests[0].body, posted);
    QCOMPARE(requests[0].header("content-TYPE"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(requests[0].header("HOST"), "127.0.0.1:" + QByteArray::number(server_.port()));
    QVERIFY(!requests[0].hasHeader("X-Absent"));
}

void TestFixtureServer::stallLeavesClientWaiting()
{
    server_.addPage(QStringLiteral("/stall"), QStringLiteral("never sent"));
    server_.stall(QStringLiteral("/stall"));
    QElapsedTimer clock;
    clock.start();
    QNetworkRequest request(server_.url(QStringLiteral("/stall")));
    request.setTransferTimeout(300);
    QCOMPARE(finish(nam_.get(request))->error(), QNetworkReply::OperationCanceledError);
    QVERIFY(clock.elapsed() >= 250);
    QVERIFY(server_.waitForRequest(QStringLiteral("/stall"), 1000));
    // Other requests are still answered meanwhile.
    QCOMPARE(status(finish(nam_.get(QNetworkRequest(server_.url("/page.html"))))), 200);
}

QTEST_MAIN(TestFixtureServer)
#include "tst_fixtureserver.moc"
