// Image bytes read back from the engine's cache, without asking the server again.

#include "endprocess.h"
#include "enginetesting.h"
#include "fixtureserver.h"
#include "networkimagedownloader.h"
#include "webenginebrowser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <memory>

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

// A valid GIF followed by `padding` bytes of every value (decoders stop at the trailer).
QByteArray imageBytes(const QString& seed, int padding)
{
    QByteArray bytes = FixtureResponse::gif(seed);
    for (int i = 0; i < padding; ++i)
        bytes += char((i * 7 + i / 256) & 0xff);
    return bytes;
}

QString pageOf(const QStringList& images)
{
    QString html = QStringLiteral("<html><body>");
    for (const QString& src : images)
        html += QStringLiteral("<img src=\"%1\">").arg(src);
    return html + QStringLiteral("</body></html>");
}

QStringList imageSources(Browser& browser)
{
    QStringList srcs;
    for (const DomImage& image : browser.document()->images())
        srcs << image.src;
    return srcs;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestWebEngineCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void shownImagesComeFromTheCache_data();
    void shownImagesComeFromTheCache();
    void savingShownImagesAsksTheServerOnce();
    void unusableAnswersGiveNothing_data();
    void unusableAnswersGiveNothing();
    void stuckOrGonePageGivesNothingInTime_data();
    void stuckOrGonePageGivesNothingInTime();

private:
    // A fresh path prefix per case: the engine's cache outlives each browser.
    QString prefix() { return QStringLiteral("/c%1").arg(++cases_); }
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return server_.url(path, host).toString();
    }
    // Adds `count` images and a page showing them; returns their paths.
    QStringList addGallery(const QString& at, int count, int padding);

    FixtureServer server_;
    std::unique_ptr<WebEngineBrowser> browser_;
    int cases_ = 0;
};

void TestWebEngineCache::initTestCase()
{
    QVERIFY(server_.start());
}

void TestWebEngineCache::init()
{
    WebEngineBrowser::setCallTimeoutMs(3000);
    WebEngineBrowser::setMaxCachedBytes(50 * 1024 * 1024);
    browser_ = std::make_unique<WebEngineBrowser>();
    showView(*browser_);
}

void TestWebEngineCache::cleanup()
{
    browser_.reset();
}

QStringList TestWebEngineCache::addGallery(const QString& at, int count, int padding)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = at + QStringLiteral("/i%1.gif").arg(i);
        server_.addResource(path, imageBytes(path, padding), "image/gif");
        paths << path;
    }
    server_.addPage(at + QStringLiteral("/index.html"), pageOf(paths));
    return paths;
}

void TestWebEngineCache::shownImagesComeFromTheCache_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("padding");
    QTest::newRow("one image") << 1 << 0;
    QTest::newRow("forty images") << 40 << 0;
    // Several transfer chunks, every byte value.
    QTest::newRow("large images") << 3 << 300000;
}

void TestWebEngineCache::shownImagesComeFromTheCache()
{
    QFETCH(int, count);
    QFETCH(int, padding);
    const QString at = prefix();
    const QStringList paths = addGallery(at, count, padding);
    QVERIFY(loadAndWait(*browser_, url(at + "/index.html")));
    const QStringList srcs = imageSources(*browser_);
    QCOMPARE(srcs.size(), count);

    for (int i = 0; i < count; ++i) {
        const std::optional<QByteArray> bytes = browser_->cachedBytes(srcs[i]);
        QVERIFY2(bytes, qPrintable(srcs[i]));
        QCOMPARE(*bytes, imageBytes(paths[i], padding));
    }
    for (const QString& path : paths)
        QCOMPARE(server_.requestCount(path), 1); // the page's own request only
}

void TestWebEngineCache::savingShownImagesAsksTheServerOnce()
{
    const int count = 60;
    const QString at = prefix();
    const QStringList paths = addGallery(at, count, 0);
    QVERIFY(loadAndWait(*browser_, url(at + "/index.html")));
    NetworkImageDownloader downloader;
    downloader.setCachedBytes([](Browser* page, const QString& src) -> std::optional<QByteArray> {
        auto* browser = qobject_cast<WebEngineBrowser*>(page);
        return browser ? browser->cachedBytes(src) : std::nullopt;
    });
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    const QStringList srcs = imageSources(*browser_);
    QCOMPARE(srcs.size(), count);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        QVERIFY(downloader.download(srcs[i], dir.filePath(QString::number(i)), browser_.get()));
    const qint64 elapsed = clock.elapsed();

    int requests = 0;
    for (int i = 0; i < count; ++i) {
        QCOMPARE(readAll(dir.filePath(QString::number(i))), imageBytes(paths[i], 0));
        requests += server_.requestCount(paths[i]);
    }
    qInfo("%d images saved in %lld ms, %d image requests", count, elapsed, requests);
    QCOMPARE(requests, count);
}

