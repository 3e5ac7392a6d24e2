#include "dom.h"
#include "harvestrules.h"
#include "imagenames.h"

#include <QDir>
#include <QTest>

using namespace brackenly;

// The text rules of the harvest: file names, markup src values, link skipping and the
// capture address rule.
class tst_HarvestRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void getFileName_data();
    void getFileName();
    void safeName_data();
    void safeName();
    void imageFilePath_data();
    void imageFilePath();
    void extractSrc_data();
    void extractSrc();
    void matchImageSrc_data();
    void matchImageSrc();
    void findImageLink_data();
    void findImageLink();
    void skipLink_data();
    void skipLink();
    void captureAddress_data();
    void captureAddress();
    void captions_data();
    void captions();
};

void tst_HarvestRules::getFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain path") << "http://h/a/b/pic.gif"
                                << "pic.gif";
    QTest::newRow("query") << "http://h/show.php?id=12&size=big"
                           << "id_12&size_big.jpg";
    QTest::newRow("trailing slash") << "http://h/img/"
                                    << "";
    QTest::newRow("empty query") << "http://h/x.php?"
                                 << ".jpg";
    QTest::newRow("slash in query") << "http://h/get?f=a/b.png"
                                    << "b.png";
    QTest::newRow("no slash") << "pic.gif"
                              << "pic.gif";
    QTest::newRow("no slash, query") << "a?b=c"
                                     << "b_c.jpg";
    QTest::newRow("percent kept") << "http://h/my%20pic%2F1.jpg"
                                  << "my%20pic%2F1.jpg";
    QTest::newRow("second question mark kept") << "http://h/s?a=1?b=2"
                                               << "a_1?b_2.jpg";
    QTest::newRow("colon and ampersand kept") << "http://h/a:b&c.png"
                                              << "a:b&c.png";
    QTest::newRow("backslash is no separator") << "http://h/a\\b.png"
                                               << "a\\b.png";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_HarvestRules::getFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(GetFileName(url), name);
}

void tst_HarvestRules::safeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "pic.gif" << true;
    QTest::newRow("query name") << "id_12&size_big.jpg" << true;
    QTest::newRow("dot jpg") << ".jpg" << true;
    QTest::newRow("three dots") << "..." << true;
    QTest::newRow("percent escapes") << "%2e%2e" << true;
    QTest::newRow("non-ASCII") << QString::fromUtf8("bild-ä.png") << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("slash") << "a/b" << false;
    QTest::newRow("backslash") << "..\\x.jpg" << false;
    QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << false;
    QTest::newRow("newline") << "a\nb.jpg" << false;
    QTest::newRow("tab") << "a\tb.jpg" << false;
    QTest::newRow("DEL") << QString(QStringLiteral("a") + QChar(0x7f)) << false;
    QTest::newRow("C1 control") << QString(QStringLiteral("a") + QChar(0x85)) << false;
    QTest::newRow("255 bytes") << QString(255, QLatin1Char('a')) << true;
    QTest::newRow("256 bytes") << QString(256, QLatin1Char('a')) << false;
    // 128 two-byte characters: 128 characters but 256 bytes.
    QTest::newRow("256 bytes in UTF-8") << QString(128, QChar(0xe4)) << false;
    QTest::newRow("254 bytes in UTF-8") << QString(127, QChar(0xe4)) << true;
}

void tst_HarvestRules::safeName()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QCOMPARE(IsSafeImageFileName(name), safe);
}

void tst_HarvestRules::imageFilePath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("src");
    QTest::addColumn<QString>("path");
    const QString sep = QDir::separator();
    QTest::newRow("joined") << "/pics"
                            << "http://h/a.jpg"
                            << "/pics" + sep + "a.jpg";
    QTest::newRow("query name") << "/pics"
                                << "http://h/a.php?id=1"
                                << "/pics" + sep + "id_1.jpg";
    QTest::newRow("folder with blanks") << "/my pics"
                                        << "http://h/a.jpg"
                                        << "/my pics" + sep + "a.jpg";
    QTest::newRow("directory address") << "/pics"
                                       << "http://h/img/"
                                       << "";
    QTest::newRow("dot dot name") << "/pics"
                                  << "http://h/.."
                                  << "";
    QTest::newRow("query climbing out") << "/pics"
                                        << "http://h/x?..\\..\\evil"
                                        << "";
    QTest::newRow("no folder") << ""
                               << "http://h/a.jpg"
                               << "";
}

