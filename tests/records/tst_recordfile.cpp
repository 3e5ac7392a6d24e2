#include "recordfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace brackenly;

Q_DECLARE_METATYPE(brackenly::Record)

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

Record sample()
{
    return Record{"Form",       "Login", "http://a.example/login.asp", "check.asp", "user=bob&pw=x",
                  "Referer: x", "main"};
}

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buildRecordXmlIsExact();
    void buildSettingsXmlIsExact();
    void writtenBytesAreExact();
    void roundTrip_data();
    void roundTrip();
    void foreignFiles_data();
    void foreignFiles();
    void homeTypeLeavesOtherFields();
    void getTagValue_data();
    void getTagValue();
    void writeReplacesByRename();
    void writeFailures_data();
    void writeFailures();
    void readFailures_data();
    void readFailures();
    void readsBinaryAndBom();
    void readDoesNotBlockOnFifo();
    void paths();
};

void TestRecordFile::buildRecordXmlIsExact()
{
    const QString expected = QStringLiteral("<?xml version=\"1.0\"?>\r\n"
                                            "<Quillmark>\r\n"
                                            "    <Type>Form</Type>\r\n"
                                            "    <Session>Login</Session>\r\n"
                                            "    <Url>http://a.example/login.asp</Url>\r\n"
                                            "    <Action>check.asp</Action>\r\n"
                                            "    <Postdata>user=bob&pw=x</Postdata>\r\n"
                                            "    <Header>Referer: x</Header>\r\n"
                                            "    <Frame>main</Frame>\r\n"
                                            "</Quillmark>");
    QCOMPARE(BuildRecordXml(sample()), expected);
}

void TestRecordFile::buildSettingsXmlIsExact()
{
    const QString expected = QStringLiteral("<?xml version=\"1.0\"?>\r\n"
                                            "<Quillmark>\r\n"
                                            "    <Type>Home</Type>\r\n"
                                            "    <Home>http://h/?a=1&b=<2></Home>\r\n"
                                            "    <ImageFolder>/x/Im&age</ImageFolder>\r\n"
                                            "</Quillmark>");
    QCOMPARE(BuildSettingsXml("http://h/?a=1&b=<2>", "/x/Im&age"), expected);
}

void TestRecordFile::writtenBytesAreExact()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("s.xml");
    Record r = sample();
    r.Session = QStringLiteral("Grüße 漢 €");
    QVERIFY(WriteTextFile(path, BuildRecordXml(r)));
    const QByteArray expected = "<?xml version=\"1.0\"?>\r\n"
                                "<Quillmark>\r\n"
                                "    <Type>Form</Type>\r\n"
                                "    <Session>Gr\xFC\xDF"
                                "e ? \x80</Session>\r\n"
                                "    <Url>http://a.example/login.asp</Url>\r\n"
                                "    <Action>check.asp</Action>\r\n"
                                "    <Postdata>user=bob&pw=x</Postdata>\r\n"
                                "    <Header>Referer: x</Header>\r\n"
                                "    <Frame>main</Frame>\r\n"
                                "</Quillmark>\r\n";
    QCOMPARE(readBytes(path), expected);

    QVERIFY(WriteTextFile(path, BuildSettingsXml("h", "f")));
    QVERIFY(readBytes(path).endsWith("    <ImageFolder>f</ImageFolder>\r\n</Quillmark>\r\n"));
}

void TestRecordFile::roundTrip_data()
{
    QTest::addColumn<Record>("written");
    QTest::addColumn<Record>("read");

    const Record base = sample();
    QTest::newRow("plain") << base << base;

    Record markup = base;
    markup.Postdata = "a=<b>&c=\"d\"&e='&amp;'";
    markup.Action = "x.asp?a=1&b=2";
    QTest::newRow("markup characters unescaped") << markup << markup;

    Record lines = base;
    lines.Header = "Referer: http://x/\r\nCookie: a=b\r\n";
    QTest::newRow("header over several lines") << lines << lines;

    Record blanks = base;
    blanks.Session = "  padded \t ";
    blanks.Frame = "";
    QTest::newRow("blanks and empty values kept") << blanks << blanks;

    Record codePage = base;
    codePage.Session = QStringLiteral("Café ÿ € ™");
    QTest::newRow("code page characters") << codePage << codePage;

    Record outside = base;
    outside.Session = QStringLiteral("漢字 test 😀");
    Record outsideRead = outside;
    outsideRead.Session = "?? test ?";
    QTest::newRow("characters outside the code page become ?") << outside << outsideRead;

    Record endTag = base;
    endTag.Url = "http://x/a</URL>b";
    Record endTagRead = endTag;
    endTagRead.Url = "http://x/a";
    QTest::newRow("own end tag cuts the value") << endTag << endTagRead;

    Record laterStart = base;
    laterStart.Session = "name <Url>inside</Url> tail";
    Record laterStartRead = laterStart;
    laterStartRead.Url = "inside";
    QTest::newRow("start tag of a later element") << laterStart << laterStartRead;

    Record otherEnd = base;
    otherEnd.Postdata = "a=</Header>&b=</Frame>";
    QTest::newRow("end tags of other elements") << otherEnd << otherEnd;

    Record emptyType = base;
    emptyType.Type = "";
    Record emptyTypeRead = base;
    emptyTypeRead.Type = "Form";
    QTest::newRow("empty Type reads as Form") << emptyType << emptyTypeRead;

    Record link = base;
    link.Type = "Link";
    QTest::newRow("other types kept") << link << link;

    Record upperHome = base;
    upperHome.Type = "HOME";
    QTest::newRow("HOME is parsed as a record") << upperHome << upperHome;
}

