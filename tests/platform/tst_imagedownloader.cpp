#include "engineerror.h"
#include "fakebrowser.h"
#include "fixtureserver.h"
#include "networkimagedownloader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <ctime>
#include <functional>
#include <memory>

using namespace brackenly;

using ServerSetup = std::function<void(FixtureServer&)>;
Q_DECLARE_METATYPE(ServerSetup)

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Everything in the folder, hidden files included.
QStringList listing(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class TestImageDownloader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(server_.start()); }
    void init()
    {
        if (!server_.isRunning())
            QVERIFY(server_.start());
        server_.clearRequests();
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        downloader_ = std::make_unique<NetworkImageDownloader>();
        downloader_->setTimeoutMs(5000);
    }
    void cleanup()
    {
        // Lets the temporary folder go when a check on a read-only folder failed.
        QFile::setPermissions(dir_->filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void answers_data();
    void answers();
    void refusedAddresses_data();
    void refusedAddresses();
    void existingNameIsKept_data();
    void existingNameIsKept();
    void unusableFolder_data();
    void unusableFolder();
    void timeLimit_data();
    void timeLimit();
    void waitingDoesNotSpin();
    void folderRemovedDuringDownload();
    void fileAppearingMeanwhileIsKept_data();
    void fileAppearingMeanwhileIsKept();
    void nestedDownloads_data();
    void nestedDownloads();
    void engineCache_data();
    void engineCache();
    void referer_data();
    void referer();
    void requestCarriesPageAndCookies();

private:
    QString target(const QString& name = QStringLiteral("img.gif")) const
    {
        return dir_->filePath(name);
    }

    FixtureServer server_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<NetworkImageDownloader> downloader_;
};

void TestImageDownloader::answers_data()
{
    QTest::addColumn<ServerSetup>("setup");
    QTest::addColumn<QString>("src");       // a path on the server, or a whole address
    QTest::addColumn<QByteArray>("stored"); // empty: no file at all

    const QByteArray binary = QByteArray::fromHex("00ff0d0a1a00") + QByteArray(70000, 'x');
    QTest::newRow("200 image") << ServerSetup([](FixtureServer& s) { s.addImage("/a.gif"); })
                               << "/a.gif" << FixtureResponse::gif("/a.gif");
    QTest::newRow("200 large binary") << ServerSetup([binary](FixtureServer& s) {
        s.addResource("/b.bin", binary, "application/octet-stream");
    }) << "/b.bin" << binary;
    QTest::newRow("404") << ServerSetup([](FixtureServer& s) {
        s.addImage("/gone.gif");
        s.setStatus("/gone.gif", 404);
    }) << "/gone.gif" << QByteArray();
    QTest::newRow("500 with a body") << ServerSetup([](FixtureServer& s) {
        s.addImage("/err.gif");
        s.setStatus("/err.gif", 500);
    }) << "/err.gif" << QByteArray();
    QTest::newRow("300 without a target") << ServerSetup([](FixtureServer& s) {
        s.addImage("/choice.gif");
        s.setStatus("/choice.gif", 300);
    }) << "/choice.gif" << QByteArray();
    QTest::newRow("empty 200 body")
        << ServerSetup([](FixtureServer& s) { s.addResource("/empty.gif", {}, "image/gif"); })
        << "/empty.gif" << QByteArray();
    QTest::newRow("dropped midway")
        << ServerSetup([binary](FixtureServer& s) { s.dropMidway("/drop.bin", binary); })
        << "/drop.bin" << QByteArray();
    QTest::newRow("redirect, then dropped") << ServerSetup([binary](FixtureServer& s) {
        s.addRedirect("/rd.bin", "/drop2.bin");
        s.dropMidway("/drop2.bin", binary);
    }) << "/rd.bin" << QByteArray();
    QTest::newRow("redirect chain") << ServerSetup([](FixtureServer& s) {
        s.addImage("/c3.gif");
        s.addRedirect("/c1.gif", "/c2.gif", 302);
        s.addRedirect("/c2.gif", "/c3.gif", 307);
    }) << "/c1.gif" << FixtureResponse::gif("/c3.gif");
    QTest::newRow("redirect loop") << ServerSetup([](FixtureServer& s) {
        s.addRedirect("/loop1.gif", "/loop2.gif");
        s.addRedirect("/loop2.gif", "/loop1.gif");
    }) << "/loop1.gif" << QByteArray();
    QTest::newRow("redirect to a missing image")
        << ServerSetup([](FixtureServer& s) { s.addRedirect("/r.gif", "/missing.gif"); })
        << "/r.gif" << QByteArray();
    QTest::newRow("redirect to a local file") << ServerSetup([](FixtureServer& s) {
        s.addRedirect("/local.gif", "file:///etc/hostname");
    }) << "/local.gif" << QByteArray();
    QTest::newRow("compressed body") << ServerSetup([binary](FixtureServer& s) {
        s.addResource("/z.bin", qCompress(binary).mid(4), "application/octet-stream");
        s.addHeader("/z.bin", "Content-Encoding", "deflate");
    }) << "/z.bin" << binary;
    QTest::newRow("data address") << ServerSetup([](FixtureServer&) {})
                                  << "data:image/gif;base64,R0lGODlhAQABAAAAACw="
                                  << QByteArray::fromBase64("R0lGODlhAQABAAAAACw=");
}

void TestImageDownloader::answers()
{
    QFETCH(ServerSetup, setup);
    QFETCH(QString, src);
    QFETCH(QByteArray, stored);
    setup(server_);
    const QString address = src.startsWith('/') ? server_.url(src).toString() : src;

    const bool ok = downloader_->download(address, target(), nullptr);

    QCOMPARE(ok, !stored.isEmpty());
    if (ok) {
        QCOMPARE(readAll(target()), stored);
        QCOMPARE(listing(dir_->path()), QStringList{"img.gif"});
    } else {
        QCOMPARE(listing(dir_->path()), QStringList());
    }
}

void TestImageDownloader::refusedAddresses_data()
{
    QTest::addColumn<QString>("src");
    QTest::newRow("local file") << "file:///etc/hostname";
    QTest::newRow("local file, blanks around") << "  file:///etc/hostname ";
    QTest::newRow("resource") << "qrc:/brackenly/js/helper.js";
    QTest::newRow("ftp") << "ftp://127.0.0.1/a.gif";
    QTest::newRow("relative") << "img/a.gif";
    QTest::newRow("no host") << "http:///a.gif";
}

void TestImageDownloader::refusedAddresses()
{
    QFETCH(QString, src);
    QVERIFY(!downloader_->download(src, target(), nullptr));
    QCOMPARE(listing(dir_->path()), QStringList());
    QCOMPARE(server_.totalRequests(), 0);
}

void TestImageDownloader::existingNameIsKept_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("file") << "file";
    QTest::newRow("folder") << "folder";
    QTest::newRow("dangling link") << "link";
}

