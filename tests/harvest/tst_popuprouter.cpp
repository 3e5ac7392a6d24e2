#include "engineerror.h"
#include "fakebrowser.h"
#include "fakebrowserfactory.h"
#include "fakeharvesthost.h"
#include "frmpopup.h"
#include "popuprouter.h"
#include "services.h"

#include <QCoreApplication>
#include <QTest>

using namespace brackenly;

// Where a page's new-window request goes, decided on a host with plain fields.
class tst_PopupRouter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decision_data();
    void decision();
};

void tst_PopupRouter::decision_data()
{
    QTest::addColumn<bool>("block");
    QTest::addColumn<bool>("saving");
    QTest::addColumn<bool>("levelWindowFails");
    QTest::addColumn<QString>("taker"); // "", "capture", "level"
    QTest::newRow("blocked") << true << false << false << "";
    QTest::newRow("blocked during a run") << true << true << false << "";
    QTest::newRow("run in progress") << false << true << false << "capture";
    QTest::newRow("no run") << false << false << false << "level";
    QTest::newRow("level window fails") << false << false << true << "";
}

void tst_PopupRouter::decision()
{
    QFETCH(bool, block);
    QFETCH(bool, saving);
    QFETCH(bool, levelWindowFails);
    QFETCH(QString, taker);
    FakeBrowserFactory browsers;
    Services services;
    services.browsers = &browsers;
    FakeHarvestHost host;
    host.block = block;
    host.SavingImages = saving;
    FakeBrowser levelBrowser;
    host.onOpenPopupLevelWindow = [&]() -> Browser* {
        if (levelWindowFails)
            throw EngineError("no window");
        return &levelBrowser;
    };
    FakeBrowser main;
    PopupRouter router(&host, services);
    router.install(&main);

    Browser* got = main.requestWindow();

    QCOMPARE(router.BlockedPopupCount(), block ? 1 : 0);
    QCOMPARE(host.panel3, block ? QString("1 Pop-up is blocked") : QString());
    QCOMPARE(host.popupLevelWindowsAsked, (!block && !saving) ? 1 : 0);
    frmPopup* popup = router.lastCapturePopup();
    QCOMPARE(popup != nullptr, taker == "capture");
    if (taker == "capture") {
        QCOMPARE(got, popup->ImgBrowser1);
        auto* fake = qobject_cast<FakeBrowser*>(got);
        QVERIFY(fake->registeredAsBrowser());
        QVERIFY(fake->silent());
        QVERIFY(popup->isVisible());
        QCOMPARE(popup->windowTitle(), QString("Capture Popup Image"));
        QVERIFY(popup->testAttribute(Qt::WA_DeleteOnClose));
        delete popup;
    } else if (taker == "level") {
        QCOMPARE(got, &levelBrowser);
    } else {
        QCOMPARE(got, nullptr);
    }
}

QTEST_MAIN(tst_PopupRouter)
#include "tst_popuprouter.moc"
