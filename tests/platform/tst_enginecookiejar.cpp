#include "enginecookiejar.h"
#include "fixtureserver.h"
#include "networkimagedownloader.h"

#include <QNetworkCookie>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <memory>

using namespace brackenly;

namespace {

QNetworkCookie cookie(const QByteArray& name, const QString& domain, const QString& path = "/")
{
    QNetworkCookie c(name, "v-" + name);
    c.setDomain(domain);
    c.setPath(path);
    return c;
}

} // namespace

class TestEngineCookieJar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(server_.start()); }
    void init()
    {
        server_.clearRequests();
        server_.addImage("/img/x.gif");
        profile_ = std::make_unique<QWebEngineProfile>(); // off the record: a fresh store
        // The store starts working once a page of the profile has loaded something.
        page_ = std::make_unique<QWebEnginePage>(profile_.get());
        QSignalSpy loaded(page_.get(), &QWebEnginePage::loadFinished);
        page_->setHtml(QStringLiteral("<p>cookies</p>"));
        QVERIFY(loaded.wait(20000));
        downloader_ = std::make_unique<NetworkImageDownloader>();
        jar_ = new EngineCookieJar(profile_->cookieStore());
        downloader_->setCookieJar(jar_);
        QVERIFY(dir_.isValid());
    }
    void cleanup()
    {
        downloader_.reset();
        page_.reset();
        profile_.reset();
    }

    void engineCookiesGoWithDownloads_data();
    void engineCookiesGoWithDownloads();
    void answerCookiesReachTheEngine();

private:
    QNetworkCookie lastAdded(QSignalSpy& spy, const QByteArray& name) const
    {
        for (const QList<QVariant>& args : spy)
            if (args.value(0).value<QNetworkCookie>().name() == name)
                return args.value(0).value<QNetworkCookie>();
        return QNetworkCookie();
    }

    FixtureServer server_;
    QTemporaryDir dir_;
    std::unique_ptr<QWebEngineProfile> profile_;
    std::unique_ptr<QWebEnginePage> page_;
    std::unique_ptr<NetworkImageDownloader> downloader_;
    EngineCookieJar* jar_ = nullptr;
};

void TestEngineCookieJar::engineCookiesGoWithDownloads_data()
{
    QTest::addColumn<QNetworkCookie>("engineCookie");
    QTest::addColumn<bool>("removedAgain");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("this host") << cookie("a", "127.0.0.1") << false << QByteArray("a=v-a");
    QTest::newRow("other host") << cookie("b", "other.test") << false << QByteArray();
    QTest::newRow("other path") << cookie("c", "127.0.0.1", "/private") << false << QByteArray();
    QTest::newRow("image path") << cookie("d", "127.0.0.1", "/img") << false << QByteArray("d=v-d");
    QTest::newRow("removed by the engine") << cookie("e", "127.0.0.1") << true << QByteArray();
}

void TestEngineCookieJar::engineCookiesGoWithDownloads()
{
    QFETCH(QNetworkCookie, engineCookie);
    QFETCH(bool, removedAgain);
    QFETCH(QByteArray, sent);
    QWebEngineCookieStore* store = profile_->cookieStore();
    QSignalSpy added(store, &QWebEngineCookieStore::cookieAdded);
    QSignalSpy removed(store, &QWebEngineCookieStore::cookieRemoved);
    store->setCookie(engineCookie);
    QTRY_VERIFY(!lastAdded(added, engineCookie.name()).name().isEmpty());
    if (removedAgain) {
        store->deleteCookie(engineCookie);
        QTRY_COMPARE(removed.size(), 1);
    }

    const QUrl image = server_.url("/img/x.gif");
    QVERIFY(
        downloader_->download(image.toString(), dir_.filePath(QTest::currentDataTag()), nullptr));

    QCOMPARE(server_.requestsFor("/img/x.gif").value(0).header("Cookie"), sent);
}

void TestEngineCookieJar::answerCookiesReachTheEngine()
{
    server_.addHeader("/img/x.gif", "Set-Cookie", "fresh=1; Path=/");
    QSignalSpy added(profile_->cookieStore(), &QWebEngineCookieStore::cookieAdded);

    QVERIFY(downloader_->download(server_.url("/img/x.gif").toString(), dir_.filePath("fresh.gif"),
                                  nullptr));

    QTRY_COMPARE(lastAdded(added, "fresh").value(), QByteArray("1"));
    QCOMPARE(lastAdded(added, "fresh").domain(), QStringLiteral("127.0.0.1"));
    // The engine's echo of the cookie replaces the jar's copy instead of doubling it.
    QCOMPARE(jar_->cookiesForUrl(server_.url("/img/x.gif")).size(), 1);
}

QTEST_MAIN(TestEngineCookieJar)
#include "tst_enginecookiejar.moc"