void TestImageDownloader::existingNameIsKept()
{
    QFETCH(QString, kind);
    server_.addImage("/a.gif");
    if (kind == "file")
        QVERIFY(writeFile(target(), "keep"));
    else if (kind == "folder")
        QVERIFY(QDir(dir_->path()).mkdir("img.gif"));
    else
        QVERIFY(QFile::link(dir_->filePath("nowhere"), target()));

    QVERIFY(!downloader_->download(server_.url("/a.gif").toString(), target(), nullptr));

    QCOMPARE(server_.requestCount("/a.gif"), 0);
    QCOMPARE(listing(dir_->path()), QStringList{"img.gif"});
    if (kind == "file")
        QCOMPARE(readAll(target()), QByteArray("keep"));
}

void TestImageDownloader::unusableFolder_data()
{
    QTest::addColumn<QString>("path"); // relative to the temporary folder unless absolute
    QTest::addColumn<bool>("mayAsk");  // whether the server may have been asked
    QTest::newRow("missing folder") << "missing/img.gif" << false;
    QTest::newRow("folder is a file") << "plain/img.gif" << false;
    QTest::newRow("read-only folder") << "locked/img.gif" << false;
    QTest::newRow("system folder") << "/proc/brackenly-img.gif" << false;
    QTest::newRow("name too long") << QString(300, 'n') << true;
    QTest::newRow("empty name") << "" << false;
}

