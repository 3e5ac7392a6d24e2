// Measures an image-saving run against what the same work costs without the harvest.
// Site: 1 page x 300 images + 100 links to pages with 5 images each, on a loopback server.
//   (a) click on "S A V E    I M A G E" until the caption returns (the whole main window);
//       once more with the links followed by 4 capture windows at once (--jobs 4); and both
//       again with every answer 20 ms late, as from a server across the internet
//   (b) a bare view loading the 101 pages one after another, plus 10 ms per link: measured
//       twice, as a QWebEngineView (complete at loadFinished) and as the program's own browser
//       control alone (complete at its DocumentComplete); the target holds against the lower.
//       For context, the QWebEngineView floor again with 4 views at once, and both without
//       the pages' images: what the engine itself gains from loading pages side by side
//   (c) server requests per saved image during (a)
//   (d) wget -r -l1 -p -nd of the same site
// During (a) it also reports the longest time the window left a 10 ms timer waiting, and for
// (a) and the QWebEngineView floor how long the main thread ran and how busy the machine was.
// For context it also times the image folder's file system alone: the saved files written
// again, as the downloader writes them (a temporary name, then a rename), into a new folder
// beside it. Where file creation is slow this share of (a) is the disk's, not the run's.
// (a) and the floor are measured once more with Qt's accessibility bridge on, as on a desktop
// with a screen reader listening: a private session bus (dbus-daemon, which starts the
// accessibility bus from at-spi2-core, whose registry starts on demand) and
// QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, and a listener process registered for the events a screen
// reader follows. Each measure runs in a process of its own, so no cache carries over. Run:
// QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a ./bench_harvest

#include "benchcpu.h"
#include "benchgallery.h"
#include "benchsessionbus.h"
#include "benchwait.h"
#include "browserapp.h"
#include "enginesession.h"
#include "fixtureserver.h"
#include "frmbrowser.h"
#include "imageharvester.h"
#include "networkimagedownloader.h"
#include "prompt.h"
#include "scenegraphbackend.h"
#include "webenginebrowserfactory.h"

#include <QAccessible>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

using namespace brackenly;

namespace {

constexpr int kImages = 300;
constexpr int kPages = 100;
constexpr int kImagesPerPage = 5;
constexpr int kTimer2Ms = 10;
constexpr int kLatencyMs = 20; // the "l" runs: each answer waits this long

void printCpu(const CpuMeter& cpu)
{
    std::printf("RESULT ui_ms %lld\n", static_cast<long long>(cpu.threadMs()));
    std::printf("RESULT busy_pct %d\n", cpu.machineBusyPercent());
}

// Loads the 101 pages one after another: `load` starts one, `complete` turns true when it has.
// The time, plus 10 ms per link, or -1 when a page did not complete.
qint64 loadPages(FixtureServer& server, const Gallery& gallery,
                 const std::function<void(const QUrl&)>& load, const bool& complete)
{
    QStringList pages{gallery.indexPath};
    pages << gallery.pagePaths;
    QElapsedTimer clock;
    clock.start();
    for (const QString& page : pages) {
        load(server.url(page));
        if (!waitFor([&] { return complete; }, 30000)) {
            std::printf("bare view: %s did not complete\n", qPrintable(page));
            return -1;
        }
    }
    return clock.elapsed() + qint64(kPages) * kTimer2Ms;
}

// (b): the pages alone, in the program's browser control.
int bareView(FixtureServer& server, const Gallery& gallery)
{
    WebEngineBrowserFactory factory;
    QWidget window;
    Browser* browser = factory.create(&window);
    window.resize(800, 600);
    window.show();
    bool complete = false;
    QObject::connect(browser, &Browser::DocumentComplete, [&](const FrameRef& f, const QString&) {
        if (f.isTop())
            complete = true;
    });
    const qint64 ms = loadPages(
        server, gallery,
        [&](const QUrl& url) {
            complete = false;
            browser->Navigate(url.toString());
        },
        complete);
    std::printf("RESULT b_ms %lld\n", static_cast<long long>(ms));
    return ms < 0 ? 1 : 0;
}

// (b): the pages alone in `views` QWebEngineViews at once, each complete at loadFinished: the
// index first, then the 100 pages shared out, plus 10 ms per link. Without `images` the views
// load none, which shows what the pages' own loading leaves to overlap.
int bareEngineViews(FixtureServer& server, const Gallery& gallery, int views, bool images)
{
    std::vector<std::unique_ptr<QWebEngineView>> pool;
    QStringList queue;
    int busy = 0;
    for (int i = 0; i < views; ++i) {
        QWebEngineView* view = pool.emplace_back(std::make_unique<QWebEngineView>()).get();
        view->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, images);
        view->resize(800, 600);
        view->show();
        QObject::connect(view, &QWebEngineView::loadFinished, [&, view](bool) {
            --busy;
            if (!queue.isEmpty()) {
                ++busy;
                view->load(server.url(queue.takeFirst()));
            }
        });
    }
    const CpuMeter cpu;
    QElapsedTimer clock;
    clock.start();
    ++busy;
    pool.front()->load(server.url(gallery.indexPath));
    bool complete = waitFor([&] { return busy == 0; }, 30000);
    queue = gallery.pagePaths;
    for (auto& view : pool) {
        if (queue.isEmpty())
            break;
        ++busy;
        view->load(server.url(queue.takeFirst()));
    }
    complete = complete && waitFor([&] { return busy == 0; }, 60000);
    const qint64 ms = complete ? clock.elapsed() + qint64(kPages) * kTimer2Ms : -1;
    std::printf("RESULT e_ms %lld\n", static_cast<long long>(ms));
    printCpu(cpu);
    return ms < 0 ? 1 : 0;
}

