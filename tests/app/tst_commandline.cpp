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

using namespace brackenly;

class tst_CommandLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void refusals_data();
    void refusals();
    void savesWhatItReports();
    void modernSources_data();
    void modernSources();
    void severalWindowsSaveAsOne();

private:
    struct Result
    {
        int code = -1;
        QString out;
        QString err;
    };
    // Runs the program; without a display when `headless`.
    static Result run(const QStringList& arguments, bool headless = false);
    static QStringList entries(const QString& folder);

    FixtureServer server_;
};

void tst_CommandLine::initTestCase()
{
    QVERIFY(server_.start());
    server_.addImage(QStringLiteral("/a.gif"));
    server_.addImage(QStringLiteral("/b.gif"));
    server_.addImage(QStringLiteral("/l.gif"));
    server_.setStatus(QStringLiteral("/gone.gif"), 404);
    server_.addPage(QStringLiteral("/linked.html"), QStringLiteral("<img src=\"l.gif\">"));
    server_.addPage(QStringLiteral("/index.html"),
                    QStringLiteral("<img src=\"a.gif\"><img src=\"b.gif\"><img src=\"gone.gif\">"
                                   "<a href=\"linked.html\">next</a>"));
    // Each modern pattern, with placeholders: a data: address and a 1x1 GIF; the others are
    // 2x1 GIFs.
    const QByteArray picture = QByteArray::fromHex("47494638396102000100800000" // 2x1
                                                   "ff0000000000"               // 2 colours
                                                   "2c000000000200010000"       // the image
                                                   "0202040a003b");             // its pixels
    for (const char* name : {"plain", "lazy", "original", "later", "w100", "w800", "small", "large",
                             "pic", "pic1x", "pic2x", "bg", "inline", "scrolled"})
        server_.addResource(QStringLiteral("/%1.gif").arg(QLatin1String(name)), picture,
                            "image/gif");
    server_.addResource(QStringLiteral("/get.php"), picture, "image/gif");
    server_.addImage(QStringLiteral("/pixel.gif"));
    server_.addPage(
        QStringLiteral("/modern.html"),
        QStringLiteral(
            "<style>.bg{background-image:url(bg.gif);height:9px}</style><img src=\"plain.gif\">"
            "<img src=\"pixel.gif\" data-src=\"lazy.gif\"><img data-lazy-src=\"later.gif\">"
            "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\" "
            "data-original=\"original.gif\">"
            "<img data-srcset=\"w100.gif 100w, w800.gif 800w\" data-src=\"get.php?id=7\">"
            "<img src=\"small.gif\" srcset=\"small.gif, large.gif 2x\"><picture><source "
            "srcset=\"pic1x.gif 1x, pic2x.gif 2x\"><img src=\"pic.gif\"></picture>"
            "<div class=\"bg\"></div><div style=\"background:url('inline.gif')\"></div>"
            "<div style=\"height:3000px\"></div><p id=\"end\">end</p><script>"
            "new IntersectionObserver((e, o) => { if (e[0].isIntersecting) { o.disconnect();"
            " document.body.append(Object.assign(new Image(), {src: 'scrolled.gif'})); }"
            " }).observe(document.getElementById('end'));</script>"));
    // Pages sharing s.gif, the first one slowest: the rows must not depend on which loads first.
    QString links;
    for (int i = 0; i < 6; ++i) {
        const QString name = QStringLiteral("j%1").arg(i);
        server_.addImage(u'/' + name + QStringLiteral(".gif"));
        server_.addPage(u'/' + name + QStringLiteral(".html"),
                        QStringLiteral("<img src=\"s.gif\"><img src=\"%1.gif\">%2")
                            .arg(name, i == 0 ? QStringLiteral("<img src=\"a.gif\">") : ""));
        links += QStringLiteral("<a href=\"%1.html\">%1</a>").arg(name);
    }
    server_.setDelay(QStringLiteral("/j0.html"), 400);
    server_.addImage(QStringLiteral("/s.gif"));
    server_.addPage(QStringLiteral("/jobs.html"), QStringLiteral("<img src=\"a.gif\">") + links);
}