void TestImageDownloader::unusableFolder()
{
    QFETCH(QString, path);
    QFETCH(bool, mayAsk);
    server_.addImage("/a.gif");
    QVERIFY(writeFile(dir_->filePath("plain"), "x"));
    QDir(dir_->path()).mkdir("locked");
    QFile::setPermissions(dir_->filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
    if (path.startsWith("locked") && QTemporaryFile(dir_->filePath("locked/probe")).open())
        QSKIP("this user writes into read-only folders");
    const QString full = QDir::isAbsolutePath(path) ? path : dir_->path() + '/' + path;
    const QStringList before = listing(dir_->path());

    QVERIFY(!downloader_->download(server_.url("/a.gif").toString(), full, nullptr));

    QVERIFY(!QFileInfo::exists(full) || path.isEmpty());
    QCOMPARE(listing(dir_->path()), before);
    QCOMPARE(listing(dir_->filePath("locked")), QStringList());
    if (!mayAsk)
        QCOMPARE(server_.requestCount("/a.gif"), 0);
}

void TestImageDownloader::timeLimit_data()
{
    QTest::addColumn<ServerSetup>("setup");
    QTest::addColumn<bool>("stored");
    QTest::newRow("never answers") << ServerSetup([](FixtureServer& s) {
        s.addImage("/t.gif");
        s.stall("/t.gif");
    }) << false;
    QTest::newRow("answers too late") << ServerSetup([](FixtureServer& s) {
        s.addImage("/t.gif");
        s.setDelay("/t.gif", 3000);
    }) << false;
    QTest::newRow("redirect, then never answers") << ServerSetup([](FixtureServer& s) {
        s.addRedirect("/t.gif", "/u.gif");
        s.addImage("/u.gif");
        s.stall("/u.gif");
    }) << false;
    QTest::newRow("slow but in time") << ServerSetup([](FixtureServer& s) {
        s.addImage("/t.gif");
        s.setDelay("/t.gif", 100);
    }) << true;
}

void TestImageDownloader::timeLimit()
{
    QFETCH(ServerSetup, setup);
    QFETCH(bool, stored);
    setup(server_);
    downloader_->setTimeoutMs(600);
    // Without a working time limit the download would only end when the server goes.
    QTimer safetyNet;
    safetyNet.setSingleShot(true);
    connect(&safetyNet, &QTimer::timeout, &server_, [this] { server_.stop(); });
    safetyNet.start(4000);
    QElapsedTimer clock;
    clock.start();

    QCOMPARE(downloader_->download(server_.url("/t.gif").toString(), target(), nullptr), stored);

    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(listing(dir_->path()), stored ? QStringList{"img.gif"} : QStringList());
}

void TestImageDownloader::waitingDoesNotSpin()
{
    server_.addImage("/t.gif");
    server_.stall("/t.gif");
    downloader_->setTimeoutMs(1000);
    const std::clock_t cpuBefore = std::clock();

    QVERIFY(!downloader_->download(server_.url("/t.gif").toString(), target(), nullptr));

    const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    // A wait on events costs about 1 ms here, a polling loop a few hundred.
    QVERIFY2(cpuMs < 100, qPrintable(QString::number(cpuMs)));
}

void TestImageDownloader::folderRemovedDuringDownload()
{
    const QString folder = dir_->filePath("sub");
    QVERIFY(QDir(dir_->path()).mkdir("sub"));
    server_.setHandler("/v.gif", [folder](const FixtureRequest&) {
        QDir(folder).removeRecursively();
        return FixtureResponse::bytes(FixtureResponse::gif("v"), "image/gif");
    });

    QVERIFY(!downloader_->download(server_.url("/v.gif").toString(), folder + "/img.gif", nullptr));
    QCOMPARE(listing(dir_->path()), QStringList());
}

void TestImageDownloader::fileAppearingMeanwhileIsKept_data()
{
    QTest::addColumn<bool>("fromCache");
    QTest::newRow("network") << false;
    QTest::newRow("engine cache") << true;
}

void TestImageDownloader::fileAppearingMeanwhileIsKept()
{
    QFETCH(bool, fromCache);
    const QString path = target();
    server_.setHandler("/w.gif", [path](const FixtureRequest&) {
        writeFile(path, "theirs");
        return FixtureResponse::bytes(FixtureResponse::gif("w"), "image/gif");
    });
    FakeBrowser page;
    if (fromCache)
        downloader_->setCachedBytes([path](Browser*, const QString&) {
            writeFile(path, "theirs");
            return std::optional<QByteArray>("ours");
        });

    QVERIFY(!downloader_->download(server_.url("/w.gif").toString(), path, &page));

    QCOMPARE(readAll(path), QByteArray("theirs"));
    QCOMPARE(listing(dir_->path()), QStringList{"img.gif"});
}

void TestImageDownloader::nestedDownloads_data()
{
    QTest::addColumn<int>("outerDelayMs");
    QTest::addColumn<int>("innerDelayMs");
    QTest::newRow("inner ends first") << 400 << 0;
    QTest::newRow("outer ends first") << 50 << 400;
}

void TestImageDownloader::nestedDownloads()
{
    QFETCH(int, outerDelayMs);
    QFETCH(int, innerDelayMs);
    server_.addImage("/outer.gif");
    server_.setDelay("/outer.gif", outerDelayMs);
    server_.addImage("/inner.gif");
    server_.setDelay("/inner.gif", innerDelayMs);
    bool innerStarted = false;
    bool innerStored = false;
    QTimer::singleShot(20, [&] {
        innerStarted = true;
        innerStored = downloader_->download(server_.url("/inner.gif").toString(),
                                            target("inner.gif"), nullptr);
    });

    const bool outerStored =
        downloader_->download(server_.url("/outer.gif").toString(), target("outer.gif"), nullptr);
    QTRY_VERIFY(innerStarted && innerStored); // in case the outer one returned first

    QVERIFY(outerStored);
    QCOMPARE(readAll(target("outer.gif")), FixtureResponse::gif("/outer.gif"));
    QCOMPARE(readAll(target("inner.gif")), FixtureResponse::gif("/inner.gif"));
    QCOMPARE(listing(dir_->path()), (QStringList{"inner.gif", "outer.gif"}));
}

void TestImageDownloader::engineCache_data()
{
    QTest::addColumn<int>("answer"); // 0 bytes, 1 nothing, 2 empty bytes, 3 throws
    QTest::addColumn<bool>("withPage");
    QTest::addColumn<bool>("fromCache");
    QTest::newRow("cached bytes") << 0 << true << true;
    QTest::newRow("not cached") << 1 << true << false;
    QTest::newRow("cached but empty") << 2 << true << false;
    QTest::newRow("engine fails") << 3 << true << false;
    QTest::newRow("no page") << 0 << false << false;
}

void TestImageDownloader::engineCache()
{
    QFETCH(int, answer);
    QFETCH(bool, withPage);
    QFETCH(bool, fromCache);
    server_.addImage("/e.gif");
    const QString src = server_.url("/e.gif").toString();
    auto page = std::make_unique<FakeBrowser>();
    QList<QPair<Browser*, QString>> asked;
    downloader_->setCachedBytes([&](Browser* p, const QString& s) -> std::optional<QByteArray> {
        asked.append({p, s});
        if (answer == 3)
            throw EngineError("page went away");
        if (answer == 1)
            return std::nullopt;
        return answer == 2 ? QByteArray() : QByteArray("cached");
    });

    QVERIFY(downloader_->download(src, target(), withPage ? page.get() : nullptr));

    QCOMPARE(asked.size(), withPage ? 1 : 0);
    if (withPage)
        QCOMPARE(asked.first(), (QPair<Browser*, QString>(page.get(), src)));
    QCOMPARE(readAll(target()), fromCache ? QByteArray("cached") : FixtureResponse::gif("/e.gif"));
    QCOMPARE(server_.requestCount("/e.gif"), fromCache ? 0 : 1);
    QCOMPARE(listing(dir_->path()), QStringList{"img.gif"});
}

void TestImageDownloader::referer_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QByteArray>("referer");
    QTest::newRow("same origin") << "http://a.test/g/p.html?x=1#top"
                                 << "http://a.test/i.gif"
                                 << QByteArray("http://a.test/g/p.html?x=1");
    QTest::newRow("other host") << "http://a.test/g/p.html"
                                << "http://b.test/i.gif" << QByteArray("http://a.test/");
    QTest::newRow("other port") << "http://a.test:8080/p"
                                << "http://a.test/i.gif" << QByteArray("http://a.test:8080/");
    QTest::newRow("user info dropped") << "http://u:pw@a.test/p"
                                       << "http://a.test/i.gif" << QByteArray("http://a.test/p");
    QTest::newRow("https to https elsewhere")
        << "https://a.test/p"
        << "https://b.test/i.gif" << QByteArray("https://a.test/");
    QTest::newRow("https to http") << "https://a.test/p"
                                   << "http://a.test/i.gif" << QByteArray();
    QTest::newRow("local page") << "file:///home/u/p.html"
                                << "http://a.test/i.gif" << QByteArray();
}

