// The program run from the command line as a child process against the loopback server:
// exit codes, what it says, the files it saves and its manifest.

#include "fixtureserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <csignal>
#include <memory>

using namespace brackenly;
using namespace Qt::StringLiterals;

namespace {

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

// Runs the program; without a display when `headless`.
Result run(const QStringList& arguments, bool headless = false)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QT_QPA_PLATFORM"_s);
    if (headless) {
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
    }
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(BRACKENLY_PROGRAM), arguments);
    Result result;
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = child.exitCode();
    result.out = QString::fromLocal8Bit(child.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(child.readAllStandardError());
    return result;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QJsonObject> manifestRows(const QString& path)
{
    QList<QJsonObject> rows;
    for (const QByteArray& line : contents(path).split('\n'))
        if (!line.isEmpty())
            rows << QJsonDocument::fromJson(line).object();
    return rows;
}

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT
    FixtureServer server_;

    // Saves the images of the server's `page` into `folder`, listing them in `manifest`.
    Result save(const QString& page, const QString& folder, const QString& manifest,
                const QStringList& more = {}, bool headless = false)
    {
        return run(QStringList{"--save-images", server_.url(page).toString(), "--image-folder",
                               folder, "--manifest", manifest} +
                       more,
                   headless);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        for (const char* image : {"/a.gif", "/b.gif", "/l.gif", "/pixel.gif", "/s.gif", "/o/a.gif"})
            server_.addImage(image);
        server_.setStatus(u"/gone.gif"_s, 404);
        server_.addPage(u"/linked.html"_s, u"<img src=\"l.gif\">"_s);
        server_.addPage(
            u"/index.html"_s,
            QStringLiteral("<img src=\"a.gif\"><img src=\"b.gif\"><img src=\"gone.gif\">"
                           "<img src=\"o/a.gif\"><a href=\"linked.html\">next</a>"));
        // Each modern pattern, with placeholders (a data: address, a 1x1 GIF); the rest 2x1 GIFs.
        const QByteArray picture = QByteArray::fromHex("47494638396102000100800000" // 2x1
                                                       "ff0000000000"               // 2 colours
                                                       "2c000000000200010000"       // the image
                                                       "0202040a003b");             // its pixels
        for (const char* name :
             {"plain", "lazy", "original", "later", "w100", "w800", "small", "large", "pic",
              "pic1x", "pic2x", "bg", "inline", "scrolled", "set1x", "set2x", "inner", "box"})
            server_.addResource(u"/%1.gif"_s.arg(QLatin1String(name)), picture, "image/gif");
        server_.addResource(u"/get.php"_s, picture, "image/gif");
        // One name for a small and a large picture (bytes after a GIF's end are ignored).
        server_.addResource(u"/s/p.gif"_s, picture + "small", "image/gif");
        server_.addResource(u"/l/p.gif"_s, picture + "large", "image/gif");
        server_.addResource(u"/wide.gif"_s, picture, "image/gif");
        server_.addImage(u"/spacer.gif"_s); // 1x1, and a picture of the same name:
        server_.addResource(u"/real/spacer.gif"_s, picture, "image/gif");
        server_.addResource(u"/clip.mp4"_s, "not an image", "video/mp4");
        server_.addResource(u"/batch.txt"_s, "next", "text/plain"); // the end's next batch
        server_.setDelay(u"/batch.txt"_s, 250);
        // A page that embeds a frame, a link to another such page and one the server sends on.
        server_.addRedirect(u"/moved.html"_s, u"/to.html"_s);
        server_.addPage(u"/to.html"_s, u"<img src=\"to.gif\">"_s);
        for (const char* name : {"top", "framed", "next", "nextframed", "to"})
            server_.addResource(u"/%1.gif"_s.arg(QLatin1String(name)), picture, "image/gif");
        server_.addPage(u"/in.html"_s, u"<img src=\"framed.gif\">"_s);
        server_.addPage(u"/next.html"_s, u"<img src=\"next.gif\"><iframe srcdoc=\"<img "
                                         "src='nextframed.gif'>\"></iframe>"_s);
        server_.addPage(u"/framed.html"_s,
                        u"<img src=\"top.gif\"><iframe src=\"in.html\">"
                        "</iframe><a href=\"next.html\">next</a><a href=\"moved.html\">on</a>"_s);
        server_.addPage(
            u"/modern.html"_s,
            QStringLiteral(
                "<style>.bg{background-image:url(bg.gif);height:9px}</style><img src=\"plain.gif\">"
                "<img src=\"pixel.gif\" data-src=\"lazy.gif\"><img data-lazy-src=\"later.gif\">"
                "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\" "
                "data-original=\"original.gif\">"
                "<img data-srcset=\"w100.gif 100w, w800.gif 800w\" data-src=\"get.php?id=7\">"
                "<img src=\"small.gif\" srcset=\"small.gif, large.gif 2x\"><picture><source "
                "srcset=\"pic1x.gif 1x, pic2x.gif 2x\"><img src=\"pic.gif\"></picture>"
                "<div class=\"bg\"></div><div style=\"background:url('inline.gif')\"></div>"
                "<div style=\"height:9px;background-image:-webkit-image-set(url(set1x.gif) 1x, "
                "url(set2x.gif) 2x)\"></div>"
                "<img src=\"s/p.gif\" srcset=\"l/p.gif 2x\"><img src=\"spacer.gif\" "
                "srcset=\"wide.gif 400w\"><video data-src=\"clip.mp4\"><source "
                "data-src=\"clip.mp4\"></video><a data-src=\"#box\"><div "
                "style=\"background:url(real/spacer.gif)\"></div>"
                "<div style=\"height:3000px\"></div><p id=\"end\">end</p><script>"
                "new IntersectionObserver((e, o) => { if (e[0].isIntersecting) { o.disconnect();"
                " fetch('batch.txt').then(() => document.body.append("
                "Object.assign(new Image(), {src: 'scrolled.gif'}))); }"
                " }).observe(document.getElementById('end'));</script>"));
        // Laid out as an app: the page stays put and an element of its own scrolls (with the
        // engine's overlay scroll bar), or a quirks-mode body does. A small box of text there
        // is not scrolled: its scroll would show box.gif.
        const QString observer = u"<p id=\"end\">end</p><script>new IntersectionObserver(e => { if "
                                 "(e[0].isIntersecting) document.getElementById('end').after("
                                 "Object.assign(new Image(), {src: 'inner.gif'})); }).observe("
                                 "document.getElementById('end'));</script>"_s;
        server_.addPage(
            u"/app.html"_s,
            u"<style>html,body{height:100%;margin:0;overflow:hidden}</style><pre "
            "style=\"height:40px;overflow:auto\" onscroll=\"this.after(Object.assign(new "
            "Image(), {src: 'box.gif'}))\">"_s +
                QString(u"line\n"_s).repeated(50) +
                u"</pre><main style=\"height:80%;overflow-y:overlay\"><div "
                "style=\"height:3000px\"></div>"_s +
                observer + u"</main>"_s);
        server_.addPage(u"/body.html"_s,
                        u"<style>html,body{height:100%;margin:0;overflow:auto}</style><div "
                        "style=\"height:3000px\"></div>"_s +
                            observer);
        // Pages sharing s.gif, the first one slowest: rows must not depend on which loads first.
        QString links;
        for (int i = 0; i < 6; ++i) {
            const QString name = u"j%1"_s.arg(i);
            server_.addImage(u'/' + name + u".gif"_s);
            server_.addPage(u'/' + name + u".html"_s,
                            u"<img src=\"s.gif\"><img src=\"%1.gif\">%2"_s.arg(
                                name, i == 0 ? u"<img src=\"a.gif\">"_s : ""));
            links += u"<a href=\"%1.html\">%1</a>"_s.arg(name);
        }
        server_.setDelay(u"/j0.html"_s, 400);
        server_.addPage(u"/jobs.html"_s, u"<img src=\"a.gif\">"_s + links);
        // Kept out of the cache, so the run asks for them again, and that answer never comes.
        for (const QString& name : {u"held1"_s, u"held2"_s}) {
            server_.setHandler(
                '/' + name + ".gif", [=, served = std::make_shared<std::atomic_int>()](auto&) {
                    auto response = FixtureResponse::bytes(FixtureResponse::gif(name), "image/gif");
                    response.headers.append(qMakePair("Cache-Control"_ba, "no-store"_ba));
                    if (served->fetch_add(1) > 0)
                        response.delivery = FixtureResponse::Delivery::Stall;
                    return response;
                });
            server_.addPage('/' + name + ".html", "<img src=\"" + name + ".gif\">");
        }
        server_.addPage(u"/held.html"_s, u"<img src=\"a.gif\"><a href=\"held1.html\">1</a><a "
                                         "href=\"held2.html\">2</a>"_s);
    }
    void refusals_data()
    {
        // {page}, {missing}, {dir}, {file}: the fixture page, a page the server lacks, a new
        // folder in the test's folder and a plain file there.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const auto saving = [](const char* address, const char* folder,
                               const char* manifest = "{dir}/m.jsonl") {
            return QStringList{"--save-images", address,      "--image-folder",
                               folder,          "--manifest", manifest};
        };
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--save-images <url>";
        QTest::newRow("no address") << QStringList{"--save-images"} << 2 << "Missing value";
        QTest::newRow("option alone")
            << QStringList{"--modern-images"} << 2
            << "--image-folder, --manifest, --modern-images and --jobs need --save-images";
        QTest::newRow("stray argument")
            << QStringList{"--save-images", "{page}", "extra"} << 2 << "Unexpected argument";
        QTest::newRow("address not found")
            << saving("{missing}", "{dir}") << 1 << "The address {missing} did not load";
        QTest::newRow("folder is a file")
            << saving("{page}", "{file}/x") << 1 << "The image folder {file}/x cannot be used";
        QTest::newRow("manifest cannot be opened")
            << saving("{page}", "{dir}/a/b", "{file}/m.jsonl") << 1
            << "The manifest {file}/m.jsonl cannot be written";
        QTest::newRow("jobs 0") << QStringList{"--save-images", "{page}", "--jobs", "0"} << 2
                                << "--jobs needs a whole number";
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, says);
        QTemporaryDir temp;
        const QString file = temp.filePath(u"file"_s);
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        const auto fill = [&](QString text) {
            return text.replace(u"{page}"_s, server_.url("/index.html").toString())
                .replace(u"{missing}"_s, server_.url("/nothing.html").toString())
                .replace(u"{dir}"_s, temp.filePath(u"images"_s))
                .replace(u"{file}"_s, file);
        };
        for (QString& argument : arguments)
            argument = fill(argument);
        const Result result = run(arguments);
        QCOMPARE(result.code, code);
        // Usage errors: a line and the usage text; a failed run: its one line, no engine notices.
        QVERIFY2(code == 0 ? result.out.contains(fill(says))
                           : result.err.startsWith("brackenly: " + fill(says)),
                 qPrintable(result.out + result.err));
        QVERIFY2(code != 1 || result.err.count(u'\n') == 1, qPrintable(result.err));
        QCOMPARE(entries(temp.path()), QStringList{u"file"_s});
    }
    void savesWhatItReports()
    {
        QTemporaryDir temp;
        const QString folder = temp.filePath(u"new/images"_s);
        const QString manifest = temp.filePath(u"m.jsonl"_s);
        for (int pass = 0; pass < 2; ++pass) {
            const Result result = save("/index.html", folder, manifest, {}, pass == 0);
            QVERIFY2(result.code == 0, qPrintable(result.err));
            QCOMPARE(entries(folder), (QStringList{"a.gif", "b.gif", "l.gif"}));
            QMap<QString, QJsonObject> rows; // by src file name
            for (const QJsonObject& row : manifestRows(manifest)) {
                QCOMPARE(row.value("page").toString(), server_.url("/index.html").toString());
                rows.insert(row.value("src").toString().section(u'/', 3), row);
            }
            QCOMPARE(rows.keys(), (QStringList{"a.gif", "b.gif", "gone.gif", "l.gif", "o/a.gif"}));
            // Another image's file is not this one's (a later run cannot tell them apart).
            const QJsonObject taken = rows.take("o/a.gif");
            if (pass == 0)
                QCOMPARE(taken.value("status").toString(), u"skipped"_s);
            QCOMPARE(rows["l.gif"].value("frame").toString(), QString());
            QCOMPARE(rows["l.gif"].value("via").toString(), server_.url("/linked.html").toString());
            QCOMPARE(rows["a.gif"].value("via").toString(), QString());
            const QJsonObject gone = rows.take("gone.gif");
            QCOMPARE(gone.value("status").toString(), u"failed"_s);
            QCOMPARE(gone.value("file").toString(), QString());
            for (const QJsonObject& row : std::as_const(rows)) {
                QCOMPARE(row.value("status").toString(), pass == 0 ? u"saved"_s : u"exists"_s);
                const QString file = row.value("file").toString();
                QVERIFY2(QFile::exists(file), qPrintable(file));
                const QByteArray bytes = contents(file);
                QCOMPARE(row.value("bytes").toInteger(), bytes.size());
                QCOMPARE(row.value("sha256").toString().toLatin1(),
                         QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
            }
        }
    }
    void modernSources_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("option");
        QTest::addColumn<QString>("files"); // blank-separated
        QTest::addColumn<QByteArray>("p");  // whose picture p.gif holds
        const QStringList modern{"--modern-images"};
        QTest::newRow("img.src alone")
            << "/modern.html" << QStringList{}
            << "gif;base64,R0lGODlhAQABAAAAACw= p.gif pic.gif pixel.gif plain.gif small.gif "
               "spacer.gif"
            << "small"_ba;
        QTest::newRow("modern") << "/modern.html" << modern
                                << "bg.gif id_7.jpg inline.gif large.gif later.gif lazy.gif "
                                   "original.gif p.gif pic.gif pic2x.gif plain.gif scrolled.gif "
                                   "set2x.gif small.gif spacer.gif w800.gif wide.gif"
                                << "large"_ba;
        // Of a page with frames only its frames' pictures, as framesets keep theirs; every
        // document's with modern sources, on the page and on the pages it links to, also where
        // the server sends a link on.
        QTest::newRow("scrolling element, modern") << "/app.html" << modern << "inner.gif"
                                                   << ""_ba;
        QTest::newRow("scrolling quirks body, modern") << "/body.html" << modern << "inner.gif"
                                                       << ""_ba;
        QTest::newRow("frames") << "/framed.html" << QStringList{} << "framed.gif"
                                << ""_ba;
        QTest::newRow("frames, modern")
            << "/framed.html" << modern << "framed.gif next.gif nextframed.gif to.gif top.gif"
            << ""_ba;
    }
    void modernSources()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, option);
        QFETCH(QString, files);
        QFETCH(QByteArray, p);
        QTemporaryDir temp;
        const QString folder = temp.filePath(u"images"_s);
        const Result result = save(page, folder, folder + ".jsonl", option);
        QVERIFY2(result.code == 0, qPrintable(result.err));
        QCOMPARE(entries(folder).join(u' '), files);
        QVERIFY(p.isEmpty() || contents(folder + "/p.gif").endsWith(p));
        // Each file saved is a row; placeholders are neither.
        QStringList saved;
        for (const QJsonObject& row : manifestRows(folder + ".jsonl"))
            if (row.value("status").toString() == "saved"_L1)
                saved.append(QFileInfo(row.value("file").toString()).fileName());
        saved.sort();
        QCOMPARE(saved.join(u' '), files);
    }
    void stopsOnASignal()
    {
        // Two windows: the second page waits for its turn while the first one's image is asked
        // for; a stopped run saves neither. Started as a shell starts a background job, with
        // SIGINT ignored: that one stays ignored, and SIGTERM stops the run.
        QTemporaryDir temp;
        const QString folder = temp.filePath(u"images"_s);
        QProcess child;
        child.setChildProcessModifier([] { std::signal(SIGINT, SIG_IGN); });
        child.start(QStringLiteral(BRACKENLY_PROGRAM),
                    {"--save-images", server_.url("/held.html").toString(), "--image-folder",
                     folder, "--manifest", folder + ".jsonl", "--jobs", "2"});
        QTRY_COMPARE_WITH_TIMEOUT(server_.requestCount("/held1.gif"), 2, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(server_.requestCount("/held2.gif"), 1, 60000);
        QVERIFY(::kill(pid_t(child.processId()), SIGINT) == 0);
        QVERIFY(::kill(pid_t(child.processId()), SIGTERM) == 0);
        QVERIFY(child.waitForFinished(30000) && child.exitStatus() == QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 128 + SIGTERM);
        QVERIFY(
            QString(u'\n' + child.readAllStandardError())
                .contains("\nbrackenly: Stopped by SIGTERM; the images saved so far are kept."));
        // The file being written when it came is gone; what was saved stays, with its row.
        QCOMPARE(entries(folder), QStringList{u"a.gif"_s});
        QCOMPARE(manifestRows(folder + ".jsonl").first().value("status").toString(), u"saved"_s);
    }
    void severalWindowsSaveAsOne()
    {
        QTemporaryDir temp;
        QMap<QString, QByteArray> files[2];
        QStringList rows[2];
        for (int i = 0; i < 2; ++i) {
            const QString folder = temp.filePath(QString::number(i));
            const Result result =
                save("/jobs.html", folder, folder + ".jsonl", {"--jobs", i == 0 ? "1" : "4"});
            QVERIFY2(result.code == 0, qPrintable(result.err));
            for (const QString& name : entries(folder))
                files[i].insert(name, contents(folder + u'/' + name));
            rows[i] = QString::fromUtf8(contents(folder + ".jsonl"))
                          .replace(folder, u"{dir}"_s)
                          .split(u'\n', Qt::SkipEmptyParts);
            rows[i].sort();
        }
        QCOMPARE(files[0].size(), 8); // a.gif, s.gif, j0.gif ... j5.gif
        QCOMPARE(files[1], files[0]);
        QCOMPARE(rows[1], rows[0]);
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
