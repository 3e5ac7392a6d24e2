// The image download over the loopback server, and the folder opener.

#include "desktopfolderopener.h"
#include "engineerror.h"
#include "fakebrowser.h"
#include "fakedocument.h"
#include "fixtureserver.h"
#include "networkimagedownloader.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace brackenly;

namespace {

constexpr qint64 kCap = 100000;
const QString kElsewhere = QStringLiteral("http://b.example.org/ck.gif");

QByteArray binary()
{
    return QByteArray::fromHex("00ff0d0a1a00") + QByteArray(70000, 'x');
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything in the folder, hidden files (a temporary download) and broken links included.
QStringList listing(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class TestImageDownloader : public QObject
{
    Q_OBJECT
public Q_SLOTS:
    void openUrl(const QUrl& url) { opened_ << url; } // stands in for the file manager

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        server_.addResource("/a.bin", binary(), "application/octet-stream");
        server_.addImage("/a.gif");
        server_.addImage("/gone.gif");
        server_.setStatus("/gone.gif", 404);
        server_.stall("/stall.gif");
        server_.dropMidway("/drop.bin", binary());
        server_.addResource("/big.bin", QByteArray(kCap + 1, 'b'), "application/octet-stream");
        server_.addImage("/ck.gif");
        server_.addHeader("/ck.gif", "Set-Cookie", "new=2; Path=/");
        server_.addRedirect("/away.gif", kElsewhere);
    }
    void init()
    {
        server_.clearRequests();
        for (const QString& name : listing(dir_.path()))
            QVERIFY(QFile::remove(dir_.filePath(name)));
        downloader_ = std::make_unique<NetworkImageDownloader>();
        downloader_->setTimeoutMs(600);
        downloader_->setMaxImageBytes(kCap);
    }

    void download_data()
    {
        QTest::addColumn<QString>("src");   // a path on the server, or a whole address
        QTest::addColumn<QString>("there"); // what img.gif is before: "file", "link", "no folder"
        QTest::addColumn<QByteArray>("stored"); // empty: the download fails
        QTest::addColumn<int>("requests");
        const auto row = [](const char* name, const char* src, const char* there,
                            const QByteArray& stored, int requests) {
            QTest::newRow(name) << src << there << stored << requests;
        };
        row("200", "/a.bin", "", binary(), 1);
        row("existing file is kept", "/a.gif", "file", {}, 0);
        // A link planted in the folder is neither written through nor replaced.
        row("planted link is kept", "/a.gif", "link", {}, 0);
        row("404", "/gone.gif", "", {}, 1);
        row("never answers", "/stall.gif", "", {}, 1);
        row("dropped midway", "/drop.bin", "", {}, 1);
        row("over the byte cap", "/big.bin", "", {}, 1);
        row("local file", "file:///etc/hostname", "", {}, 0);
        row("folder removed", "/a.gif", "no folder", {}, 0);
    }
    void download()
    {
        QFETCH(QString, src);
        QFETCH(QString, there);
        QFETCH(QByteArray, stored);
        QFETCH(int, requests);
        const QString path = dir_.filePath(there == "no folder" ? "gone/img.gif" : "img.gif");
        QString refusal;
        downloader_->setFolderRefusedHandler(
            [&](const QString&, const QString& reason) { refusal = reason; });
        QFile existing(path);
        if (there == "file")
            QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("keep") == 4);
        existing.close();
        const QString outside = dir_.path() + "-outside.gif";
        if (there == "link")
            QVERIFY(QFile::link(outside, path));
        const bool ok = downloader_->download(
            src.startsWith('/') ? server_.url(src).toString() : src, path, nullptr);

        QCOMPARE(ok, !stored.isEmpty());
        QCOMPARE(readAll(path), there == "file" ? QByteArray("keep") : stored);
        // Nothing half-written is left behind.
        QCOMPARE(listing(dir_.path()),
                 ok || there == "file" || there == "link" ? QStringList{"img.gif"} : QStringList());
        QCOMPARE(server_.totalRequests(), requests);
        QCOMPARE(QFileInfo(path).isSymLink(), there == "link");
        QCOMPARE(refusal.isEmpty(), there != "no folder");
        QVERIFY(!QFileInfo::exists(outside));
    }
    void nestedDownloads()
    {
        server_.addImage("/outer.gif");
        server_.setDelay("/outer.gif", 300); // the inner one ends first
        server_.addImage("/inner.gif");
        bool innerStored = false;
        // Started from an event handled while the outer download waits.
        QTimer::singleShot(20, this, [&] {
            innerStored = downloader_->download(server_.url("/inner.gif").toString(),
                                                dir_.filePath("inner.gif"), nullptr);
        });

        QVERIFY(downloader_->download(server_.url("/outer.gif").toString(),
                                      dir_.filePath("outer.gif"), nullptr));
        QTRY_VERIFY(innerStored);
        QCOMPARE(readAll(dir_.filePath("outer.gif")), FixtureResponse::gif("/outer.gif"));
        QCOMPARE(readAll(dir_.filePath("inner.gif")), FixtureResponse::gif("/inner.gif"));
        QCOMPARE(listing(dir_.path()), QStringList({"inner.gif", "outer.gif"}));
    }
    void cacheFirstThenNetwork_data()
    {
        QTest::addColumn<QString>("answer");   // what the engine's cache does
        QTest::addColumn<QString>("prepared"); // which page prepare() was told of, if any
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("fromCache");
        const auto row = [](const char* name, const char* answer, const char* prepared,
                            const QStringList& asked, bool fromCache) {
            QTest::newRow(name) << QString(answer) << QString(prepared) << asked << fromCache;
        };
        row("cached", "bytes", "", {"e.gif"}, true);
        row("engine fails", "throws", "", {"e.gif"}, false);
        // Prepared bytes serve the download without asking the engine again.
        row("prepared", "bytes", "this", {"e.gif,f.gif"}, true);
        row("prepared, not cached", "nothing", "this", {"e.gif,f.gif", "e.gif"}, false);
        row("prepared for another page", "bytes", "other", {"e.gif,f.gif", "e.gif"}, true);
    }
    void cacheFirstThenNetwork()
    {
        QFETCH(QString, answer);
        QFETCH(QString, prepared);
        QFETCH(QStringList, asked);
        QFETCH(bool, fromCache);
        server_.addImage("/e.gif");
        const QString src = server_.url("/e.gif").toString();
        const QString other = server_.url("/f.gif").toString();
        FakeBrowser page;
        FakeBrowser otherPage;
        QStringList calls;
        downloader_->setCachedBytes([&](Browser*, const QStringList& srcs, qint64) {
            calls << QStringList(srcs).replaceInStrings(QRegularExpression(".*/"), "").join(',');
            if (answer == "throws")
                throw EngineError("page went away");
            QHash<QString, QByteArray> found;
            if (answer == "bytes") {
                for (const QString& s : srcs)
                    found.insert(s, "cached " + s.toUtf8());
            }
            return found;
        });

        // It holds both only when the engine gave both.
        if (!prepared.isEmpty())
            QCOMPARE(downloader_->prepare({src, other}, prepared == "this" ? &page : &otherPage),
                     answer == "bytes");
        QVERIFY(downloader_->download(src, dir_.filePath("img.gif"), &page));

        QCOMPARE(calls, asked);
        QCOMPARE(readAll(dir_.filePath("img.gif")),
                 fromCache ? "cached " + src.toUtf8() : FixtureResponse::gif("/e.gif"));
        QCOMPARE(server_.requestCount("/e.gif"), fromCache ? 0 : 1);
    }
    // The Referer and cookies a browser sends by default for an image, by the page it is shown
    // on (site names reached through the server as a proxy). A cookie of the image's host in
    // the jar, and one the image's answer sets: both or neither reach the downloads of an image
    // from another site than its page.
    void requestHeaders_data()
    {
        QTest::addColumn<QString>("page"); // "": no page
        QTest::addColumn<QString>("src");  // /away.gif goes on to another site
        QTest::addColumn<QString>("cookie");
        QTest::addColumn<QString>("referer");
        QTest::addColumn<bool>("sent"); // the cookie
        const auto row = [](const char* name, const char* page, const char* src, const char* cookie,
                            const char* referer, bool sent) {
            QTest::newRow(name) << QString(page) << QString(src) << QString(cookie)
                                << QString(referer) << sent;
        };
        const char* strict = "s=1; SameSite=Strict";
        const char* lax = "s=1; SameSite=Lax";
        const char* img = "http://a.example.com/ck.gif";
        row("no page", "", img, strict, "", true);
        row("same origin: the address", "http://a.example.com/d/p.html?q=1#top", img, strict,
            "http://a.example.com/d/p.html?q=1", true);
        row("same site: the origin", "http://u:pw@x.example.com:81/d/p.html",
            "http://b.c.example.com/ck.gif", lax, "http://x.example.com:81/", true);
        row("public suffix between", "http://a.co.uk/p.html", "http://b.co.uk/ck.gif", lax,
            "http://a.co.uk/", false);
        // Unmarked; split into labels like a name, both would end in "0.1".
        row("IP addresses", "http://10.0.0.1/p.html", "http://20.0.0.1/ck.gif", "s=1",
            "http://10.0.0.1/", false);
        row("https page, http image", "https://a.example.com/p.html", img, strict, "", false);
        row("page not on the web", "file:///tmp/p.html", img, strict, "", false);
        row("redirected to another site", "http://a.example.com/p.html",
            "http://a.example.com/away.gif", lax, "http://a.example.com/", false);
    }
    void requestHeaders()
    {
        QFETCH(QString, page);
        QFETCH(QString, src);
        QFETCH(QString, cookie);
        QFETCH(QString, referer);
        QFETCH(bool, sent);
        QNetworkProxy::setApplicationProxy({QNetworkProxy::HttpProxy, "127.0.0.1", server_.port()});
        const auto direct = qScopeGuard([] { QNetworkProxy::setApplicationProxy({}); });
        const QUrl image(src.endsWith("/away.gif") ? kElsewhere : src);
        auto* jar = new QNetworkCookieJar;
        jar->setCookiesFromUrl(QNetworkCookie::parseCookies(cookie.toUtf8()), image);
        downloader_->setCookieJar(jar);
        FakeBrowser browser;
        browser.setDocument(FakeDocument::create(page));

        QVERIFY(downloader_->download(src, dir_.filePath("ck.gif"),
                                      page.isEmpty() ? nullptr : &browser));
        const FixtureRequest request = server_.requestsFor("/ck.gif").value(0);
        QCOMPARE(QString::fromLatin1(request.header("Referer")), referer);
        QCOMPARE(request.header("Cookie"), sent ? QByteArray("s=1") : QByteArray());
        QCOMPARE(jar->cookiesForUrl(image).size(), sent ? 2 : 1);
    }
    void abortEndsTheDownload()
    {
        downloader_->setTimeoutMs(20000);
        const QString path = dir_.filePath("img.gif");
        QTimer::singleShot(100, [&] { downloader_->abort(path); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!downloader_->download(server_.url("/stall.gif").toString(), path, nullptr));
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(listing(dir_.path()), QStringList());
    }
    void folderOpener_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("shell syntax") << "/tmp/x; rm -rf ~ $(touch p)`id`";
        QTest::newRow("address syntax") << "/tmp/a#b?c=1&d%20e";
    }
    void folderOpener()
    {
        QFETCH(QString, folder);
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        opened_.clear();
        QVERIFY(DesktopFolderOpener().openFolder(folder));
        QDesktopServices::unsetUrlHandler("file");

        // Exactly the folder as a local file: no part of it read as address syntax.
        QCOMPARE(opened_.size(), 1);
        QCOMPARE(opened_.value(0).toLocalFile(), folder);
    }

private:
    FixtureServer server_;
    QTemporaryDir dir_;
    std::unique_ptr<NetworkImageDownloader> downloader_;
    QList<QUrl> opened_;
};

QTEST_MAIN(TestImageDownloader)
#include "tst_imagedownloader.moc"
