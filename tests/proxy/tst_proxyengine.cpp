#include "browser.h"
#include "fixtureserver.h"
#include "frmproxy.h"
#include "scriptedprompt.h"
#include "services.h"
#include "webenginebrowserfactory.h"

#include <QLineEdit>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTest>

using namespace brackenly;

class tst_ProxyEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The first load after OK goes through the proxy with its frame and image, and the first
    // one after Exit goes direct again: one load each, as a user would make it.
    void theNextLoadTakesTheNewRoad()
    {
        // Not a loopback name: the engine never sends loopback hosts through a proxy.
        const QString host = QStringLiteral("proxied.test");
        FixtureServer site;
        QVERIFY(site.start());
        // Fresh frame and image addresses per load, so none comes from the cache.
        site.setHandler("/page", [](const FixtureRequest& request) {
            return FixtureResponse::html(QStringLiteral("<iframe src='/frame?%1'></iframe>"
                                                        "<img src='/img.gif?%1'>")
                                             .arg(request.query));
        });
        site.addPage("/frame", QStringLiteral("<p>frame</p>"));
        site.addImage("/img.gif");
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

        // One navigation; for the page, its frame and its image: did it come through the proxy?
        // The site is its own proxy: asked as one, it gets absolute addresses.
        int loads = 0;
        const auto loadOnce = [&]() -> QList<bool> {
            site.clearRequests();
            QSignalSpy completed(browser, &Browser::DocumentComplete);
            browser->Navigate(QStringLiteral("http://%1/page?n=%2").arg(host).arg(++loads));
            const auto topDone = [&] {
                for (const QList<QVariant>& args : completed)
                    if (args.at(0).value<FrameRef>().isTop())
                        return true;
                return false;
            };
            if (!QTest::qWaitFor(topDone, 20000))
                return {};
            QList<bool> proxied;
            for (const char* path : {"/page", "/frame", "/img.gif"}) {
                const QList<FixtureRequest> seen = site.requestsFor(QString::fromLatin1(path));
                if (seen.size() != 1)
                    return {};
                proxied << seen.first().target.startsWith("http://proxied.test/");
            }
            return proxied;
        };
        const QList<bool> direct{false, false, false};
        const QList<bool> throughProxy{true, true, true};

        QCOMPARE(loadOnce(), direct);

        dialog.txtIP->setText(QStringLiteral("127.0.0.1"));
        dialog.txtPort->setText(QString::number(site.port()));
        dialog.cmdOK_Click();
        QCOMPARE(prompt.texts(), QStringList{frmProxy::kUpdatedText});
        QCOMPARE(loadOnce(), throughProxy);

        prompt.clear();
        dialog.SwitchOffAtExit();
        QCOMPARE(prompt.texts(), QStringList{frmProxy::kClearedText});
        QCOMPARE(loadOnce(), direct);
    }
};

QTEST_MAIN(tst_ProxyEngine)
#include "tst_proxyengine.moc"