// Writes each file of `from` again into a new folder beside it, under a temporary name that
// is then renamed, and returns the time; -1 on a failure.
qint64 rewriteFiles(const QString& from)
{
    QDir source(from);
    QList<QPair<QString, QByteArray>> files;
    for (const QString& name : source.entryList(QDir::Files)) {
        QFile file(source.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        files.append({name, file.readAll()});
    }
    const QString to = from + QStringLiteral("-again");
    if (!QDir().mkpath(to))
        return -1;
    QElapsedTimer clock;
    clock.start();
    for (const auto& [name, bytes] : files) {
        const QString part = to + QStringLiteral("/.part");
        QFile file(part);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(bytes) != bytes.size())
            return -1;
        file.close();
        if (!QFile::rename(part, to + QLatin1Char('/') + name))
            return -1;
    }
    return clock.elapsed();
}

// (a) and (c): the main window's run, its links followed by `jobs` capture windows at once.
int harvestRun(FixtureServer& server, const Gallery& gallery, int jobs)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Image");
    QDir().mkpath(folder);
    WebEngineBrowserFactory browsers;
    NetworkImageDownloader downloader;
    ShareEngineSession(downloader); // as the program does
    MessageBoxPrompt prompt;
    Services services;
    services.browsers = &browsers;
    services.prompt = &prompt;
    services.downloader = &downloader;
    services.programFolder = dir.path();
    BrowserApp app(services);
    frmBrowser* w = app.startFirstWindow();
    w->gstrSaveFolder = folder;
    w->harvester()->setJobs(jobs);
    const QString index = server.url(gallery.indexPath).toString();
    w->txtUrl->setText(index);
    w->cmdPlayback_Click();
    if (!waitFor([&] { return w->strLastUrl == index && w->cmdSaveImage->isEnabled(); }, 30000)) {
        std::printf("harvest: the index did not complete\n");
        return 1;
    }
    server.clearRequests();
    // The window answers throughout: the longest time between two ticks of a 10 ms timer.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(10);
    const CpuMeter cpu;
    QElapsedTimer clock;
    clock.start();
    w->cmdSaveImage->click();
    const qint64 ms = clock.elapsed();
    printCpu(cpu);
    ticker.stop();
    std::printf("RESULT stall_ms %lld\n", static_cast<long long>(longestStall));
    const int saved = int(QDir(folder).entryList(QDir::Files).size());
    const int requests = server.totalRequests();
    std::printf("RESULT a_ms %lld\n", static_cast<long long>(ms));
    std::printf("RESULT bridge %d\n", QAccessible::isActive() ? 1 : 0);
    std::printf("RESULT saved %d\n", saved);
    std::printf("RESULT requests %d\n", requests);
    std::printf("RESULT disk_ms %lld\n", static_cast<long long>(rewriteFiles(folder)));
    // Which images a short run left out, and how often the server was asked for them.
    const QStringList present = QDir(folder).entryList(QDir::Files);
    int listed = 0;
    QStringList images;
    for (int i = 0; i < kImages; ++i)
        images << QStringLiteral("/gallery/img/i-%1.gif").arg(i);
    for (int p = 0; p < kPages; ++p) {
        for (int i = 0; i < kImagesPerPage; ++i)
            images << QStringLiteral("/gallery/img/p%1-%2.gif").arg(p).arg(i);
    }
    for (const QString& image : images) {
        const QString name = image.section(QLatin1Char('/'), -1);
        if (!present.contains(name) && listed++ < 10)
            std::printf("missing %s (%d requests)\n", qPrintable(name), server.requestCount(image));
    }
    return 0;
}

