#include "codepage1252.h"
#include "programdrive.h"
#include "recordtext.h"

#include <QTest>
#include <stdexcept>

using namespace brackenly;

namespace {

QString pairs(int from, int to)
{
    QStringList parts;
    for (int i = from; i <= to; ++i)
        parts << QStringLiteral("n%1=v%1").arg(i);
    return parts.join(u'&');
}

QStringList numbered(const QString& prefix, int from, int to)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << prefix + QString::number(i);
    return list;
}

} // namespace

class TestRecordText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void makeRecordKey_data();
    void makeRecordKey();
    void makeSessionFileName_data();
    void makeSessionFileName();
    void hexDigitValue_data();
    void hexDigitValue();
    void hexDigitValueOfEmptyStringFails();
    void urlDecode_data();
    void urlDecode();
    void splitPostData_data();
    void splitPostData();
    void everyByteRoundTrips();
    void encode_data();
    void encode();
    void programDrive_data();
    void programDrive();
};

void TestRecordText::makeRecordKey_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("key");
    QTest::newRow("capitals and query") << "HTTP://Example.COM/Login.ASP?User=A&x=1"
                                        << "http://example.com/login.asp";
    QTest::newRow("no query") << "http://a.b/C"
                              << "http://a.b/c";
    QTest::newRow("cut at the first ?") << "http://a/x?y?z"
                                        << "http://a/x";
    QTest::newRow("query only") << "?abc"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("non-ASCII lowered")
        << QStringLiteral("http://ÄÖ.de/É") << QStringLiteral("http://äö.de/é");
}

void TestRecordText::makeRecordKey()
{
    QFETCH(QString, url);
    QFETCH(QString, key);
    QCOMPARE(MakeRecordKey(url), key);
}

void TestRecordText::makeSessionFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("stem");
    QTest::newRow("host and path") << "http://www.Example.com/a/b.asp?x=1&y=2"
                                   << "www_Example_com_a_b_asp_x_1_y_2";
    QTest::newRow("https keeps a leading _") << "https://site.org/"
                                             << "_site_org_";
    QTest::newRow("seven characters") << "http://"
                                      << "";
    QTest::newRow("shorter than seven") << "abc"
                                        << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("underscore replaced too") << "http://a_b-c~d"
                                             << "a_b_c_d";
    QTest::newRow("first seven dropped whatever they are") << "ftp://xyzHost"
                                                           << "yzHost";
    QTest::newRow("non-ASCII letters and digits") << QStringLiteral("http://é٣ß9") << "___9";
    QTest::newRow("slash and ? share a name 1") << "http://a/b"
                                                << "a_b";
    QTest::newRow("slash and ? share a name 2") << "http://a?b"
                                                << "a_b";
}

void TestRecordText::makeSessionFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, stem);
    QCOMPARE(MakeSessionFileName(url), stem);
}

void TestRecordText::hexDigitValue_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("value");
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("A") << "A" << 10;
    QTest::newRow("F") << "F" << 15;
    QTest::newRow("a") << "a" << 10;
    QTest::newRow("f") << "f" << 15;
    QTest::newRow("G is not a digit") << "G" << 23;
    QTest::newRow("g") << "g" << 55;
    QTest::newRow("blank") << " " << -16;
    QTest::newRow("only the first character") << "1F" << 1;
    // Codes come from the single-byte code page, not from Unicode.
    QTest::newRow("euro sign is byte 0x80") << QStringLiteral("€") << 0x80 - 48;
    QTest::newRow("y diaeresis is byte 0xFF") << QStringLiteral("ÿ") << 0xFF - 48;
    QTest::newRow("outside the code page reads as ?") << QStringLiteral("漢") << '?' - 48;
    QTest::newRow("surrogate pair reads as ?") << QStringLiteral("😀") << '?' - 48;
}

void TestRecordText::hexDigitValue()
{
    QFETCH(QString, character);
    QFETCH(int, value);
    QCOMPARE(HexDigitValue(character), value);
}

void TestRecordText::hexDigitValueOfEmptyStringFails()
{
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexDigitValue(QString()));
}

void TestRecordText::urlDecode_data()
{
    QTest::addColumn<QString>("encoded");
    QTest::addColumn<QString>("decoded");
    QTest::newRow("plus") << "a+b"
                          << "a b";
    QTest::newRow("%2B is a blank") << "a%2Bb"
                                    << "a b";
    QTest::newRow("%2b is a plus") << "a%2bb"
                                   << "a+b";
    QTest::newRow("%41") << "%41"
                         << "A";
    QTest::newRow("lower-case hex") << "%4a%4A"
                                    << "JJ";
    QTest::newRow("ends in %") << "abc%"
                               << "";
    QTest::newRow("ends in % and one character") << "abc%4"
                                                 << "";
    QTest::newRow("%0G gives code 23") << "x%0Gy" << QStringLiteral("x\u0017y");
    QTest::newRow("%G0 is out of range") << "x%G0y"
                                         << "";
    QTest::newRow("negative value") << "% 1"
                                    << "";
    QTest::newRow("%% is out of range") << "%%41"
                                        << "";
    QTest::newRow("%00") << "a%00b" << QStringView(u"a\0b", 3).toString();
    QTest::newRow("%FF") << "%FF" << QStringLiteral("ÿ");
    QTest::newRow("byte 0x80 is the euro sign") << "%80" << QStringLiteral("€");
    QTest::newRow("undefined byte survives") << "%81" << QString(QChar(0x81));
    QTest::newRow("UTF-8 bytes stay two characters") << "%C3%A9" << QStringLiteral("Ã©");
    QTest::newRow("other characters unchanged") << QStringLiteral("é=ü&") << QStringLiteral("é=ü&");
    QTest::newRow("escaped percent then digits") << "%2541"
                                                 << "%41";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("form text") << "J%FCrgen+M%FCller%21" << QStringLiteral("Jürgen Müller!");
}

