#include "programdrive.h"
#include "recordfile.h"
#include "recordtext.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

using namespace brackenly;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(brackenly::Record)

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>"_ba;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const Record kSample{"Form", "Login", "http://a/in.asp", "go.asp", "u=b&p=<x>", "R: x", "main"};

Record with(QString Record::*field, const QString& value, Record r = kSample)
{
    r.*field = value;
    return r;
}

} // namespace

class TestRecordText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void text_data();
    void text();
    void parse_data();
    void parse();
    void writeIsExactAndReplacesByRename();
    void defaultImageFolder_data();
    void defaultImageFolder();
};

void TestRecordText::text_data()
{
    QTest::addColumn<QString>("input"); // the tag's first word picks the function
    QTest::addColumn<QString>("output");
    QTest::newRow("key: capitals and query")
        << "HTTP://E.COM/B.asp?x=1?y" << u"http://e.com/b.asp"_s;
    QTest::newRow("key: query only") << "?abc" << u""_s;
    QTest::newRow("stem: capitals and query")
        << "HTTP://E.COM/B.asp?x=1?y" << u"E_COM_B_asp_x_1_y"_s;
    QTest::newRow("stem: https, leading _") << "https://s.org" << u"_s_org"_s;
    QTest::newRow("stem: seven characters") << "http://" << u""_s;
    QTest::newRow("stem: _ and non-ASCII replaced") << u"ftp://xÄa_b~9"_s << u"_a_b_9"_s;
    QTest::newRow("decode: plus, %2B, %2b") << "a+b%2Bc%2bd" << u"a b c+d"_s;
    QTest::newRow("decode: hex digits") << "%41%4a%00" << QStringView(u"AJ\0", 3).toString();
    QTest::newRow("decode: %0G gives code 23") << "x%0Gy" << u"x\u0017y"_s;
    QTest::newRow("decode: %G0 is out of range") << "x%G0y" << u""_s;
    QTest::newRow("decode: no code page byte, ?") << u"%漢0"_s << u"ð"_s;
    QTest::newRow("decode: UTF-8 stays two characters") << "%C3%A9%2541" << u"Ã©%41"_s;
    QTest::newRow("split: pieces without =") << "a=1&b&c=2=3&=4&" << u"a=1&c=2=3&=4"_s;
}

void TestRecordText::text()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    const QString tag = QTest::currentDataTag();
    if (tag.startsWith("key"))
        QCOMPARE(MakeRecordKey(input), output);
    else if (tag.startsWith("stem"))
        QCOMPARE(MakeSessionFileName(input), output);
    else if (tag.startsWith("decode"))
        QCOMPARE(UrlDecode(input), output);
    else {
        QStringList names{"old1", "old2", "old3"}, values{"v1", "v2", "v3"}, joined;
        SplitPostData(input, names, values);
        QCOMPARE(names.size(), values.size());
        for (qsizetype i = 0; i < names.size(); ++i)
            joined << names[i] + u'=' + values[i];
        QCOMPARE(joined.join(u'&'), output);
    }
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexDigitValue(QString())); // reaches the caller
}

void TestRecordText::parse_data()
{
    QTest::addColumn<Record>("written"); // with raw bytes: the record they are parsed into
    QTest::addColumn<Record>("read");
    QTest::addColumn<QByteArray>("raw");
    QTest::newRow("own end tag cuts the value")
        << with(&Record::Url, "http://x/a</URL>b") << with(&Record::Url, "http://x/a") << ""_ba;
    const Record later = with(&Record::Session, "n <Url>in</Url>");
    QTest::newRow("start tag of a later element")
        << later << with(&Record::Url, "in", later) << ""_ba;
    QTest::newRow("empty Type reads as Form") << with(&Record::Type, "") << kSample << ""_ba;
    QTest::newRow("other tool: other order, one line, mixed case")
        << kSample << kSample
        << "<Frame>main</FRAME><HEADER>R: x</header><PostData>u=b&p=<x></POSTDATA><ACTION>go.asp"
           "</ACTION><URL>http://a/in.asp</Url><SeSsIoN>Login</sEsSiOn><TYPE>Form</type>"_ba;
    QTest::newRow("other tool: lower case, LF, byte order mark")
        << kSample << kSample
        << "\xEF\xBB\xBF<quillmark>\n<type>Form</type>\n<session>Login</session>\n<url>http://a/"
           "in.asp</url>\n<action>go.asp</action>\n<postdata>u=b&p=<x></postdata>\n"
           "<header>R: x</header>\n<frame>main</frame>\n</quillmark>\n"_ba;
    QTest::newRow("tricky tags") << kSample << Record{"Form", "", "3", "", "", "", ""}
                                 << "</Url><Url x>1</Url><Urls>2</Urls><<Url>3</url>"_ba;
    QTest::newRow("settings: only the type is read")
        << kSample << with(&Record::Type, "Home") << "<Type>Home</Type><Url>u</Url>"_ba;
}