int wgetRun(FixtureServer& server, const Gallery& gallery)
{
    const QString wget = QStandardPaths::findExecutable(QStringLiteral("wget"));
    if (wget.isEmpty()) {
        std::printf("RESULT d_ms -1\n");
        return 0;
    }
    QTemporaryDir dir;
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QElapsedTimer clock;
    clock.start();
    process.start(wget, {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-l1"),
                         QStringLiteral("-p"), QStringLiteral("-nd"),
                         server.url(gallery.indexPath).toString()});
    process.waitForFinished(120000);
    std::printf("RESULT d_ms %lld\n", static_cast<long long>(clock.elapsed()));
    std::printf("RESULT d_files %lld\n",
                static_cast<long long>(QDir(dir.path()).entryList(QDir::Files).size()));
    return 0;
}

// A screen reader's share of the accessibility bus: registers for the events a screen reader
// follows and takes each one; prints how many when its standard input closes.
class EventListener : public QObject
{
    Q_OBJECT
public:
    int run()
    {
        QDBusConnection session = QDBusConnection::sessionBus();
        const QDBusReply<QString> address = session.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
            QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
        if (!address.isValid())
            return 1;
        QDBusConnection bus =
            QDBusConnection::connectToBus(address.value(), QStringLiteral("a11y"));
        for (const char* event :
             {"object:property-change", "object:state-changed", "object:children-changed",
              "object:text-changed", "focus:", "window:", "document:"}) {
            bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.a11y.atspi.Registry"),
                                                    QStringLiteral("/org/a11y/atspi/registry"),
                                                    QStringLiteral("org.a11y.atspi.Registry"),
                                                    QStringLiteral("RegisterEvent"))
                     << QString::fromLatin1(event) << QStringList() << QString());
        }
        for (const char* iface : {"Object", "Window", "Focus", "Document"})
            for (const char* name : {"PropertyChange", "StateChanged", "ChildrenChanged",
                                     "TextChanged", "Activate", "Create", "Destroy", "Focus",
                                     "LoadComplete", "BoundsChanged", "ActiveDescendantChanged"})
                bus.connect(QString(), QString(),
                            QStringLiteral("org.a11y.atspi.Event.") + QLatin1String(iface),
                            QString::fromLatin1(name), this, SLOT(take(QDBusMessage)));
        std::printf("listening\n");
        std::fflush(stdout);
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        connect(&input, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
        std::printf("RESULT events %d\n", events_);
        return 0;
    }

private Q_SLOTS:
    void take(const QDBusMessage&) { ++events_; }

private:
    int events_ = 0;
};