void TestWebEngineCache::unusableAnswersGiveNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readable");
    QTest::newRow("same origin") << "plain" << true;
    QTest::newRow("cross-origin with CORS") << "cors" << true;
    QTest::newRow("cross-origin without CORS") << "no cors" << false;
    QTest::newRow("not found") << "404" << false;
    QTest::newRow("server error with an image body") << "500" << false;
    QTest::newRow("empty body") << "empty" << false;
    QTest::newRow("within the size limit") << "small" << true;
    QTest::newRow("over the size limit") << "large" << false;
    QTest::newRow("never shown") << "not shown" << false;
    QTest::newRow("data address") << "data" << false;
}

void TestWebEngineCache::unusableAnswersGiveNothing()
{
    QFETCH(QString, kind);
    QFETCH(bool, readable);
    const QString at = prefix();
    const QString path = at + "/img.gif";
    const QByteArray bytes = imageBytes(path, kind == "large" ? 2000 : kind == "small" ? 900 : 0);
    QString src = url(path);
    server_.addResource(path, bytes, "image/gif");
    if (kind == "cors" || kind == "no cors") {
        src = url(path, QStringLiteral("localhost"));
        if (kind == "cors") {
            server_.addHeader(path, "Access-Control-Allow-Origin", url("/").chopped(1).toUtf8());
            server_.addHeader(path, "Access-Control-Allow-Credentials", "true");
        }
    } else if (kind == "404" || kind == "500") {
        server_.setStatus(path, kind.toInt());
    } else if (kind == "empty") {
        server_.addResource(path, QByteArray(), "image/gif");
    } else if (kind == "small" || kind == "large") {
        WebEngineBrowser::setMaxCachedBytes(1000);
    } else if (kind == "data") {
        src = "data:image/gif;base64," + QString::fromLatin1(bytes.toBase64());
    }
    server_.addPage(at + "/index.html",
                    pageOf(kind == "not shown" ? QStringList() : QStringList{src}));
    QVERIFY(loadAndWait(*browser_, url(at + "/index.html")));
    const int before = server_.requestCount(path);
    QCOMPARE(before, kind == "not shown" || kind == "data" ? 0 : 1);

    const std::optional<QByteArray> cached = browser_->cachedBytes(src);

    QCOMPARE(cached.has_value(), readable);
    if (readable)
        QCOMPARE(*cached, bytes);
    QCOMPARE(server_.requestCount(path), before);
    // The browser goes on answering.
    QCOMPARE(browser_->document()->images().size(), kind == "not shown" ? 0 : 1);
}

void TestWebEngineCache::stuckOrGonePageGivesNothingInTime_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::newRow("renderer stuck in a script") << "stuck" << 500 << 450 << 2000;
    QTest::newRow("fetch never settles") << "stall" << 500 << 450 << 2000;
    QTest::newRow("browser destroyed during the wait") << "destroy" << 3000 << 0 << 1500;
    QTest::newRow("renderer killed during the wait") << "kill" << 3000 << 0 << 1500;
    QTest::newRow("view deleted") << "view" << 3000 << 0 << 200;
}

void TestWebEngineCache::stuckOrGonePageGivesNothingInTime()
{
    QFETCH(QString, how);
    QFETCH(int, limitMs);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    const QString at = prefix();
    addGallery(at, 1, 0);
    server_.addPage(at + "/stuck.html",
                    "<html><body><img src='i0.gif'><script>window.addEventListener('load', "
                    "function () { setTimeout(function () { while (true) {} }, 100); });"
                    "</script></body></html>");
    // A CORS image nobody loaded goes to the server, which never answers.
    const QString stalled = at + "/stalled.gif";
    server_.stall(stalled);
    const QString stalledSrc = url(stalled, QStringLiteral("localhost"));
    QVERIFY(loadAndWait(*browser_, url(at + (how == "stuck" ? "/stuck.html" : "/index.html"))));
    // Not read from the page: the stuck one may be spinning already.
    const QString shown = url(at + "/i0.gif");
    if (how == "stuck")
        settle(300);
    WebEngineBrowser::setCallTimeoutMs(limitMs);

    WebEngineBrowser* browser = browser_.get();
    if (how == "destroy")
        QTimer::singleShot(150, this, [&] { browser_.reset(); });
    if (how == "kill") {
        const qint64 pid = browser->page()->renderProcessPid();
        QTimer::singleShot(150, this, [pid] { endProcess(pid); });
    }
    if (how == "view")
        delete browser->widget();
    QElapsedTimer clock;
    clock.start();
    const std::optional<QByteArray> cached =
        browser->cachedBytes(how == "stuck" || how == "view" ? shown : stalledSrc);
    const qint64 elapsed = clock.elapsed();

    QVERIFY(!cached);
    QVERIFY2(elapsed >= minMs && elapsed <= maxMs, qPrintable(QString::number(elapsed)));
    if (how == "stall") {
        QCOMPARE(server_.requestCount(stalled), 1);
        // A fetch given up on is no obstacle to the next one.
        QCOMPARE(browser_->cachedBytes(shown), imageBytes(at + "/i0.gif", 0));
    }
    if (how == "stuck") {
        // Not to be handed the next case's page.
        endProcess(browser_->page()->renderProcessPid());
    }
}

QTEST_MAIN(TestWebEngineCache)
#include "tst_webenginecache.moc"