void TestRecordFile::roundTrip()
{
    QFETCH(Record, written);
    QFETCH(Record, read);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("r.xml");
    QVERIFY(WriteTextFile(path, BuildRecordXml(written)));
    QString text;
    QVERIFY(ReadTextFile(path, text));
    Record parsed;
    ParseRecordXml(text, parsed);
    QCOMPARE(parsed, read);
}

void TestRecordFile::foreignFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("other order, no declaration")
        << QByteArray("<Quillmark>\n<Frame>main</Frame><Header>Referer: x</Header>\n"
                      "<Postdata>user=bob&pw=x</Postdata><Action>check.asp</Action>"
                      "<Url>http://a.example/login.asp</Url><Session>Login</Session>"
                      "<Type>Form</Type></Quillmark>");
    QTest::newRow("lower case, LF only")
        << QByteArray("<?xml version=\"1.0\"?>\n<quillmark>\n<type>Form</type>\n"
                      "<session>Login</session>\n<url>http://a.example/login.asp</url>\n"
                      "<action>check.asp</action>\n<postdata>user=bob&pw=x</postdata>\n"
                      "<header>Referer: x</header>\n<frame>main</frame>\n</quillmark>\n");
    QTest::newRow("one line, mixed case")
        << QByteArray("<TYPE>Form</type><SeSsIoN>Login</sEsSiOn><URL>http://a.example/"
                      "login.asp</Url><ACTION>check.asp</ACTION><PostData>user=bob&pw=x"
                      "</POSTDATA><HEADER>Referer: x</header><Frame>main</FRAME>");
    QTest::newRow("UTF-8 byte order mark")
        << QByteArray("\xEF\xBB\xBF<Type>Form</Type><Session>Login</Session>"
                      "<Url>http://a.example/login.asp</Url><Action>check.asp</Action>"
                      "<Postdata>user=bob&pw=x</Postdata><Header>Referer: x</Header>"
                      "<Frame>main</Frame>");
}

void TestRecordFile::foreignFiles()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("f.xml");
    QVERIFY(writeBytes(path, bytes));
    QString text;
    QVERIFY(ReadTextFile(path, text));
    Record parsed;
    ParseRecordXml(text, parsed);
    QCOMPARE(parsed, sample());
}

void TestRecordFile::homeTypeLeavesOtherFields()
{
    const Record before{"x",         "keep-session", "keep-url",  "keep-action",
                        "keep-post", "keep-header",  "keep-frame"};
    Record r = before;
    ParseRecordXml(BuildSettingsXml("http://home/", "/img"), r);
    QCOMPARE(r.Type, QStringLiteral("Home"));
    Record expected = before;
    expected.Type = "Home";
    QCOMPARE(r, expected);

    r = before;
    ParseRecordXml("<Type>home</Type><Url>u</Url>", r);
    QCOMPARE(r.Type, QStringLiteral("home"));
    QCOMPARE(r.Url, QStringLiteral("u"));
    QCOMPARE(r.Session, QString());
}

void TestRecordFile::getTagValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("simple") << "<a>1</a>"
                            << "a"
                            << "1";
    QTest::newRow("first start tag wins") << "<a>1</a><a>2</a>"
                                          << "a"
                                          << "1";
    QTest::newRow("no start tag") << "<b>1</b>"
                                  << "a"
                                  << "";
    QTest::newRow("no end tag") << "<a>1"
                                << "a"
                                << "";
    QTest::newRow("end tag only before the start tag") << "</a><a>1"
                                                       << "a"
                                                       << "";
    QTest::newRow("case-insensitive") << "<TYPE>Form</type>"
                                      << "Type"
                                      << "Form";
    QTest::newRow("empty value") << "<a></a>"
                                 << "a"
                                 << "";
    QTest::newRow("blanks and line breaks kept") << "<a>\r\n x \r\n</a>"
                                                 << "a"
                                                 << "\r\n x \r\n";
    QTest::newRow("attributes are not a start tag") << "<a x='1'>v</a>"
                                                    << "a"
                                                    << "";
    QTest::newRow("prefix of a longer name") << "<Url2>x</Url2><Url>y</Url>"
                                             << "Url"
                                             << "y";
    QTest::newRow("empty text") << ""
                                << "a"
                                << "";
    QTest::newRow("adjacent <") << "<<a>v</a>"
                                << "a"
                                << "v";
    QTest::newRow("false start first") << "<ab><a>v</a>"
                                       << "a"
                                       << "v";
    QTest::newRow("start tag ends the text") << "x<a>"
                                             << "a"
                                             << "";
    QTest::newRow("text shorter than the tag") << "<a"
                                               << "a"
                                               << "";
    QTest::newRow("NUL characters") << QStringView(u"\0<a>\0x\0</a>", 12).toString() << "a"
                                    << QStringView(u"\0x\0", 3).toString();
}