tst_CommandLine::Result tst_CommandLine::run(const QStringList& arguments, bool headless)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (headless) {
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
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

QStringList tst_CommandLine::entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

void tst_CommandLine::refusals_data()
{
    // {page}, {closed}, {dir}, {file}: the fixture page, an address nobody answers, a new
    // folder in the test's folder and a plain file there.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    const QString manifest = QStringLiteral("{dir}/m.jsonl");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--save-images <url>";
    QTest::newRow("no address") << QStringList{"--save-images"} << 2 << "brackenly: Missing value";
    QTest::newRow("option alone")
        << QStringList{"--modern-images"} << 2
        << "brackenly: --image-folder, --manifest, --modern-images and --jobs need --save-images";
    QTest::newRow("stray argument")
        << QStringList{"--save-images", "{page}", "extra"} << 2 << "brackenly: Unexpected argument";
    QTest::newRow("address refused") << QStringList{"--save-images", "{closed}",   "--image-folder",
                                                    "{dir}",         "--manifest", manifest}
                                     << 1 << "brackenly: The address {closed} did not load";
    QTest::newRow("address not found")
        << QStringList{"--save-images", "{missing}",  "--image-folder",
                       "{dir}",         "--manifest", manifest}
        << 1 << "brackenly: The address {missing} did not load";
    QTest::newRow("folder is a file")
        << QStringList{"--save-images", "{page}",     "--image-folder",
                       "{file}/x",      "--manifest", manifest}
        << 1 << "brackenly: The image folder {file}/x cannot be used";
    for (const char* jobs : {"0", "-1", "x"})
        QTest::addRow("jobs %s", jobs) << QStringList{"--save-images", "{page}", "--jobs", jobs}
                                       << 2 << "brackenly: --jobs needs a whole number";
}

void tst_CommandLine::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, says);
    QTemporaryDir temp;
    QFile file(temp.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const auto fill = [&](QString text) {
        return text.replace(QStringLiteral("{page}"), server_.url("/index.html").toString())
            .replace(QStringLiteral("{closed}"), QStringLiteral("http://127.0.0.1:9/"))
            .replace(QStringLiteral("{missing}"), server_.url("/nothing.html").toString())
            .replace(QStringLiteral("{dir}"), temp.filePath(QStringLiteral("images")))
            .replace(QStringLiteral("{file}"), file.fileName());
    };
    for (QString& argument : arguments)
        argument = fill(argument);
    const Result result = run(arguments);
    QCOMPARE(result.code, code);
    // Errors: a line of its own among whatever the engine logs.
    QVERIFY2(code == 0 ? result.out.contains(fill(says))
                       : QString(u'\n' + result.err).contains(QString(u'\n' + fill(says))),
             qPrintable(result.out + result.err));
    QCOMPARE(entries(temp.path()), QStringList{QStringLiteral("file")});
}

