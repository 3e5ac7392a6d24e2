#include "browser.h"
#include "fixtureserver.h"
#include "frmproxy.h"
#include "recordingproxy.h"
#include "scriptedprompt.h"
#include "services.h"
#include "webenginebrowserfactory.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QTest>

using namespace brackenly;

namespace {

// Not a loopback name: the engine never sends loopback hosts through a proxy.
const QString kHost = QStringLiteral("proxied.test");
// The engine picks a proxy change up lazily; it is tried again for this long.
constexpr int kChangeMs = 60000;
constexpr int kLoadMs = 15000;

} // namespace

// Page loads of the real engine follow the proxy set with OK, and stop following it once
// Exit has cleared it.
class tst_ProxyEngine : public QObject
{
    Q_OBJECT

private:
    // Loads pages of kHost until one reaches the site by the wanted road (through the proxy,
    // or directly); the request that did, or nothing in time.
    std::optional<FixtureRequest> loadUntil(bool throughProxy)
    {
        const QDeadlineTimer deadline(kChangeMs);
        while (!deadline.hasExpired()) {
            const QString query = QStringLiteral("n=%1").arg(++loads_);
            browser_->Navigate(QStringLiteral("http://%1/page?%2").arg(kHost, query));
            const std::optional<FixtureRequest> seen = waitForLoad(query);
            if (seen && seen->hasHeader("Via") == throughProxy)
                return seen;
        }
        return std::nullopt;
    }

    std::optional<FixtureRequest> waitForLoad(const QString& query)
    {
        const QDeadlineTimer deadline(kLoadMs);
        while (!deadline.hasExpired()) {
            for (const FixtureRequest& request : site_.requestsFor(QStringLiteral("/page")))
                if (request.query == query)
                    return request;
            QTest::qWait(20);
        }
        return std::nullopt;
    }

    int proxiedLoadsOfThisHost() const { return int(proxy_.requestsForHost(kHost).size()); }

    FixtureServer site_;
    RecordingProxy proxy_;
    WebEngineBrowserFactory browsers_;
    ScriptedPrompt prompt_;
    Services services_;
    QWidget window_;
    Browser* browser_ = nullptr;
    std::unique_ptr<frmProxy> dialog_;
    int loads_ = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(site_.start());
        site_.addPage(QStringLiteral("/page"), QStringLiteral("<html><body>page</body></html>"));
        QVERIFY(proxy_.start(site_.port()));
        // Loads that go directly reach the same site; no name service is asked. Read when
        // the engine starts, which is at the first browser below.
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        flags += " --host-resolver-rules=\"MAP " + kHost.toLatin1() +
                 " 127.0.0.1:" + QByteArray::number(site_.port()) + '"';
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

        services_.browsers = &browsers_;
        services_.prompt = &prompt_;
        prompt_.setDefaultAnswer(PromptAnswer::Ok);
        dialog_ = std::make_unique<frmProxy>(services_);
        browser_ = browsers_.create(&window_);
        browser_->widget()->resize(400, 300);
        window_.resize(400, 300);
        window_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_));
    }

    void cleanupTestCase()
    {
        dialog_.reset();
        QNetworkProxy::setApplicationProxy(QNetworkProxy::DefaultProxy);
    }

    void loadsFollowTheProxyUntilExitClearsIt()
    {
        // Before: the page comes directly.
        QVERIFY2(loadUntil(false), "the page never loaded directly");
        QCOMPARE(proxiedLoadsOfThisHost(), 0);

        dialog_->txtIP->setText(QStringLiteral("127.0.0.1"));
        dialog_->txtPort->setText(QString::number(proxy_.port()));
        QVERIFY(dialog_->chkUseProxy->isChecked());
        dialog_->cmdOK_Click();
        QCOMPARE(prompt_.texts(), QStringList{frmProxy::kUpdatedText});

        const std::optional<FixtureRequest> proxied = loadUntil(true);
        QVERIFY2(proxied, "no page load went through the proxy");
        const QList<RecordingProxy::Request> carried = proxy_.requestsForHost(kHost);
        QVERIFY(!carried.isEmpty());
        QCOMPARE(carried.last().url().path(), QStringLiteral("/page"));
        QCOMPARE(carried.last().url().query(), proxied->query);
        // Absolute address: the engine addressed it as a proxy request.
        QVERIFY(carried.last().target.startsWith(QByteArray("http://" + kHost.toLatin1() + '/')));

        // Exit's step: unticks the box and clears the proxy.
        prompt_.clear();
        prompt_.setDefaultAnswer(PromptAnswer::Ok);
        dialog_->SwitchOffAtExit();
        QVERIFY(!dialog_->chkUseProxy->isChecked());
        QCOMPARE(prompt_.texts(), QStringList{frmProxy::kClearedText});

        QVERIFY2(loadUntil(false), "page loads still go through the proxy");
        // And from then on they stay direct.
        const int proxiedBefore = proxiedLoadsOfThisHost();
        const std::optional<FixtureRequest> direct = loadUntil(false);
        QVERIFY(direct);
        QCOMPARE(proxiedLoadsOfThisHost(), proxiedBefore);
    }
};

QTEST_MAIN(tst_ProxyEngine)
#include "tst_proxyengine.moc"
