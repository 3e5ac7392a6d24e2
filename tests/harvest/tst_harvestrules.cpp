#include "harvestrules.h"
#include "imagenames.h"
#include "modernimages.h"

#include <QSize>
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
        // What a safe name may not hold (hidden, "..", separators, NUL, over 255 bytes) and the
        // path built from it are the fuzz target's; these are the names taken and the boundary.
        row("query", "http://h/show.php?id=12&size=big", "id_12&size_big.jpg", true);
        row("second ? kept", "http://h/s?a=1?b=2", "a_1?b_2.jpg", true);
        row("slash in query", "http://h/get?f=a/b.png", "b.png", true);
        row("percent kept", "http://h/my%20pic%2F1.jpg", "my%20pic%2F1.jpg", true);
        row("trailing slash", "http://h/img/", "", false);
        row("leading dash", "http://h/--checkpoint=1", "--checkpoint=1", false);
        row("255 bytes", "http://h/" + QString(255, 'a'), QString(255, 'a'), true);
    }
    void fileName()
    {
        QFETCH(QString, url);
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(GetFileName(url), name);
        QCOMPARE(IsSafeImageFileName(name), safe);
        QCOMPARE(ImageFilePath("", url), QString());
    }
    void markupSrc_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("image"); // the image's resolved address
        // Reading back what was written and up to three "../" are the fuzz target's; these are
        // the near misses of a match.
        const auto row = [](const char* markup, const char* src, const char* image) {
            QTest::newRow(markup) << QString(markup) << QString(src) << QString(image);
        };
        row("<img src=../../../../a.jpg>", "../../../../a.jpg", "http://h/a.jpg");
        row("<img src=./a.jpg>", "./a.jpg", "http://h/a.jpg");
        row("<img src=t.jpg>", "t.jpg", "http://h/T.jpg");
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
        QTest::newRow("ordinary once, case counts")
            << QStringList{"http://h/a", "http://h/A", "http://h/a", "ftp://h/f", "ftp://h/f"}
            << QList<bool>{false, false, true, false, true}
            << QStringList{"http://h/a", "http://h/A", "ftp://h/f"};
        QTest::newRow("script every time")
            << QStringList{"javascript:show(1)", "JavaScript:show(1)", "javascript:show(1)"}
            << QList<bool>{false, false, false} << QStringList{};
        QTest::newRow("external script never, whatever the case")
            << QStringList{"javascript:window.external.Add()", "JAVASCRIPT:x.EXTERNAL.y",
                           "http://h/a.external.html"}
            << QList<bool>{true, true, false} << QStringList{"http://h/a.external.html"};
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
        QTest::addColumn<bool>("load"); // a plain and a '#'-only address are the run test's
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
    void modernImages_data()
    {
        // Sources of one kind (loaded pictures of one size) in document order, against the base
        // http://h/d/p.html. No placeholder or repeat comes out: the fuzz target's.
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("saved");
        using Kind = DomImageSource::Kind;
        const auto row = [](const char* name, Kind kind, const QStringList& values,
                            const QStringList& saved, QSize size = {0, 0}) {
            QTest::newRow(name) << int(kind) << values << size << saved;
        };
        row("1x1 picture", Kind::Src, {"http://h/1.gif"}, {}, {1, 1});
        row("widest", Kind::Srcset, {"s.jpg 300w, l.jpg 1200w 9h, m.jpg 600w"},
            {"http://h/d/l.jpg"});
        row("densest, bare is 1x", Kind::Srcset, {"m.jpg, l.jpg 2x, s.jpg 0.5x"},
            {"http://h/d/l.jpg"});
        row("width over density", Kind::Srcset, {"x.jpg 3x, w.jpg 10w"}, {"http://h/d/w.jpg"});
        row("commas inside addresses", Kind::Srcset, {"data:image/gif;base64,R0,lG 9x,b,c.jpg 1x"},
            {"http://h/d/b,c.jpg"});
        row("bad descriptor drops its candidate", Kind::Srcset, {"big.jpg 2q, s.jpg 1x", " , "},
            {"http://h/d/s.jpg"});
        row("lazy addresses resolved", Kind::Lazy, {"../one two.jpg", "data:,x", "//o/z.png"},
            {"http://h/one%20two.jpg", "http://o/z.png"});
        row("background url items", Kind::Background,
            {"url(\"http://h/q\\\"x.png\"), linear-gradient(red, blue), url(b.png)", "none"},
            {"http://h/q%22x.png", "http://h/d/b.png"});
        row("image-set: its densest option alone", Kind::Background,
            {"-webkit-image-set(url(\"a.png\") 1x, url(\"data:,z\") 9x, url(c.png) 2x), "
             "image-set(\"s.png\" type(\"image/webp\"), 'd.png' 192dpi, linear-gradient(red, "
             "blue) 3x)"},
            {"http://h/d/c.png", "http://h/d/d.png"});
    }
    void modernImages()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, values);
        QFETCH(QSize, size);
        QFETCH(QStringList, saved);
        DomImageSources sources{"http://h/d/p.html", {}};
        for (const QString& value : values)
            sources.items.append({DomImageSource::Kind(kind), value, size.width(), size.height()});
        QStringList found;
        for (const DomImage& image : ModernImages(sources))
            found.append(image.src);
        QCOMPARE(found, saved);
    }
};

QTEST_APPLESS_MAIN(tst_HarvestRules)
#include "tst_harvestrules.moc"
