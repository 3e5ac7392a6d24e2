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
    void text_data()
    {
        QTest::addColumn<QString>("input"); // the tag's first word picks the function
        QTest::addColumn<QString>("output");
        // Capitals, queries and short addresses show in the session files' names and keys.
        QTest::newRow("key: query only") << "?abc" << u""_s;
        QTest::newRow("stem: _ and non-ASCII replaced") << u"ftp://xÄa_b~9"_s << u"_a_b_9"_s;
        // Every escaped byte, "+" and joined texts are the fuzz target's; these are quirks.
        QTest::newRow("decode: plus, %2B, %2b") << "a+b%2Bc%2bd" << u"a b c+d"_s;
        QTest::newRow("decode: %0G gives code 23") << "x%0Gy" << u"x\u0017y"_s;
        QTest::newRow("decode: %G0 is out of range") << "x%G0y" << u""_s;
        QTest::newRow("decode: no code page byte, ?") << u"%漢0"_s << u"ð"_s;
        // "Image" at the root of a Windows drive, else inside the program folder.
        QTest::newRow("image: ':' in a Linux folder name")
            << u"/home/u/a:b"_s << u"/home/u/a:b/Image"_s;
        QTest::newRow("image: Windows drive") << u"D:\\Apps\\B"_s << u"D:/Image"_s;
    }
    void text()
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
        else
            QCOMPARE(DefaultImageFolder(input), output);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 HexDigitValue(QString())); // reaches the caller
    }

    // Values are written unescaped: a tag inside one shadows the element.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Record>("read");
        QTest::newRow("own end tag cuts the value")
            << BuildRecordXml(with(&Record::Url, "http://x/a</URL>b"))
            << with(&Record::Url, "http://x/a");
        const Record later = with(&Record::Session, "n <Url>in</Url>");
        QTest::newRow("start tag of a later element")
            << BuildRecordXml(later) << with(&Record::Url, "in", later);
        // Another tool's file: element names in any case and order, on one line.
        QTest::newRow("other tool")
            << u"<frame>main</FRAME><HEADER>R: x</header><PostData>u=b&p=<x></POSTDATA><ACTION>"
               "go.asp</action><URL>http://a/in.asp</Url><SeSsIoN>Login</sEsSiOn><TYPE>Form</type>"_s
            << kSample;
        // An empty Type reads as Form; the other elements as empty.
        QTest::newRow("tricky tags") << u"</Url><Url x>1</Url><Urls>2</Urls><<Url>3</url>"_s
                                     << Record{"Form", "", "3", "", "", "", ""};
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(Record, read);
        Record parsed{"t", "s", "u", "a", "p", "h", "f"};
        ParseRecordXml(text, parsed);
        QCOMPARE(parsed, read);
    }

    void writeIsExactAndReplacesByRename()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.xml"), oldLink = dir.filePath("old.lnk");
        const auto mode = [](const QString& p) {
            struct stat st;
            return ::lstat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_mode : 0u;
        };
        // Through a symbolic link the write would reach the file it points to: the link goes.
        QVERIFY(WriteTextFile(dir.filePath("elsewhere"), "kept"));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), path));
        QVERIFY(WriteTextFile(path, "old"));
        QCOMPARE(readBytes(dir.filePath("elsewhere")), "kept\r\n"_ba);
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
        // What could not be read back (over 4 MiB with its CR LF) is not written: the old stays.
        QVERIFY(!WriteTextFile(path, QString(kMaxTextFileBytes - 1, u'x')));
        QVERIFY(readBytes(path).startsWith("<?xml"));
    }
};

QTEST_APPLESS_MAIN(TestRecordText)
#include "tst_recordtext.moc"
