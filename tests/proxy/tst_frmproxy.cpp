#include "frmproxy.h"
#include "proxylistfile.h"
#include "scriptedprompt.h"
#include "services.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace brackenly;
using Rows = QList<QVariantList>;

namespace {

const QNetworkProxy kEarlier(QNetworkProxy::HttpProxy, QStringLiteral("earlier.invalid"), 1);
const QString kUpdated = QStringLiteral("The IE proxy settings was updated sucsessfully.");
const QString kCleared = QStringLiteral("IE Proxy settings was cleared.");
const QString kFailed = QStringLiteral("Unable to update the IE proxy settings.");

} // namespace

class tst_frmProxy : public QObject
{
    Q_OBJECT

private:
    QString listPath() const { return dir_->filePath(frmProxy::kProxyListFile); }
    void fillBoxes(bool ticked, const QString& host, const QString& port)
    {
        dialog_->chkUseProxy->setChecked(ticked);
        dialog_->txtIP->setText(host);
        dialog_->txtPort->setText(port);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompt prompt_;
    Services services_;
    std::unique_ptr<frmProxy> dialog_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        prompt_.clear();
        services_.prompt = &prompt_;
        services_.programFolder = dir_->path();
        dialog_ = std::make_unique<frmProxy>(services_);
        QNetworkProxy::setApplicationProxy(kEarlier);
    }
    void cleanup()
    {
        QCOMPARE(prompt_.unanswered(), 0);
        dialog_.reset();
        QNetworkProxy::setApplicationProxy(QNetworkProxy::DefaultProxy);
    }

    void controls_data();
    void controls();
    void ok_data();
    void ok();
    void cancelAppliesNothing();
    void enterMeansOk();
    void getProxyTakesTheNextRow_data();
    void getProxyTakesTheNextRow();
    void getProxyWithAnUnusableList_data();
    void getProxyWithAnUnusableList();
    void exitStep_data();
    void exitStep();
};

void tst_frmProxy::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("accessibleName");

    QTest::newRow("Label1") << "Label1"
                            << "Proxy Server: "
                            << "Proxy Server: ";
    QTest::newRow("txtIP") << "txtIP"
                           << ""
                           << "Proxy Server: ";
    QTest::newRow("Label2") << "Label2"
                            << "Port No:"
                            << "Port No:";
    QTest::newRow("txtPort") << "txtPort"
                             << ""
                             << "Port No:";
    QTest::newRow("chkUseProxy") << "chkUseProxy"
                                 << ""
                                 << "Use Proxy Server";
    QTest::newRow("Label3") << "Label3"
                            << "Use Proxy Server"
                            << "Use Proxy Server";
    QTest::newRow("cmdProxy") << "cmdProxy"
                              << "Get Proxy"
                              << "Get Proxy";
    QTest::newRow("cmdOK") << "cmdOK"
                           << "OK"
                           << "OK";
    QTest::newRow("cmdCancel") << "cmdCancel"
                               << "Cancel"
                               << "Cancel";
}

void tst_frmProxy::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, accessibleName);

    QCOMPARE(dialog_->objectName(), QStringLiteral("frmProxy"));
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("Proxy Setting"));
    QVERIFY(!dialog_->isVisible());
    QWidget* control = dialog_->findChild<QWidget*>(name);
    QVERIFY(control);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(control))
        shown = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        shown = button->text();
    else if (auto* box = qobject_cast<QLineEdit*>(control))
        shown = box->text();
    QCOMPARE(shown, text);
    QCOMPARE(control->accessibleName(), accessibleName);
    QVERIFY(dialog_->chkUseProxy->isChecked());
}