QMap<QString, qint64> runChild(const QString& mode, const QString& busAddress = {})
{
    // The previous measure's folder was just removed: its disk work is not this one's.
    ::sync();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!busAddress.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
    }
    child.start(QCoreApplication::applicationFilePath(), {mode});
    child.waitForFinished(600000);
    QMap<QString, qint64> results;
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    static const QRegularExpression line(QStringLiteral("^RESULT (\\S+) (-?\\d+)$"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        results.insert(m.captured(1), m.captured(2).toLongLong());
    }
    if (results.isEmpty())
        std::printf("%s run gave no result:\n%s\n", qPrintable(mode), qPrintable(out));
    return results;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    ChooseSceneGraphBackend(); // as the program does, for both the run and the floor
    const QStringList args = application.arguments();
    if (args.size() > 1 && args.at(1) == QLatin1String("listen"))
        return EventListener().run();
    if (args.size() > 1) {
        FixtureServer server;
        if (!server.start())
            return 2;
        QString mode = args.at(1);
        const int delayMs = mode.startsWith(u'l') ? kLatencyMs : 0; // "la4": a4, far away
        if (delayMs > 0)
            mode = mode.mid(1);
        const auto gallery = addGallerySite(server, kImages, kPages, kImagesPerPage, delayMs);
        if (mode.startsWith(u'a')) // "a4": with --jobs 4
            return harvestRun(server, gallery, std::max(1, mode.mid(1).toInt()));
        if (mode == QLatin1String("b"))
            return bareView(server, gallery);
        if (mode.startsWith(u'e') || mode.startsWith(u'n')) // "e4": 4 views; "n": no images
            return bareEngineViews(server, gallery, std::max(1, mode.mid(1).toInt()),
                                   mode.startsWith(u'e'));
        if (mode == QLatin1String("d"))
            return wgetRun(server, gallery);
        return 2;
    }

    const auto a = runChild(QStringLiteral("a"));
    const auto a4 = runChild(QStringLiteral("a4"));
    const auto la = runChild(QStringLiteral("la"));
    const auto la4 = runChild(QStringLiteral("la4"));
    const auto b = runChild(QStringLiteral("b"));
    const auto e = runChild(QStringLiteral("e"));
    const auto e4 = runChild(QStringLiteral("e4"));
    const auto n = runChild(QStringLiteral("n"));
    const auto n4 = runChild(QStringLiteral("n4"));
    const auto d = runChild(QStringLiteral("d"));
    SessionBus bus;
    QProcess listener;
    if (!bus.address().isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        listener.setProcessEnvironment(env);
        listener.start(QCoreApplication::applicationFilePath(), {QStringLiteral("listen")});
        listener.waitForReadyRead(10000);
    }
    const auto a11yA = runChild(QStringLiteral("a"), bus.address());
    const auto a11yE = runChild(QStringLiteral("e"), bus.address());
    listener.closeWriteChannel();
    listener.waitForFinished(10000);
    const QString heard = QString::fromLocal8Bit(listener.readAllStandardOutput());
    std::printf("(a11y) a listener took %s events over both runs\n",
                qPrintable(heard.section(QStringLiteral("RESULT events "), 1).trimmed()));
    const qint64 aMs = a.value(QStringLiteral("a_ms"), -1);
    const qint64 controlMs = b.value(QStringLiteral("b_ms"), -1);
    const qint64 engineMs = e.value(QStringLiteral("e_ms"), -1);
    const qint64 bMs = controlMs > 0 && engineMs > 0 ? std::min(controlMs, engineMs)
                                                     : std::max(controlMs, engineMs);
    const qint64 saved = a.value(QStringLiteral("saved"), 0);
    const qint64 requests = a.value(QStringLiteral("requests"), 0);
    const int expected = kImages + kPages * kImagesPerPage;
    const double perImage = saved > 0 ? double(requests) / double(saved) : 0.0;
    std::printf("site: 1 page x %d images + %d links x %d images (%d images)\n", kImages, kPages,
                kImagesPerPage, expected);
    std::printf("(a) click -> caption returns: %lld ms, %lld files saved\n",
                static_cast<long long>(aMs), static_cast<long long>(saved));
    const auto ratio = [](qint64 x, qint64 y) {
        return x > 0 && y > 0 ? double(x) / double(y) : 0.0;
    };
    const qint64 a4Ms = a4.value(QStringLiteral("a_ms"), -1);
    std::printf("    --jobs 1: %lld ms; --jobs 4: %lld ms, %lld files saved; target --jobs 4 <= "
                "0.6 x --jobs 1: %s (%.2f)\n",
                static_cast<long long>(aMs), static_cast<long long>(a4Ms),
                static_cast<long long>(a4.value(QStringLiteral("saved"), 0)),
                a4Ms >= 0 && aMs > 0 && double(a4Ms) <= 0.6 * double(aMs) ? "met" : "missed",
                ratio(a4Ms, aMs));
    const qint64 laMs = la.value(QStringLiteral("a_ms"), -1);
    const qint64 la4Ms = la4.value(QStringLiteral("a_ms"), -1);
    std::printf("    each answer %d ms late: --jobs 1: %lld ms; --jobs 4: %lld ms, %lld files "
                "saved (%.2f)\n",
                kLatencyMs, static_cast<long long>(laMs), static_cast<long long>(la4Ms),
                static_cast<long long>(la4.value(QStringLiteral("saved"), 0)), ratio(la4Ms, laMs));
    const qint64 e4Ms = e4.value(QStringLiteral("e_ms"), -1);
    const qint64 nMs = n.value(QStringLiteral("e_ms"), -1);
    const qint64 n4Ms = n4.value(QStringLiteral("e_ms"), -1);
    std::printf(
        "    the engine alone, 4 QWebEngineViews at once: %lld ms against one's %lld ms (%.2f); "
        "the pages without their images: %lld ms against %lld ms (%.2f)\n",
        static_cast<long long>(e4Ms), static_cast<long long>(engineMs), ratio(e4Ms, engineMs),
        static_cast<long long>(n4Ms), static_cast<long long>(nMs), ratio(n4Ms, nMs));
    // Where the time went: the main thread (also the engine's browser thread) and the machine.
    const auto cpu = [](const QMap<QString, qint64>& r) {
        return QStringLiteral("main thread %1 ms, machine %2% busy")
            .arg(r.value(QStringLiteral("ui_ms"), -1))
            .arg(r.value(QStringLiteral("busy_pct"), -1));
    };
    std::printf("    processor: --jobs 1 %s; --jobs 4 %s; 1 view %s; 4 views %s\n",
                qPrintable(cpu(a)), qPrintable(cpu(a4)), qPrintable(cpu(e)), qPrintable(cpu(e4)));
    std::printf(
        "    the image folder's file system alone: the %lld files written again in %lld ms\n",
        static_cast<long long>(saved),
        static_cast<long long>(a.value(QStringLiteral("disk_ms"), -1)));
    std::printf("(b) bare view, 101 pages + %d ms per link: %lld ms (QWebEngineView %lld ms, "
                "browser control alone %lld ms)\n",
                kTimer2Ms, static_cast<long long>(bMs), static_cast<long long>(engineMs),
                static_cast<long long>(controlMs));
    std::printf("(c) server requests per saved image: %lld / %lld = %.3f\n",
                static_cast<long long>(requests), static_cast<long long>(saved), perImage);
    std::printf("(d) wget -r -l1 -p -nd: %lld ms, %lld files\n",
                static_cast<long long>(d.value(QStringLiteral("d_ms"), -1)),
                static_cast<long long>(d.value(QStringLiteral("d_files"), 0)));
    const qint64 a11yMs = bus.address().isEmpty() ? -1 : a11yA.value(QStringLiteral("a_ms"), -1);
    const qint64 a11yFloorMs =
        bus.address().isEmpty() ? -1 : a11yE.value(QStringLiteral("e_ms"), -1);
    if (a11yA.value(QStringLiteral("bridge"), 0) != 1)
        std::printf("(a11y) the accessibility bridge did not come on (no session bus?)\n");
    std::printf("(a11y) accessibility bridge on: (a) %lld ms, %lld files saved; QWebEngineView "
                "floor %lld ms\n",
                static_cast<long long>(a11yMs),
                static_cast<long long>(a11yA.value(QStringLiteral("saved"), 0)),
                static_cast<long long>(a11yFloorMs));
    const bool a11yOk = a11yMs >= 0 && bMs > 0 && double(a11yMs) <= 1.25 * double(bMs);
    std::printf("target (a11y) <= 1.25 x (b): %s (%.2f; %.2f against the floor with the bridge "
                "on)\n",
                a11yOk ? "met" : "missed", ratio(a11yMs, bMs), ratio(a11yMs, a11yFloorMs));
    const bool timeOk = aMs >= 0 && bMs > 0 && double(aMs) <= 1.25 * double(bMs);
    const bool requestsOk = saved == expected && perImage <= 1.1;
    std::printf("target (a) <= 1.25 x (b): %s (%.2f)\n", timeOk ? "met" : "missed",
                ratio(aMs, bMs));
    std::printf("target <= 1.1 requests per saved image, all %d saved: %s\n", expected,
                requestsOk ? "met" : "missed");
    return timeOk && requestsOk && a11yOk ? 0 : 1;
}

#include "bench_harvest.moc"
