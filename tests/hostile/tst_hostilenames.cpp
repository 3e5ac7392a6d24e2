// Ten thousand hostile image addresses through an image-saving run with the real naming
// rule and the real downloader's file handling: nothing lands outside the image folder and
// every name written is a safe one.

#include "harvestrig.h"
#include "harvesttexts.h"
#include "imagenames.h"
#include "networkimagedownloader.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace brackenly;

namespace {

// Pieces that have each tricked some program into leaving its folder or misnaming a file.
QStringList hostilePieces()
{
    QStringList pieces{"..",
                       ".",
                       "...",
                       "../..",
                       "..\\..",
                       "%2e%2e",
                       "..%2F..%2F",
                       "%2E%2E%5C",
                       "%252e%252e%252f",
                       "..;",
                       "~",
                       "/etc/passwd",
                       "C:\\Windows\\win.ini",
                       "\\\\server\\share",
                       "CON",
                       "con.gif",
                       "NUL.jpg",
                       "PRN",
                       "AUX.png",
                       "COM1",
                       "LPT9.txt",
                       "CONIN$",
                       "x.gif:stream",
                       "name. ",
                       " ",
                       "%00",
                       "a=b&c=d",
                       "id=..%2f..&x=/",
                       "\xe2\x80\xae"
                       "gpj.exe",
                       "é",
                       "#frag",
                       ".brackenly-0000000000000000.part",
                       "planted.gif"};
    pieces << QStringLiteral("nul%1.gif").arg(QChar(0)) << QStringLiteral("bell%1").arg(QChar(7))
           << QStringLiteral("line\nbreak") << QString(300, u'x') << QString(130, u'é');
    for (QString& piece : pieces)
        piece = QString::fromUtf8(piece.toUtf8());
    return pieces;
}

QStringList hostileAddresses(int count, quint32 seed)
{
    const QStringList pieces = hostilePieces();
    const QStringList joins{"/", "\\", "%2F", "%5C", "?", "=", "&", ""};
    QRandomGenerator random(seed);
    QStringList addresses;
    for (int i = 0; i < count; ++i) {
        QString address = QStringLiteral("http://site/");
        for (int n = 1 + random.bounded(4); n > 0; --n)
            address +=
                pieces.at(random.bounded(pieces.size())) + joins.at(random.bounded(joins.size()));
        // Every tenth an ordinary name: the run must store those.
        address += i % 10 == 0 ? QStringLiteral("/plain%1.gif").arg(i)
                               : pieces.at(random.bounded(pieces.size()));
        addresses << address;
    }
    return addresses;
}

} // namespace

class tst_HostileNames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nothingLeavesTheFolder();
};

void tst_HostileNames::nothingLeavesTheFolder()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    const QStringList addresses = hostileAddresses(10000, seed);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("top/images") && QDir(root.path()).mkpath("top/outside"));
    const QDir top(root.filePath("top"));
    const QString folder = top.filePath("images");
    // A planted link must not make the run write through it.
    QVERIFY(QFile::link(top.filePath("outside/planted.gif"), folder + "/planted.gif"));

    NetworkImageDownloader downloader;
    downloader.setCachedBytes([](Browser*, const QStringList& srcs, qint64) {
        QHash<QString, QByteArray> found;
        for (const QString& src : srcs)
            found.insert(src, src.toUtf8());
        return found;
    });
    FakeBrowserFactory browsers;
    Services services;
    services.browsers = &browsers;
    services.downloader = &downloader;
    services.captureTimeoutMs = 1000;
    RigWindow host;
    host.folder = folder;
    FakeBrowser page;
    auto doc = FakeDocument::create(); // no address: sources are read back as given
    for (const QString& src : addresses)
        doc->addImage(src);
    page.setDocument(doc);
    host.target = page.topFrame();
    ImageHarvester harvester(&host, services);
    harvester.mnuSaveImage_Click();
    QCOMPARE(host.caption, kSaveImageText);

    QSet<QString> safeNames;
    for (const QString& src : addresses) {
        const QString path = ImageFilePath(folder, src);
        if (!path.isEmpty())
            safeNames.insert(QFileInfo(path).fileName());
    }
    const auto entries = [](const QString& path) {
        return QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                        QDir::NoDotAndDotDot);
    };
    // A name that climbed one or two levels out of the folder would show up here.
    const auto names = [](const QString& path) {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                    QDir::NoDotAndDotDot);
    };
    QCOMPARE(names(root.path()), QStringList{"top"});
    QCOMPARE(names(top.path()), (QStringList{"images", "outside"}));
    QCOMPARE(entries(top.filePath("outside")).size(), 0);
    QStringList unsafe;
    int written = 0;
    for (const QFileInfo& file : entries(folder)) {
        if (file.fileName() == "planted.gif")
            continue;
        ++written;
        if (!file.isFile() || file.isSymLink() || !IsSafeImageFileName(file.fileName()) ||
            !safeNames.contains(file.fileName()))
            unsafe << file.fileName();
    }
    QVERIFY2(unsafe.isEmpty(), qPrintable(unsafe.join(", ")));
    QCOMPARE(written, safeNames.size() - (safeNames.contains("planted.gif") ? 1 : 0));
    QVERIFY(QFileInfo(folder + "/planted.gif").isSymLink());
    qInfo("%lld addresses (seed %u): %lld distinct safe names, %d files written, "
          "0 outside the folder, 0 unsafe",
          qint64(addresses.size()), seed, qint64(safeNames.size()), written);
}

QTEST_MAIN(tst_HostileNames)
#include "tst_hostilenames.moc"