void tst_frmProxy::ok_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QNetworkProxy>("inForce");

    const int info = int(PromptIcon::Information);
    const int warn = int(PromptIcon::Exclamation);
    const QNetworkProxy none(QNetworkProxy::NoProxy);
    QTest::newRow("ticked") << true << "proxy.example"
                            << "8080" << kUpdated << info
                            << QNetworkProxy(QNetworkProxy::HttpProxy, "proxy.example", 8080);
    QTest::newRow("unticked") << false << "proxy.example"
                              << "8080" << kCleared << info << none;
    QTest::newRow("unticked, empty boxes") << false << ""
                                           << "" << kCleared << info << none;
    QTest::newRow("empty host") << true << ""
                                << "8080" << kFailed << warn << kEarlier;
    QTest::newRow("port not a number") << true << "proxy.example"
                                       << "80a" << kFailed << warn << kEarlier;
    QTest::newRow("port out of range") << true << "proxy.example"
                                       << "70000" << kFailed << warn << kEarlier;
}

void tst_frmProxy::ok()
{
    QFETCH(bool, ticked);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, message);
    QFETCH(int, icon);
    QFETCH(QNetworkProxy, inForce);

    dialog_->show();
    fillBoxes(ticked, host, port);
    prompt_.answer(PromptAnswer::Ok);
    QTest::mouseClick(dialog_->cmdOK, Qt::LeftButton);

    QCOMPARE(prompt_.texts(), QStringList{message});
    QCOMPARE(prompt_.questions()[0].title, QStringLiteral("IE Proxy Settings"));
    QCOMPARE(int(prompt_.questions()[0].icon), icon);
    QCOMPARE(prompt_.questions()[0].buttons, PromptButtons::Ok);
    QCOMPARE(QNetworkProxy::applicationProxy(), inForce);
    QVERIFY(!dialog_->isVisible());
    // Hidden, not unloaded: the boxes keep their contents.
    QCOMPARE(dialog_->txtIP->text(), host);
    QCOMPARE(dialog_->txtPort->text(), port);
    QCOMPARE(dialog_->chkUseProxy->isChecked(), ticked);
}

void tst_frmProxy::cancelAppliesNothing()
{
    dialog_->show();
    fillBoxes(true, QStringLiteral("proxy.example"), QStringLiteral("8080"));
    QTest::mouseClick(dialog_->cmdCancel, Qt::LeftButton);

    QVERIFY(!dialog_->isVisible());
    QVERIFY(prompt_.questions().isEmpty());
    QCOMPARE(QNetworkProxy::applicationProxy(), kEarlier);
    QCOMPARE(dialog_->txtIP->text(), QStringLiteral("proxy.example"));
}

// Enter in a box is OK; it must never use up a list entry through "Get Proxy".
void tst_frmProxy::enterMeansOk()
{
    QVERIFY(ProxyListFile::create(listPath(), {{"listed", "81", ""}}));
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    fillBoxes(true, QStringLiteral("typed"), QStringLiteral("8080"));
    prompt_.answer(PromptAnswer::Ok);
    dialog_->txtPort->setFocus();
    QTest::keyClick(dialog_->txtPort, Qt::Key_Return);

    QCOMPARE(prompt_.texts(), QStringList{kUpdated});
    QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("typed"));
    QCOMPARE(ProxyListFile::usedValues(listPath()), QVariantList{""});
}

void tst_frmProxy::getProxyTakesTheNextRow_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QStringList>("boxes"); // "ip|port" after each click

    QTest::newRow("in order, then nothing left")
        << Rows{{"h", "80", ""}, {"b", "81", "N"}} << QStringList{"h|80", "b|81", "b|81"};
    QTest::newRow("null used never taken")
        << Rows{{"n", "1", QVariant()}, {"u", "2", "Y"}} << QStringList{"old|9"};
    QTest::newRow("split at the first colon")
        << Rows{{"h:80", "8080", ""}} << QStringList{"h|80:8080"};
}