void TestImageDownloader::referer()
{
    QFETCH(QString, page);
    QFETCH(QString, image);
    QFETCH(QByteArray, referer);
    QCOMPARE(NetworkImageDownloader::refererFor(QUrl(page), QUrl(image)), referer);
}

void TestImageDownloader::requestCarriesPageAndCookies()
{
    server_.addImage("/h.gif");
    server_.addHeader("/h.gif", "Set-Cookie", "fresh=1; Path=/");
    const QUrl image = server_.url("/h.gif");
    auto* jar = new QNetworkCookieJar;
    jar->setCookiesFromUrl({QNetworkCookie("session", "abc")}, image);
    downloader_->setCookieJar(jar);
    FakeBrowser page;
    page.setDocument(FakeDocument::create(server_.url("/gallery/index.html").toString()));

    QVERIFY(downloader_->download(image.toString(), target(), &page));

    const FixtureRequest request = server_.requestsFor("/h.gif").value(0);
    QCOMPARE(request.header("Referer"), server_.url("/gallery/index.html").toEncoded());
    QCOMPARE(request.header("Cookie"), QByteArray("session=abc"));
    QVERIFY(request.header("User-Agent").startsWith("Mozilla/5.0 ("));
    QCOMPARE(downloader_->cookieJar()->cookiesForUrl(image).size(), 2);
}

QTEST_MAIN(TestImageDownloader)
#include "tst_imagedownloader.moc"