void tst_HarvestRules::imageFilePath()
{
    QFETCH(QString, folder);
    QFETCH(QString, src);
    QFETCH(QString, path);
    QCOMPARE(ImageFilePath(folder, src), path);
}

void tst_HarvestRules::extractSrc_data()
{
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("src");
    QTest::newRow("unquoted ends at space") << "<img src=a.jpg width=5>"
                                            << "a.jpg";
    QTest::newRow("unquoted ends at >") << "<img src=a.jpg>"
                                        << "a.jpg";
    QTest::newRow("double quoted with blank") << "<img src=\"my pic.jpg\" alt=x>"
                                              << "my pic.jpg";
    QTest::newRow("single quoted") << "<img src='b.gif'>"
                                   << "b.gif";
    QTest::newRow("other quote inside") << "<img src=\"it's.gif\">"
                                        << "it's.gif";
    QTest::newRow("upper case attribute") << "<IMG SRC=\"../../pics/a.jpg\">"
                                          << "../../pics/a.jpg";
    QTest::newRow("no src") << "<img alt=x>"
                            << "";
    QTest::newRow("src without blank before") << "<img\tsrc=a.jpg>"
                                              << "";
    QTest::newRow("unclosed quote") << "<img src=\"a.jpg>"
                                    << "";
    QTest::newRow("unquoted runs to the end") << "<img src=a.jpg"
                                              << "";
    QTest::newRow("empty quoted") << "<img src=\"\">"
                                  << "";
    QTest::newRow("src= at the very end") << "<img src="
                                          << "";
    QTest::newRow("first src wins") << "<img data-x src=1.gif src=2.gif>"
                                    << "1.gif";
    QTest::newRow("lowsrc is not src") << "<img lowsrc=x src=y>"
                                       << "y";
}

void tst_HarvestRules::extractSrc()
{
    QFETCH(QString, markup);
    QFETCH(QString, src);
    QCOMPARE(ExtractSrc(markup), src);
}

void tst_HarvestRules::matchImageSrc_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<QString>("markupSrc");
    QTest::addColumn<bool>("match");
    QTest::newRow("two levels up") << "http://h/pics/a.jpg"
                                   << "../../pics/a.jpg" << true;
    QTest::newRow("three levels up") << "http://h/a.jpg"
                                     << "../../../a.jpg" << true;
    QTest::newRow("four levels: one left") << "http://h/a.jpg"
                                           << "../../../../a.jpg" << false;
    QTest::newRow("relative") << "http://h/x/thumbs/t.jpg"
                              << "thumbs/t.jpg" << true;
    QTest::newRow("absolute") << "http://h/t.jpg"
                              << "http://h/t.jpg" << true;
    QTest::newRow("case differs") << "http://h/T.jpg"
                                  << "t.jpg" << false;
    QTest::newRow("other file") << "http://h/a.jpg"
                                << "b.jpg" << false;
    QTest::newRow("only dots") << "http://h/a.jpg"
                               << "../../" << false;
    QTest::newRow("blank") << "http://h/a.jpg"
                           << "   " << false;
    QTest::newRow("dot slash is not dropped") << "http://h/a.jpg"
                                              << "./a.jpg" << false;
}

void tst_HarvestRules::matchImageSrc()
{
    QFETCH(QString, src);
    QFETCH(QString, markupSrc);
    QFETCH(bool, match);
    QCOMPARE(MatchImageSrc(src, markupSrc), match);
}

void tst_HarvestRules::findImageLink_data()
{
    QTest::addColumn<QStringList>("innerHtml"); // one per link; link i's address is "L<i>"
    QTest::addColumn<QString>("src");
    QTest::addColumn<QString>("link");
    QTest::newRow("wrapping link")
        << QStringList{"text", "<img src=\"t/a.jpg\">"} << "http://h/t/a.jpg"
        << "L1";
    QTest::newRow("first match wins")
        << QStringList{"<IMG SRC=a.jpg>", "<img src=a.jpg>"} << "http://h/a.jpg"
        << "L0";
    QTest::newRow("leading blank") << QStringList{" <img src=a.jpg>"} << "http://h/a.jpg"
                                   << "";
    QTest::newRow("other tag") << QStringList{"<b><img src=a.jpg></b>"} << "http://h/a.jpg"
                               << "";
    QTest::newRow("no blank after tag") << QStringList{"<img\nsrc=a.jpg>"} << "http://h/a.jpg"
                                        << "";
    QTest::newRow("other image") << QStringList{"<img src=b.jpg>"} << "http://h/a.jpg"
                                 << "";
    QTest::newRow("no links") << QStringList{} << "http://h/a.jpg"
                              << "";
}