void tst_frmProxy::getProxyTakesTheNextRow()
{
    QFETCH(Rows, rows);
    QFETCH(QStringList, boxes);
    QVERIFY(ProxyListFile::create(listPath(), rows));
    fillBoxes(true, QStringLiteral("old"), QStringLiteral("9"));

    for (const QString& expected : std::as_const(boxes)) {
        // Each time in a fresh opening; a cancel in between gives the row back to nobody.
        dialog_->show();
        QTest::mouseClick(dialog_->cmdProxy, Qt::LeftButton);
        QVERIFY(dialog_->isVisible());
        QCOMPARE(dialog_->txtIP->text() + u'|' + dialog_->txtPort->text(), expected);
        QTest::mouseClick(dialog_->cmdCancel, Qt::LeftButton);
    }
    QVERIFY(prompt_.questions().isEmpty());
    QCOMPARE(QNetworkProxy::applicationProxy(), kEarlier); // nothing applied before OK
}

void tst_frmProxy::getProxyWithAnUnusableList_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "missing"
                             << "does not exist";
    QTest::newRow("not a database") << "foreign"
                                    << "not an SQLite database";
    QTest::newRow("no table") << "CREATE TABLE proxies (ip TEXT)"
                              << "no table tblProxy";
}

void tst_frmProxy::getProxyWithAnUnusableList()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    if (kind == QLatin1String("foreign")) {
        QFile file(listPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4096, 'x'));
    } else if (kind != QLatin1String("missing")) {
        QVERIFY(ProxyListFile::create(listPath(), {}, kind));
    }
    dialog_->show();
    fillBoxes(true, QStringLiteral("kept"), QStringLiteral("3128"));
    prompt_.answer(PromptAnswer::Ok);
    QTest::mouseClick(dialog_->cmdProxy, Qt::LeftButton);

    QCOMPARE(prompt_.questions().size(), 1);
    const ScriptedPrompt::Question& message = prompt_.questions()[0];
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(listPath())), qPrintable(message.text));
    QVERIFY2(message.text.contains(reason), qPrintable(message.text));
    QCOMPARE(message.icon, PromptIcon::Exclamation);
    QCOMPARE(dialog_->txtIP->text(), QStringLiteral("kept"));
    QCOMPARE(dialog_->txtPort->text(), QStringLiteral("3128"));
    QVERIFY(dialog_->isVisible());
    QCOMPARE(QNetworkProxy::applicationProxy(), kEarlier);
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFile::exists(listPath()));
}

void tst_frmProxy::exitStep_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("tickedAfter");
    QTest::addColumn<QNetworkProxy>("inForce");

    const QNetworkProxy none(QNetworkProxy::NoProxy);
    QTest::newRow("proxy in use") << true << "proxy.example"
                                  << "8080" << QStringList{kCleared} << false << none;
    // Clearing needs no valid values: a port the platform would refuse does not matter.
    QTest::newRow("host with a bad port") << true << "h"
                                          << "x" << QStringList{kCleared} << false << none;
    QTest::newRow("blank host") << true << "   "
                                << "8080" << QStringList{} << true << kEarlier;
    QTest::newRow("empty host") << true << ""
                                << "8080" << QStringList{} << true << kEarlier;
    QTest::newRow("unticked") << false << "proxy.example"
                              << "8080" << QStringList{} << false << kEarlier;
}

void tst_frmProxy::exitStep()
{
    QFETCH(bool, ticked);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QStringList, messages);
    QFETCH(bool, tickedAfter);
    QFETCH(QNetworkProxy, inForce);

    fillBoxes(ticked, host, port);
    prompt_.setDefaultAnswer(PromptAnswer::Ok);
    dialog_->SwitchOffAtExit();

    QCOMPARE(prompt_.texts(), messages);
    QCOMPARE(dialog_->chkUseProxy->isChecked(), tickedAfter);
    QCOMPARE(QNetworkProxy::applicationProxy(), inForce);
    QVERIFY(!dialog_->isVisible()); // the dialog is never shown for it
}

QTEST_MAIN(tst_frmProxy)
#include "tst_frmproxy.moc"
