#include "harvestrules.h"
#include "imagenames.h"

#include <QDir>
#include <QTest>

using namespace brackenly;

// The text rules of the harvest: file names, markup src values, links, capture addresses.
class tst_HarvestRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fileName_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        const auto row = [](const char* name, const QString& url, const QString& file, bool safe) {
            QTest::newRow(name) << url << file << safe;
        };
        // What a safe name may not hold (hidden, "..", separators, NUL, over 255 bytes) is the
        // fuzz target's; these are the names taken and the boundary.
        row("plain path", "http://h/a/b/pic.gif", "pic.gif", true);
        row("query", "http://h/show.php?id=12&size=big", "id_12&size_big.jpg", true);
        row("second ? kept", "http://h/s?a=1?b=2", "a_1?b_2.jpg", true);
        row("slash in query", "http://h/get?f=a/b.png", "b.png", true);
        row("no slash", "pic.gif", "pic.gif", true);
        row("percent kept", "http://h/my%20pic%2F1.jpg", "my%20pic%2F1.jpg", true);
        row("trailing slash", "http://h/img/", "", false);
        row("255 bytes", "http://h/" + QString(255, 'a'), QString(255, 'a'), true);
    }
    void fileName()
    {
        QFETCH(QString, url);
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(GetFileName(url), name);
        QCOMPARE(IsSafeImageFileName(name), safe);
        QCOMPARE(ImageFilePath("/pics", url),
                 safe ? "/pics" + QDir::separator() + name : QString());
        QCOMPARE(ImageFilePath("", url), QString());
    }
    void markupSrc_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("image"); // the image's resolved address
        // Reading back what was written and up to three "../" are the fuzz target's; these are
        // the near misses.
        const auto row = [](const char* markup, const char* src, const char* image) {
            QTest::newRow(markup) << QString(markup) << QString(src) << QString(image);
        };
        row("<img src=../../../../a.jpg>", "../../../../a.jpg", "http://h/a.jpg");
        row("<img src=./a.jpg>", "./a.jpg", "http://h/a.jpg");
        row("<img src=t.jpg>", "t.jpg", "http://h/T.jpg");
        row("<img\tsrc=a.jpg>", "", "http://h/a.jpg");
        row("<img src=\"a.jpg>", "", "http://h/a.jpg");
        row("<img src=a.jpg", "", "http://h/a.jpg");
    }
    void markupSrc()
    {
        QFETCH(QString, markup);
        QFETCH(QString, src);
        QFETCH(QString, image);
        QCOMPARE(ExtractSrc(markup), src);
        QVERIFY(!MatchImageSrc(image, src));
    }
    void skipLink_data()
    {
        QTest::addColumn<QStringList>("hrefs");
        QTest::addColumn<QList<bool>>("skipped");
        QTest::addColumn<QStringList>("visited");
        QTest::newRow("ordinary once")
            << QStringList{"http://h/a", "http://h/A", "http://h/a"}
            << QList<bool>{false, false, true} << QStringList{"http://h/a", "http://h/A"};
        QTest::newRow("other schemes recorded")
            << QStringList{"ftp://h/f", "ftp://h/f"} << QList<bool>{false, true}
            << QStringList{"ftp://h/f"};
        QTest::newRow("script every time")
            << QStringList{"javascript:show(1)", "JavaScript:show(1)", "javascript:show(1)"}
            << QList<bool>{false, false, false} << QStringList{};
        QTest::newRow("external script never")
            << QStringList{"javascript:window.external.Add()", "JAVASCRIPT:x.EXTERNAL.y"}
            << QList<bool>{true, true} << QStringList{};
        QTest::newRow("external in an ordinary link")
            << QStringList{"http://h/a.external.html"} << QList<bool>{false}
            << QStringList{"http://h/a.external.html"};
    }
    void skipLink()
    {
        QFETCH(QStringList, hrefs);
        QFETCH(QList<bool>, skipped);
        QFETCH(QStringList, visited);
        QStringList list;
        QList<bool> results;
        for (const QString& href : hrefs)
            results << SkipLink(href, list);
        QCOMPARE(results, skipped);
        QCOMPARE(list, visited);
    }
    void captureAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("load");
        QTest::newRow("neither") << "http://h/a.html" << true;
        QTest::newRow("hash only") << "http://h/a.html#top" << false;
        QTest::newRow("query only") << "http://h/a.php?id=1" << true;
        QTest::newRow("query then hash") << "http://h/a.php?id=1#top" << true;
        QTest::newRow("hash then query") << "http://h/a.html#top?x=1" << false;
    }
    void captureAddress()
    {
        QFETCH(QString, url);
        QFETCH(bool, load);
        QCOMPARE(ShouldLoadCaptureAddress(url), load);
    }
};

QTEST_APPLESS_MAIN(tst_HarvestRules)
#include "tst_harvestrules.moc"