void TestRecordText::parse()
{
    QFETCH(Record, written);
    QFETCH(Record, read);
    QFETCH(QByteArray, raw);
    QTemporaryDir dir;
    QVERIFY(raw.isEmpty() ? WriteTextFile(dir.filePath("r.xml"), BuildRecordXml(written))
                          : writeBytes(dir.filePath("r.xml"), raw));
    QString text;
    QVERIFY(ReadTextFile(dir.filePath("r.xml"), text));
    Record parsed = raw.isEmpty() ? Record{} : written;
    ParseRecordXml(text, parsed);
    QCOMPARE(parsed, read);
}

void TestRecordText::writeIsExactAndReplacesByRename()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.xml"), oldLink = dir.filePath("old.lnk");
    const auto mode = [](const QString& p) {
        struct stat st;
        return ::lstat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_mode : 0u;
    };
    // Through a symbolic link the write would reach the file it points to: the link goes.
    QVERIFY(writeBytes(dir.filePath("elsewhere"), "kept"));
    QVERIFY(QFile::link(dir.filePath("elsewhere"), path));
    QVERIFY(WriteTextFile(path, "old"));
    QCOMPARE(readBytes(dir.filePath("elsewhere")), "kept"_ba);
    QVERIFY(QFile::remove(dir.filePath("elsewhere")));
    // Passwords: the owner's alone, also in place of a file others could read.
    QCOMPARE(mode(path), S_IFREG | 0600u);
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    // A hard link keeps the old file: an in-place rewrite would change it, a rename does not.
    std::filesystem::create_hard_link(path.toStdString(), oldLink.toStdString());
    QVERIFY(WriteTextFile(path, BuildRecordXml(with(&Record::Session, u"Grüß €"_s))));
    QCOMPARE(readBytes(path),
             "<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n    <Type>Form</Type>\r\n"
             "    <Session>Gr\xFC\xDF \x80</Session>\r\n    <Url>http://a/in.asp</Url>\r\n"
             "    <Action>go.asp</Action>\r\n    <Postdata>u=b&p=<x></Postdata>\r\n"
             "    <Header>R: x</Header>\r\n    <Frame>main</Frame>\r\n"
             "</Quillmark>\r\n"_ba);
    QCOMPARE(readBytes(oldLink), "old\r\n"_ba);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    QCOMPARE(mode(path), S_IFREG | 0600u);
    // What could not be read back is not written: the old file stays.
    QVERIFY(!WriteTextFile(path, QString(kMaxTextFileBytes - 1, u'x')));
    QVERIFY(WriteTextFile(oldLink, QString(kMaxTextFileBytes - 2, u'x')));
    QString text;
    QVERIFY(ReadTextFile(oldLink, text));
    QVERIFY(readBytes(path).startsWith("<?xml"));
}

// Fixed expectations: "Image" at the root of a Windows drive, else inside the program folder.
void TestRecordText::defaultImageFolder_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("imageFolder");
    const QString sep = QDir::separator();
    QTest::newRow("Linux") << u"/opt/b"_s << "/opt/b" + sep + "Image";
    QTest::newRow("Linux, ':' in a folder name")
        << u"/home/u/a:b"_s << "/home/u/a:b" + sep + "Image";
    QTest::newRow("Windows drive") << u"D:\\Apps\\B"_s << "D:" + sep + "Image";
}

void TestRecordText::defaultImageFolder()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, imageFolder);
    QCOMPARE(DefaultImageFolder(programFolder), imageFolder);
}

QTEST_APPLESS_MAIN(TestRecordText)
#include "tst_recordtext.moc"