void tst_HarvestRules::findImageLink()
{
    QFETCH(QStringList, innerHtml);
    QFETCH(QString, src);
    QFETCH(QString, link);
    QList<DomLink> links;
    for (int i = 0; i < innerHtml.size(); ++i)
        links.append({i + 1, QStringLiteral("http://h/href%1").arg(i), innerHtml[i],
                      QStringLiteral("L%1").arg(i)});
    QCOMPARE(FindImageLink(links, src), link);
}

void tst_HarvestRules::skipLink_data()
{
    QTest::addColumn<QStringList>("hrefs");
    QTest::addColumn<QList<bool>>("skipped");
    QTest::addColumn<QStringList>("visited");
    QTest::newRow("ordinary once")
        << QStringList{"http://h/a", "http://h/b", "http://h/a"} << QList<bool>{false, false, true}
        << QStringList{"http://h/a", "http://h/b"};
    QTest::newRow("exact text") << QStringList{"http://h/a", "http://h/A", "http://h/a "}
                                << QList<bool>{false, false, false}
                                << QStringList{"http://h/a", "http://h/A", "http://h/a "};
    QTest::newRow("other schemes recorded")
        << QStringList{"https://h/a", "ftp://h/f", "https://h/a"} << QList<bool>{false, false, true}
        << QStringList{"https://h/a", "ftp://h/f"};
    QTest::newRow("script every time")
        << QStringList{"javascript:show(1)", "JavaScript:show(1)", "javascript:show(1)"}
        << QList<bool>{false, false, false} << QStringList{};
    QTest::newRow("external script never")
        << QStringList{"javascript:window.external.AddFavorite()", "JAVASCRIPT:x.EXTERNAL.y"}
        << QList<bool>{true, true} << QStringList{};
    QTest::newRow("external in ordinary link is followed")
        << QStringList{"http://h/a.external.html"} << QList<bool>{false}
        << QStringList{"http://h/a.external.html"};
    QTest::newRow("script inside an address")
        << QStringList{"http://h/go?to=javascript:x", "http://h/go?to=javascript:x"}
        << QList<bool>{false, false} << QStringList{};
}

void tst_HarvestRules::skipLink()
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

void tst_HarvestRules::captureAddress_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("load");
    QTest::newRow("neither") << "http://h/a.html" << true;
    QTest::newRow("hash only") << "http://h/a.html#top" << false;
    QTest::newRow("query only") << "http://h/a.php?id=1" << true;
    QTest::newRow("query then hash") << "http://h/a.php?id=1#top" << true;
    QTest::newRow("hash then query") << "http://h/a.html#top?x=1" << false;
    QTest::newRow("bare hash") << "#" << false;
    QTest::newRow("empty") << "" << true;
}

void tst_HarvestRules::captureAddress()
{
    QFETCH(QString, url);
    QFETCH(bool, load);
    QCOMPARE(ShouldLoadCaptureAddress(url), load);
}

void tst_HarvestRules::captions_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("blocked");
    QTest::newRow("1") << 1 << "Brackenly v1.1 (Popup Window - Level 1)"
                       << "1 Pop-up is blocked";
    QTest::newRow("2") << 2 << "Brackenly v1.1 (Popup Window - Level 2)"
                       << "2 Pop-up is blocked";
    QTest::newRow("12") << 12 << "Brackenly v1.1 (Popup Window - Level 12)"
                        << "12 Pop-up is blocked";
}

void tst_HarvestRules::captions()
{
    QFETCH(int, count);
    QFETCH(QString, level);
    QFETCH(QString, blocked);
    QCOMPARE(PopupWindowCaption(count), level);
    QCOMPARE(BlockedPopupText(count), blocked);
}

QTEST_APPLESS_MAIN(tst_HarvestRules)
#include "tst_harvestrules.moc"