void TestRecordText::urlDecode()
{
    QFETCH(QString, encoded);
    QFETCH(QString, decoded);
    const QString result = UrlDecode(encoded);
    QCOMPARE(result, decoded);
    QCOMPARE(result.isEmpty(), decoded.isEmpty());
}

void TestRecordText::splitPostData_data()
{
    QTest::addColumn<QString>("postData");
    QTest::addColumn<QStringList>("namesBefore");
    QTest::addColumn<QStringList>("valuesBefore");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("values");

    const QStringList none;
    const QStringList oldNames{"old1", "old2", "old3"};
    const QStringList oldValues{"v1", "v2", "v3"};
    QTest::newRow("pieces without = are skipped")
        << "a=1&b&c=2=3&=4" << none << none << QStringList{"a", "c", ""}
        << QStringList{"1", "2=3", "4"};
    QTest::newRow("no = leaves lists unchanged")
        << "a&b&c" << oldNames << oldValues << oldNames << oldValues;
    QTest::newRow("empty text leaves lists unchanged")
        << "" << oldNames << oldValues << oldNames << oldValues;
    QTest::newRow("found pairs replace longer lists")
        << "x=1" << oldNames << oldValues << QStringList{"x"} << QStringList{"1"};
    QTest::newRow("trailing & adds nothing")
        << "a=1&" << none << none << QStringList{"a"} << QStringList{"1"};
    QTest::newRow("empty pieces") << "&&a=&&=&" << none << none << QStringList{"a", ""}
                                  << QStringList{"", ""};
    QTest::newRow("values stay encoded")
        << "n%20m=a+b%26c" << none << none << QStringList{"n%20m"} << QStringList{"a+b%26c"};
    QTest::newRow("60 pairs") << pairs(1, 60) << none << none << numbered("n", 1, 60)
                              << numbered("v", 1, 60);
    QTest::newRow("61 pairs: the last piece still counts")
        << pairs(1, 61) << none << none << numbered("n", 1, 61) << numbered("v", 1, 61);
    QTest::newRow("70 pairs stop at 60")
        << pairs(1, 70) << none << none << numbered("n", 1, 60) << numbered("v", 1, 60);
    QTest::newRow("62 pairs stop at 60")
        << pairs(1, 62) << none << none << numbered("n", 1, 60) << numbered("v", 1, 60);
    QTest::newRow("skipped pieces are not counted")
        << "junk&" + pairs(1, 60) + "&junk&n61=v61" << none << none << numbered("n", 1, 60)
        << numbered("v", 1, 60);
    QTest::newRow("60 pairs then a pieceless end")
        << pairs(1, 60) + "&" << none << none << numbered("n", 1, 60) << numbered("v", 1, 60);
}

void TestRecordText::splitPostData()
{
    QFETCH(QString, postData);
    QFETCH(QStringList, namesBefore);
    QFETCH(QStringList, valuesBefore);
    QFETCH(QStringList, names);
    QFETCH(QStringList, values);
    QStringList outNames = namesBefore;
    QStringList outValues = valuesBefore;
    SplitPostData(postData, outNames, outValues);
    QCOMPARE(outNames, names);
    QCOMPARE(outValues, values);
}

void TestRecordText::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = DecodeWindows1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(EncodeWindows1252(text), all);
    // Spot checks of the table against the code page.
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x8A), QChar(0x0160));
    QCOMPARE(text.at(0x99), QChar(0x2122));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    QCOMPARE(text.at(0xA0), QChar(0x00A0));
}

void TestRecordText::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << "a<b>&\r\n" << QByteArray("a<b>&\r\n");
    QTest::newRow("Latin-1 range") << QStringLiteral("äÿ") << QByteArray("\xE4\xFF");
    QTest::newRow("euro and quotes") << QStringLiteral("€“”") << QByteArray("\x80\x93\x94");
    QTest::newRow("outside the code page") << QStringLiteral("a漢b") << QByteArray("a?b");
    QTest::newRow("C1 control without a byte") << QString(QChar(0x80)) << QByteArray("?");
    QTest::newRow("one ? per surrogate pair") << QStringLiteral("x😀y") << QByteArray("x?y");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
}

void TestRecordText::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeWindows1252(text), bytes);
}

void TestRecordText::programDrive_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("imageFolder");
    QTest::newRow("Windows drive") << "D:\\Apps\\Brackenly"
                                   << "D:"
                                   << "D:/Image";
    QTest::newRow("drive root") << "E:"
                                << "E:"
                                << "E:/Image";
    QTest::newRow("Linux: beside the program") << "/opt/brackenly"
                                               << "C:"
                                               << "/opt/brackenly/Image";
    QTest::newRow("file system root") << "/"
                                      << "C:"
                                      << "/Image";
    QTest::newRow("a colon keeps the drive rule") << "/srv/a:b/bin"
                                                  << "/srv/a:"
                                                  << "/srv/a:/Image";
}

void TestRecordText::programDrive()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, drive);
    QFETCH(QString, imageFolder);
    QCOMPARE(GetProgramDrive(programFolder), drive);
    QCOMPARE(DefaultImageFolder(programFolder), imageFolder);
}

QTEST_APPLESS_MAIN(TestRecordText)
#include "tst_recordtext.moc"
