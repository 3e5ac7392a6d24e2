#include "formtext.h"
#include "postpairs.h"

#include <QTest>

using namespace brackenly;

class tst_FillText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void segments_data();
    void segments();
    void sameNames_data();
    void sameNames();
    void formAction_data();
    void formAction();
    void postValues_data();
    void postValues();
    void pairLimit();
};

void tst_FillText::segments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("page");
    const struct
    {
        const char *name, *text, *last, *page;
    } rows[] = {
        {"full address", "http://h/dir/login.php", "login.php", "login.php"},
        {"bare name", "login.php", "login.php", "login.php"},
        {"ends in a slash", "http://h/dir/", "", ""},
        {"empty", "", "", ""},
        {"query kept in the file name", "http://h/post.cgi?x=1", "post.cgi?x=1", "post.cgi"},
        {"slash inside the query", "http://h/a.php?next=/b/c", "c", "a.php"},
        {"empty query", "login.php?", "login.php?", "login.php"},
        {"query only", "?x=1", "?x=1", ""},
        {"second question mark", "http://h/p.asp?a=1?b=2", "p.asp?a=1?b=2", "p.asp"},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.text) << QString::fromUtf8(r.last)
                              << QString::fromUtf8(r.page);
}

void tst_FillText::segments()
{
    QFETCH(QString, text);
    QFETCH(QString, last);
    QFETCH(QString, page);
    QCOMPARE(LastPathSegment(text), last);
    QCOMPARE(FileNameOf(text), last);
    QCOMPARE(PageNameOf(text), page);
}

void tst_FillText::sameNames_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("sameFile");
    QTest::addColumn<bool>("samePage");
    const struct
    {
        const char *name, *a, *b;
        bool file, page;
    } rows[] = {
        {"relative action", "http://h/cgi/post.cgi", "post.cgi", true, true},
        {"rooted action", "http://h/cgi/post.cgi", "/cgi/post.cgi", true, true},
        {"file name is case-sensitive", "http://h/cgi/post.cgi", "POST.CGI", false, false},
        {"whole address ignores case", "HTTP://H/CGI/POST.CGI", "http://h/cgi/post.cgi", true,
         true},
        {"slash matches only itself", "http://h/dir/", "http://h/other/", false, false},
        {"slash matches itself in any case", "http://h/dir/", "HTTP://H/DIR/", true, true},
        {"query only in pass 2", "http://h/login.php?from=x", "login.php", false, true},
        {"queries differ", "http://h/login.php?a=1", "login.php?a=2", false, true},
        {"queries agree", "http://h/login.php?a=1", "/x/login.php?a=1", true, true},
        {"page names differ", "http://h/a.php?x=1", "b.php?x=1", false, false},
        {"both empty", "", "", true, true},
        {"one empty", "", "login.php", false, false},
        {"hidden action", "http://h/login.php", "[object]", false, false},
        {"slash inside the query", "http://h/a.php?next=/login.php", "login.php", true, false},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.a) << QString::fromUtf8(r.b) << r.file
                              << r.page;
}

void tst_FillText::sameNames()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, sameFile);
    QFETCH(bool, samePage);
    QCOMPARE(SameFileName(a, b), sameFile);
    QCOMPARE(SameFileName(b, a), sameFile);
    QCOMPARE(SamePageName(a, b), samePage);
    QCOMPARE(SamePageName(b, a), samePage);
}

