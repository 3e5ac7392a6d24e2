// Form submissions reported by the real engine: what the engine sends, from where, once.

#include "enginetesting.h"
#include "fixtureserver.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

using namespace brackenly;
using namespace brackenly::enginetesting;

namespace {

// Controls the engine leaves out, and a page listener that adds a field after the helper saw
// the list.
const QString kFormPage = QStringLiteral(R"(<html><body>
<form id="f" method="post" action="/sent" target="_self"><input name="t" value="a b">
<input name="off" disabled><input type="checkbox" name="c1" value="y" checked>
<input type="checkbox" name="c2"><input type="radio" name="r" value="r1">
<input type="radio" name="r" value="r2" checked><select name="m" multiple><option selected>p
</option><option>q</option><option selected>s</option></select><fieldset disabled>
<input name="in"></fieldset><input type="file" name="up"><input type="submit" name="first"
value="1"><input type="submit" name="second" value="2"><button type="button" name="b">b</button>
</form><script>document.addEventListener('formdata', e => e.formData.append('late', 'x'));
</script></body></html>)");

const QString kSent = QStringLiteral("t=a b;c1=y;r=r2;m=p;m=s;up=;");

} // namespace

class TestWebEngineSubmit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reportsWhatTheEngineSends_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("script"); // in the page's world; f is the form (by its id)
        QTest::addColumn<QString>("fields"); // the frame path, then "name=value;" per field
        QTest::newRow("second button") << "/form.html"
                                       << "f.second.click()" << kSent + "second=2;";
        QTest::newRow("form.submit()") << "/form.html"
                                       << "f.submit()" << kSent;
        QTest::newRow("cancelled, then submit()")
            << "/form.html"
            << "f.onsubmit = e => e.preventDefault(); f.first.click(); f.submit()" << kSent;
        QTest::newRow("forged event, then submit()")
            << "/form.html"
            << "f.dispatchEvent(new FormDataEvent('formdata', {formData: new FormData()}));"
               "f.submit()"
            << kSent;
        QTest::newRow("in a frame") << "/framed.html"
                                    << "frames[1].f.first.click()"
                                    << "1" + kSent + "first=1;";
    }
    void reportsWhatTheEngineSends()
    {
        QFETCH(QString, page);
        QFETCH(QString, script);
        QFETCH(QString, fields);
        FixtureServer server;
        QVERIFY(server.start());
        server.addPage("/form.html", kFormPage);
        server.addPage("/framed.html", "<iframe></iframe><iframe src='/form.html'></iframe>");
        server.addPage("/sent", "sent");
        const auto url = [&](const QString& path) { return server.url(path).toString(); };
        WebEngineBrowser browser;
        showView(browser);
        QVERIFY(loadAndWait(browser, url(page)));
        QSignalSpy spy(&browser, &Browser::FormSubmitted);
        browser.page()->runJavaScript(script);
        QVERIFY(server.waitForRequest("/sent", 10000));
        QVERIFY(waitUntil([&] { return !spy.isEmpty(); }));
        settle(200); // a second report would be here by now
        QCOMPARE(spy.size(), 1);

        const auto submission = spy.first().first().value<FormSubmission>();
        QString got;
        for (int index : submission.frame.path())
            got += QString::number(index);
        for (const auto& [name, value] : submission.fields)
            got += name + '=' + value + ';';
        QCOMPARE(got, fields);
        QCOMPARE(submission.frame.browser(), &browser);
        QCOMPARE(submission.url, url("/form.html"));
        QCOMPARE(submission.action, url("/sent"));
        QCOMPARE(submission.target, QStringLiteral("_self"));
    }
};

QTEST_MAIN(TestWebEngineSubmit)
#include "tst_webenginesubmit.moc"
