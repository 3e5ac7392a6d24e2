#include "fixtureserver.h"
#include "proxysetting.h"
#include "recordingproxy.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

using namespace brackenly;

namespace {

QByteArray fetch(QNetworkAccessManager& manager, const QUrl& url)
{
    QNetworkReply* reply = manager.get(QNetworkRequest(url));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!finished.wait(10000))
        return "(no answer)";
    reply->deleteLater();
    return reply->error() == QNetworkReply::NoError ? reply->readAll()
                                                    : "(error) " + reply->errorString().toUtf8();
}

} // namespace

class tst_ProxySetting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QNetworkProxy::setApplicationProxy(QNetworkProxy::DefaultProxy); }

    void builtFromTheBoxes_data();
    void builtFromTheBoxes();
    void validation_data();
    void validation();
    void processRequestsFollowTheSetting();
};

void tst_ProxySetting::builtFromTheBoxes_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("accessType");
    QTest::addColumn<QString>("proxyList");

    QTest::newRow("ticked") << true << "proxy.example"
                            << "8080" << 3 << "http=proxy.example:8080";
    QTest::newRow("unticked keeps the list") << false << "proxy.example"
                                             << "8080" << 1 << "http=proxy.example:8080";
    QTest::newRow("nothing trimmed") << true << " h "
                                     << " 80" << 3 << "http= h : 80";
    QTest::newRow("empty boxes") << false << ""
                                 << "" << 1 << "http=:";
}

void tst_ProxySetting::builtFromTheBoxes()
{
    QFETCH(bool, ticked);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(int, accessType);
    QFETCH(QString, proxyList);

    const ProxySetting setting = MakeProxySetting(ticked, host, port);
    QCOMPARE(setting.accessType, accessType);
    QCOMPARE(setting.proxyList, proxyList);
    QCOMPARE(setting.bypassList, QString());
}

void tst_ProxySetting::validation_data()
{
    QTest::addColumn<int>("accessType");
    QTest::addColumn<QString>("proxyList");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("type"); // QNetworkProxy::ProxyType when accepted
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    const int http = QNetworkProxy::HttpProxy;
    const int none = QNetworkProxy::NoProxy;
    QTest::newRow("name") << 3 << "http=proxy.example.com:8080" << true << http
                          << "proxy.example.com" << 8080;
    QTest::newRow("IPv4") << 3 << "http=10.1.2.3:3128" << true << http << "10.1.2.3" << 3128;
    QTest::newRow("IPv6") << 3 << "http=2001:db8::7:8080" << true << http << "2001:db8::7" << 8080;
    QTest::newRow("IPv6 in brackets") << 3 << "http=[::1]:8080" << true << http << "::1" << 8080;
    QTest::newRow("port 1") << 3 << "http=h:1" << true << http << "h" << 1;
    QTest::newRow("port 65535") << 3 << "http=h:65535" << true << http << "h" << 65535;
    QTest::newRow("leading zeros") << 3 << "http=h:00080" << true << http << "h" << 80;
    QTest::newRow("unticked ignores the values") << 1 << "http=:" << true << none << "" << 0;
    QTest::newRow("unticked, bad port") << 1 << "http=h:x" << true << none << "" << 0;

    const auto refused = [](const char* name, int access, const char* list) {
        QTest::newRow(name) << access << list << false << 0 << "" << 0;
    };
    refused("empty host", 3, "http=:8080");
    refused("blank host", 3, "http=   :8080");
    refused("blank inside host", 3, "http=pro xy:8080");
    refused("slash in host", 3, "http=h/x:8080");
    refused("host and port in host", 3, "http=h:80:8080");
    refused("empty port", 3, "http=h:");
    refused("port 0", 3, "http=h:0");
    refused("port 65536", 3, "http=h:65536");
    refused("negative port", 3, "http=h:-1");
    refused("signed port", 3, "http=h:+80");
    refused("blank before port", 3, "http=h: 80");
    refused("fraction", 3, "http=h:80.5");
    refused("letters in port", 3, "http=h:80a");
    refused("huge port", 3, "http=h:99999999999999999999999");
    refused("no colon", 3, "http=h");
    refused("other protocol", 3, "ftp=h:21");
    refused("unknown access type", 2, "http=h:8080");
}

void tst_ProxySetting::validation()
{
    QFETCH(int, accessType);
    QFETCH(QString, proxyList);
    QFETCH(bool, accepted);
    QFETCH(int, type);
    QFETCH(QString, host);
    QFETCH(int, port);

    ProxySetting setting;
    setting.accessType = accessType;
    setting.proxyList = proxyList;
    const std::optional<QNetworkProxy> proxy = ToNetworkProxy(setting);
    QCOMPARE(proxy.has_value(), accepted);
    if (!accepted)
        return;
    QCOMPARE(int(proxy->type()), type);
    if (type == QNetworkProxy::HttpProxy) {
        QCOMPARE(proxy->hostName(), host);
        QCOMPARE(int(proxy->port()), port);
    }
}

// Qt's own requests (the downloads) follow the process setting, and stop when it is cleared.
void tst_ProxySetting::processRequestsFollowTheSetting()
{
    FixtureServer site;
    QVERIFY(site.start());
    site.addPage(QStringLiteral("/page"), QStringLiteral("<p>the page</p>"));
    RecordingProxy proxy;
    QVERIFY(proxy.start(site.port()));
    QNetworkAccessManager manager;

    QVERIFY(SetProcessProxy(
        MakeProxySetting(true, QStringLiteral("127.0.0.1"), QString::number(proxy.port()))));
    QCOMPARE(fetch(manager, QUrl(QStringLiteral("http://proxied.test/page"))),
             QByteArray("<p>the page</p>"));
    const QList<RecordingProxy::Request> carried =
        proxy.requestsForHost(QStringLiteral("proxied.test"));
    QCOMPARE(carried.size(), 1);
    QCOMPARE(carried[0].target, QByteArray("http://proxied.test/page"));
    QVERIFY(site.waitForRequest(QStringLiteral("/page"), 5000));
    QCOMPARE(site.requestsFor(QStringLiteral("/page")).value(0).header("Via"),
             RecordingProxy::kVia);

    QVERIFY(SetProcessProxy(
        MakeProxySetting(false, QStringLiteral("127.0.0.1"), QString::number(proxy.port()))));
    proxy.clearRequests();
    site.clearRequests();
    QCOMPARE(fetch(manager, site.url(QStringLiteral("/page"))), QByteArray("<p>the page</p>"));
    QCOMPARE(proxy.requests().size(), 0);
    QCOMPARE(site.requestsFor(QStringLiteral("/page")).value(0).header("Via"), QByteArray());
}

QTEST_GUILESS_MAIN(tst_ProxySetting)
#include "tst_proxysetting.moc"