void tst_CommandLine::savesWhatItReports()
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("new/images"));
    const QString page = server_.url("/index.html").toString();
    const QString linked = server_.url("/linked.html").toString();
    for (int pass = 0; pass < 2; ++pass) {
        const QString manifest = temp.filePath(QStringLiteral("run%1.jsonl").arg(pass));
        const Result result = run(
            {"--save-images", page, "--image-folder", folder, "--manifest", manifest}, pass == 0);
        QVERIFY2(result.code == 0, qPrintable(result.err));
        QCOMPARE(entries(folder), (QStringList{"a.gif", "b.gif", "l.gif"}));

        QFile rowsFile(manifest);
        QVERIFY(rowsFile.open(QIODevice::ReadOnly));
        QMap<QString, QJsonObject> rows; // by src file name
        for (const QByteArray& line : rowsFile.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            QCOMPARE(row.value("page").toString(), page);
            rows.insert(row.value("src").toString().section(u'/', -1), row);
        }
        QCOMPARE(rows.keys(), (QStringList{"a.gif", "b.gif", "gone.gif", "l.gif"}));
        QCOMPARE(rows["l.gif"].value("frame").toString(), QString());
        QCOMPARE(rows["l.gif"].value("via").toString(), linked);
        QCOMPARE(rows["a.gif"].value("via").toString(), QString());
        const QJsonObject gone = rows.take("gone.gif");
        QCOMPARE(gone.value("status").toString(), QStringLiteral("failed"));
        QCOMPARE(gone.value("file").toString(), QString());
        for (const QJsonObject& row : std::as_const(rows)) {
            QCOMPARE(row.value("status").toString(),
                     pass == 0 ? QStringLiteral("saved") : QStringLiteral("exists"));
            QFile saved(row.value("file").toString());
            QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(saved.fileName()));
            const QByteArray bytes = saved.readAll();
            QCOMPARE(row.value("bytes").toInteger(), bytes.size());
            QCOMPARE(row.value("sha256").toString().toLatin1(),
                     QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        }
    }
}

void tst_CommandLine::modernSources_data()
{
    QTest::addColumn<QStringList>("option");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("img.src alone") << QStringList{}
                                   << QStringList{"gif;base64,R0lGODlhAQABAAAAACw=", "pic.gif",
                                                  "pixel.gif", "plain.gif", "small.gif"};
    QTest::newRow("modern") << QStringList{"--modern-images"}
                            << QStringList{"bg.gif",    "id_7.jpg",  "inline.gif",   "large.gif",
                                           "later.gif", "lazy.gif",  "original.gif", "pic.gif",
                                           "pic2x.gif", "plain.gif", "scrolled.gif", "small.gif",
                                           "w800.gif"};
}

void tst_CommandLine::modernSources()
{
    QFETCH(QStringList, option);
    QFETCH(QStringList, files);
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("images"));
    const QString manifest = temp.filePath(QStringLiteral("m.jsonl"));
    const Result result = run(QStringList{"--save-images", server_.url("/modern.html").toString(),
                                          "--image-folder", folder, "--manifest", manifest} +
                              option);
    QVERIFY2(result.code == 0, qPrintable(result.err));
    QCOMPARE(entries(folder), files);
    // Each file saved is a row; placeholders are neither.
    QFile rowsFile(manifest);
    QVERIFY(rowsFile.open(QIODevice::ReadOnly));
    QStringList saved;
    for (const QByteArray& line : rowsFile.readAll().split('\n')) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        if (row.value("status").toString() == QLatin1String("saved"))
            saved.append(QFileInfo(row.value("file").toString()).fileName());
    }
    saved.sort();
    QCOMPARE(saved, files);
}

void tst_CommandLine::severalWindowsSaveAsOne()
{
    QTemporaryDir temp;
    QMap<QString, QByteArray> files[2];
    QStringList rows[2];
    for (int i = 0; i < 2; ++i) {
        const QString folder = temp.filePath(QString::number(i));
        const QString manifest = folder + QStringLiteral(".jsonl");
        const Result result =
            run({"--save-images", server_.url("/jobs.html").toString(), "--image-folder", folder,
                 "--manifest", manifest, "--jobs", i == 0 ? "1" : "4"});
        QVERIFY2(result.code == 0, qPrintable(result.err));
        for (const QString& name : entries(folder)) {
            QFile file(folder + u'/' + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            files[i].insert(name, file.readAll());
        }
        QFile rowsFile(manifest);
        QVERIFY(rowsFile.open(QIODevice::ReadOnly));
        rows[i] = QString::fromUtf8(rowsFile.readAll())
                      .replace(folder, QStringLiteral("{dir}"))
                      .split(u'\n', Qt::SkipEmptyParts);
        rows[i].sort();
    }
    QCOMPARE(files[0].size(), 8); // a.gif, s.gif, j0.gif ... j5.gif
    QCOMPARE(files[1], files[0]);
    QCOMPARE(rows[1], rows[0]);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