void tst_FillText::formAction_data()
{
    // id "-": ExtractFormAction of the markup as one tag; otherwise FindFormAction.
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("action");
    const char* two = "<FORM id=f1 action=/a/one.cgi method=post><input></FORM>"
                      "<form id=f2 action=two.cgi><input></form>";
    const struct
    {
        const char *name, *markup, *id, *action;
    } rows[] = {
        {"no form", "<body><p>x</p></body>", "", ""},
        {"no id: first form", two, "", "/a/one.cgi"},
        {"by id", two, "f2", "two.cgi"},
        {"id ignores case", two, "F2", "two.cgi"},
        {"unknown id", two, "f3", ""},
        {"unquoted id prefix", "<form id=f10 action=ten.cgi><form id=f1 action=one.cgi>", "f1",
         "ten.cgi"},
        {"engine serialisation",
         "<form id=\"s\" action=\"/s.cgi\"></form><form id=\"login\" action=\"/cgi/login.cgi\" "
         "method=\"post\">",
         "login", "/cgi/login.cgi"},
        {"quoted id matches whole",
         "<form id=\"f10\" action=\"ten\"><form id=\"f1\" action=\"one\">", "f1", "one"},
        {"single quotes", "<form id='f1' action='one.cgi'>", "f1", "one.cgi"},
        {"form tag without attributes", "<form></form><form id=x action=b.cgi>", "", "b.cgi"},
        {"tag cut off", "<form id=a action=x.cgi", "", ""},
        {"tag in any case", "<FoRm ACTION=x.cgi>", "", "x.cgi"},
        {"matching form without action", "<form id=a method=post>", "a", ""},
        {"id after the action", "<form action=/z.cgi id=zz>", "zz", "/z.cgi"},
        {"extract: ends at a space", "<form action=post.cgi method=post>", "-", "post.cgi"},
        {"extract: ends at the bracket", "<form action=post.cgi>", "-", "post.cgi"},
        {"extract: no action", "<form method=post>", "-", ""},
        {"extract: nothing follows", "<form action=", "-", ""},
        {"extract: empty value", "<form action=>", "-", ""},
        {"extract: quotes keep spaces", "<form action=\"/a b.cgi\" method=post>", "-", "/a b.cgi"},
        {"extract: unclosed quote", "<form action=\"x.cgi>", "-", ""},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.markup) << QString::fromUtf8(r.id)
                              << QString::fromUtf8(r.action);
}

void tst_FillText::formAction()
{
    QFETCH(QString, markup);
    QFETCH(QString, id);
    QFETCH(QString, action);
    QCOMPARE(id == u"-" ? ExtractFormAction(markup) : FindFormAction(markup, id), action);
}

void tst_FillText::postValues_data()
{
    QTest::addColumn<QString>("postData");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("values"); // all decoded values; the first is the lookup's
    const struct
    {
        const char *name, *postData, *field;
        QStringList values;
    } rows[] = {
        {"plain", "user=bob&pass=x", "user", {"bob"}},
        {"recorded name in upper case", "User=bob", "user", {"bob"}},
        {"encoded name and value", "user%5Bname%5D=a+b%21", "user[name]", {"a b!"}},
        {"name compared decoded", "user%5Bname%5D=x", "user%5bname%5d", {}},
        {"several in recorded order", "a=1&b=3&a=2", "a", {"1", "2"}},
        {"absent", "a=1", "b", {}},
        {"no post data", "", "a", {}},
        {"piece without equals", "a&b=1", "a", {}},
        {"empty value is found", "a=&b=2", "a", {""}},
        {"single-byte code page", "n=%E9t%E9", "n", {"\u00e9t\u00e9"}},
        {"bad escape decodes to nothing", "a=%zz", "a", {""}},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.postData) << QString::fromUtf8(r.field)
                              << r.values;
}

void tst_FillText::postValues()
{
    QFETCH(QString, postData);
    QFETCH(QString, name);
    QFETCH(QStringList, values);
    const PostPairs pairs(postData);
    const PostPairs::Lookup one = pairs.LookupPostValue(name);
    QCOMPARE(one.found, !values.isEmpty());
    QCOMPARE(one.value, values.value(0));
    const PostPairs::Collected all = pairs.CollectPostValues(name);
    QCOMPARE(all.found, !values.isEmpty());
    QCOMPARE(all.values, values);
}

void tst_FillText::pairLimit()
{
    QStringList pieces;
    for (int i = 0; i < 70; ++i)
        pieces << QStringLiteral("f%1=%1").arg(i);
    const PostPairs many(pieces.join(u'&'));
    QVERIFY(many.LookupPostValue(QStringLiteral("f0")).found);
    QVERIFY(!many.LookupPostValue(QStringLiteral("f69")).found);
    // The automatic click gets the names as recorded.
    const PostPairs pairs(QStringLiteral("User%5B1%5D=a+b&x=1"));
    QCOMPARE(pairs.PostNames(), (QStringList{"User%5B1%5D", "x"}));
    QCOMPARE(pairs.PostValues(), (QStringList{"a+b", "1"}));
}

QTEST_APPLESS_MAIN(tst_FillText)
#include "tst_filltext.moc"