void TestRecordFile::getTagValue()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QCOMPARE(GetTagValue(text, name), value);
}

void TestRecordFile::writeReplacesByRename()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("s.xml");
    const QString oldLink = dir.filePath("old.lnk");
    QVERIFY(WriteTextFile(path, "old"));
    // A hard link keeps the old file: an in-place rewrite would change it, a rename does not.
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldLink).constData()),
             0);
    QVERIFY(WriteTextFile(path, "new"));
    QCOMPARE(readBytes(path), QByteArray("new\r\n"));
    QCOMPARE(readBytes(oldLink), QByteArray("old\r\n"));
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestRecordFile::writeFailures_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missing folder") << "missing/s.xml";
    QTest::newRow("path is a folder") << "folder.xml";
    QTest::newRow("below a file") << "file.txt/s.xml";
}

void TestRecordFile::writeFailures()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("folder.xml"));
    QVERIFY(writeBytes(dir.filePath("file.txt"), "x"));
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QVERIFY(!WriteTextFile(dir.filePath(relativePath), "text"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             before);
    QVERIFY(QFileInfo(dir.filePath("folder.xml")).isDir());
}

void TestRecordFile::readFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << "missing.xml";
    QTest::newRow("folder") << "folder.xml";
    QTest::newRow("100 MB") << "huge.xml";
    QTest::newRow("one byte over the cap") << "over.xml";
}

void TestRecordFile::readFailures()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("folder.xml"));
    {
        QFile huge(dir.filePath("huge.xml"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.write("<Type>Form</Type>") > 0);
        QVERIFY(huge.resize(100LL * 1024 * 1024)); // sparse: cheap to make
        QFile over(dir.filePath("over.xml"));
        QVERIFY(over.open(QIODevice::WriteOnly));
        QVERIFY(over.resize(kMaxTextFileBytes + 1));
    }
    QString text = "untouched";
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!ReadTextFile(dir.filePath(name), text));
    QCOMPARE(text, QStringLiteral("untouched"));
    QVERIFY2(timer.elapsed() < 1000, "refusing a file must not read it");
}

void TestRecordFile::readsBinaryAndBom()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 37) & 0xFF));
    QVERIFY(writeBytes(dir.filePath("b.xml"), binary));
    QString text;
    QVERIFY(ReadTextFile(dir.filePath("b.xml"), text));
    QCOMPARE(text.size(), binary.size());

    // Exactly at the cap is still read.
    QByteArray atCap(int(kMaxTextFileBytes), 'x');
    atCap.replace(0, 12, "<Url>u</Url>");
    QVERIFY(writeBytes(dir.filePath("cap.xml"), atCap));
    QVERIFY(ReadTextFile(dir.filePath("cap.xml"), text));
    QCOMPARE(GetTagValue(text, "Url"), QStringLiteral("u"));

    // UTF-8 bytes read as single-byte characters, like any other file.
    QVERIFY(writeBytes(dir.filePath("u.xml"), "\xEF\xBB\xBF<Session>\xC3\xA9</Session>"));
    QVERIFY(ReadTextFile(dir.filePath("u.xml"), text));
    QCOMPARE(GetTagValue(text, "Session"), QStringLiteral("Ã©"));
}

void TestRecordFile::readDoesNotBlockOnFifo()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fifo = dir.filePath("pipe.xml");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString text;
    QVERIFY(!ReadTextFile(fifo, text)); // would block for ever if opened
}

void TestRecordFile::paths()
{
    QCOMPARE(SessionFolderPath("/opt/b"), QStringLiteral("/opt/b/session"));
    QCOMPARE(SettingsFilePath("/opt/b/session"), QStringLiteral("/opt/b/session/Quillmark.xml"));
    QCOMPARE(SessionFilePath("/s", "http://Host/a?b=1"), QStringLiteral("/s/Host_a_b_1.xml"));
    QCOMPARE(SessionFilePath("/s", "http"), QStringLiteral("/s/.xml"));
}

QTEST_APPLESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
