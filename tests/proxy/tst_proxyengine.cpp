#include "browser.h"
#include "fixtureserver.h"
#include "frmproxy.h"
#include "recordingproxy.h"
#include "scriptedprompt.h"
#include "services.h"
#include "webenginebrowserfactory.h"

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QTest>

using namespace brackenly;

class tst_ProxyEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Page loads of the real engine follow the proxy set with OK, and no longer once Exit has
    // cleared it.
    void loadsFollowTheProxyUntilExitClearsIt()
    {
        // Not a loopback name: the engine never sends loopback hosts through a proxy.
        const QString host = QStringLiteral("proxied.test");
        FixtureServer site;
        QVERIFY(site.start());
        site.addPage(QStringLiteral("/page"), QStringLiteral("<html><body>page</body></html>"));
        RecordingProxy proxy;
        QVERIFY(proxy.start(site.port()));
        // Direct loads reach the same site without a name service; read at the engine's start.
        const QByteArray rule = "--host-resolver-rules=\"MAP proxied.test 127.0.0.1:" +
                                QByteArray::number(site.port()) + '"';
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + ' ' + rule);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        WebEngineBrowserFactory browsers;
        ScriptedPrompt prompt;
        prompt.setDefaultAnswer(PromptAnswer::Ok);
        const Services services{.browsers = &browsers, .prompt = &prompt, .programFolder = {}};
        frmProxy dialog(services);
        QWidget window;
        Browser* browser = browsers.create(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Loads pages until one reaches the site by the wanted road (the proxy adds Via); the
        // engine picks a proxy change up lazily.
        int loads = 0;
        const auto loadUntil = [&](bool throughProxy) {
            for (const QDeadlineTimer deadline(60000); !deadline.hasExpired();) {
                const QString query = QStringLiteral("n=%1").arg(++loads);
                browser->Navigate(QStringLiteral("http://%1/page?%2").arg(host, query));
                std::optional<FixtureRequest> seen;
                for (QDeadlineTimer load(15000); !seen && !load.hasExpired(); QTest::qWait(20))
                    for (const FixtureRequest& request : site.requestsFor("/page"))
                        if (request.query == query)
                            seen = request;
                if (seen && seen->hasHeader("Via") == throughProxy)
                    return true;
            }
            return false;
        };
        QVERIFY2(loadUntil(false), "the page never loaded directly");
        QCOMPARE(proxy.requestsForHost(host).size(), 0);

        dialog.txtIP->setText(QStringLiteral("127.0.0.1"));
        dialog.txtPort->setText(QString::number(proxy.port()));
        dialog.cmdOK_Click();
        QCOMPARE(prompt.texts(), QStringList{frmProxy::kUpdatedText});
        QVERIFY2(loadUntil(true), "no page load went through the proxy");
        // An absolute address: the engine sent it as a proxy request.
        QVERIFY(proxy.requestsForHost(host).last().target.startsWith("http://proxied.test/"));

        prompt.clear();
        dialog.SwitchOffAtExit();
        QCOMPARE(prompt.texts(), QStringList{frmProxy::kClearedText});
        QVERIFY2(loadUntil(false), "page loads still go through the proxy");
        const qsizetype proxied = proxy.requestsForHost(host).size();
        QVERIFY(loadUntil(false));
        QCOMPARE(proxy.requestsForHost(host).size(), proxied); // and they stay direct
    }
};

QTEST_MAIN(tst_ProxyEngine)
#include "tst_proxyengine.moc"
