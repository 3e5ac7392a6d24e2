#include "frmproxy.h"
#include "scriptedprompt.h"
#include "services.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace brackenly;

namespace {

const QNetworkProxy kEarlier(QNetworkProxy::HttpProxy, QStringLiteral("earlier.invalid"), 1);
const QNetworkProxy kNone(QNetworkProxy::NoProxy);
const QString kUpdated = QStringLiteral("The IE proxy settings was updated sucsessfully.");
const QString kCleared = QStringLiteral("IE Proxy settings was cleared.");
const QString kFailed = QStringLiteral("Unable to update the IE proxy settings.");

// Runs the statements on an SQLite file with a connection of its own; the errors and the
// first column of what the last one returns (NULL as "NULL"), space-separated.
QString sql(const QString& path, const QStringList& statements)
{
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        for (const QString& statement : statements)
            if (!query.exec(statement))
                out << query.lastError().text();
        while (query.next())
            out << (query.isNull(0) ? QStringLiteral("NULL") : query.value(0).toString());
    }
    QSqlDatabase::removeDatabase("fixture");
    return out.join(u' ');
}

} // namespace

class tst_frmProxy : public QObject
{
    Q_OBJECT
    QString listPath() const { return dir_->filePath("proxyserver.mdb"); }

    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompt prompt_;
    Services services_;
    std::unique_ptr<frmProxy> dialog_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        prompt_.clear();
        prompt_.setDefaultAnswer(PromptAnswer::Ok);
        services_.prompt = &prompt_;
        services_.programFolder = dir_->path();
        dialog_ = std::make_unique<frmProxy>(services_);
        QNetworkProxy::setApplicationProxy(kEarlier);
    }
    void ok_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("proxy"); // in force after OK: "host|port", "direct", "" refused
        QTest::addColumn<bool>("exitClears");
        const auto row = [](const char* name, bool ticked, const char* host, const char* port,
                            const char* proxy, bool exitClears = true) {
            QTest::newRow(name) << ticked << QString(host) << QString(port) << QString(proxy)
                                << exitClears;
        };
        row("name", true, "proxy.example", "8080", "proxy.example|8080");
        row("IPv6", true, "2001:db8::7", "8080", "2001:db8::7|8080");
        row("IPv6 in brackets", true, "[::1]", "8080", "::1|8080");
        row("unticked ignores bad values", false, "h", "x", "direct", false);
        row("empty host", true, "", "8080", "", false);
        // Other refused hosts and ports: fuzz_proxyaddress.
        row("port 65536", true, "h", "65536", "");
    }
    void ok()
    {
        QFETCH(bool, ticked);
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, proxy);
        QFETCH(bool, exitClears);
        dialog_->show();
        dialog_->chkUseProxy->setChecked(ticked);
        dialog_->txtIP->setText(host);
        dialog_->txtPort->setText(port);
        QTest::mouseClick(dialog_->cmdOK, Qt::LeftButton);
        const QString message = proxy.isEmpty() ? kFailed : ticked ? kUpdated : kCleared;
        QCOMPARE(prompt_.texts(), QStringList{message});
        QCOMPARE(prompt_.questions()[0].title, QStringLiteral("IE Proxy Settings"));
        QCOMPARE(prompt_.questions()[0].icon,
                 proxy.isEmpty() ? PromptIcon::Exclamation : PromptIcon::Information);
        const QNetworkProxy inForce = QNetworkProxy::applicationProxy();
        QString got;
        if (inForce.type() == QNetworkProxy::NoProxy)
            got = QStringLiteral("direct");
        else if (inForce != kEarlier)
            got = inForce.hostName() + u'|' + QString::number(inForce.port());
        QCOMPARE(got, proxy);
        // Hidden, not unloaded: the boxes keep their contents for Exit.
        QVERIFY(!dialog_->isVisible());

        // Exit's step, with the dialog hidden: unticks a ticked box with a host and clears the
        // proxy, even one OK refused; otherwise it does nothing.
        prompt_.clear();
        dialog_->SwitchOffAtExit();
        QCOMPARE(prompt_.texts(), exitClears ? QStringList{kCleared} : QStringList());
        QCOMPARE(dialog_->chkUseProxy->isChecked(), ticked && !exitClears);
        QCOMPARE(QNetworkProxy::applicationProxy(), exitClears ? kNone : inForce);
    }

    void getProxy_data()
    {
        // list: statements that make the file (none: no file).
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QStringList>("boxes"); // "ip|port" after each click
        QTest::addColumn<QString>("outcome"); // the used column afterwards, or part of the message
        const QString table = QStringLiteral("CREATE TABLE tblProxy (ip, port, used)");
        const auto row = [&](const char* name, const QString& rows, const QStringList& boxes,
                             const char* used) {
            QTest::newRow(name) << QStringList{table, "INSERT INTO tblProxy VALUES " + rows}
                                << boxes << QString(used);
        };
        row("in order, then none left", "('h', '80', ''), ('b', 81, 'N')", {"h|80", "b|81", "b|81"},
            "Y Y");
        row("used and NULL skipped", "('u', '1', 'Y'), ('n', '2', NULL), ('c', '3', 'n')",
            {"c|3", "c|3"}, "Y NULL Y");
        // How an entry splits into the boxes: fuzz_proxyaddress.
        const auto failed = [](const char* name, const QStringList& list, const char* reason) {
            QTest::newRow(name) << list << QStringList{"old|9"} << QString(reason);
        };
        failed("missing file", {}, "does not exist");
        failed("missing table", {"CREATE TABLE proxies (ip, port, used)"}, "no table tblProxy");
    }
    void getProxy()
    {
        QFETCH(QStringList, list);
        QFETCH(QStringList, boxes);
        QFETCH(QString, outcome);
        if (!list.isEmpty())
            QCOMPARE(sql(listPath(), list), QString());
        dialog_->show();
        dialog_->txtIP->setText(QStringLiteral("old"));
        dialog_->txtPort->setText(QStringLiteral("9"));
        for (const QString& expected : boxes) {
            QTest::mouseClick(dialog_->cmdProxy, Qt::LeftButton);
            QCOMPARE(dialog_->txtIP->text() + u'|' + dialog_->txtPort->text(), expected);
        }
        QVERIFY(dialog_->isVisible());
        QCOMPARE(QNetworkProxy::applicationProxy(), kEarlier); // nothing applied before OK

        if (prompt_.questions().isEmpty()) {
            QCOMPARE(sql(listPath(), {"SELECT used FROM tblProxy ORDER BY rowid"}), outcome);
            return;
        }
        const ScriptedPrompt::Question& message = prompt_.questions().first();
        QVERIFY2(message.text.contains(listPath()) && message.text.contains(outcome),
                 qPrintable(message.text));
        QCOMPARE(QFile::exists(listPath()), !list.isEmpty()); // never created
    }
};

QTEST_MAIN(tst_frmProxy)
#include "tst_frmproxy.moc"
