#include "proxylist.h"
#include "proxylistfile.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace brackenly;
using Rows = QList<QVariantList>;

class tst_ProxyList : public QObject
{
    Q_OBJECT

private:
    QString listPath() const { return dir_->filePath(QStringLiteral("proxyserver.mdb")); }
    std::unique_ptr<QTemporaryDir> dir_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void takesUnusedRowsInOrder_data();
    void takesUnusedRowsInOrder();
    void unusableList_data();
    void unusableList();
    void lockedListIsLeftAlone();
};

void tst_ProxyList::takesUnusedRowsInOrder_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QStringList>("taken");      // every take until none is left
    QTest::addColumn<QVariantList>("usedAfter"); // the used column at the end

    const QVariant null;
    QTest::newRow("table order") << Rows{{"h1", "80", ""}, {"h2", "8080", "N"}}
                                 << QStringList{"h1:80", "h2:8080"} << QVariantList{"Y", "Y"};
    QTest::newRow("used and null rows skipped")
        << Rows{{"a", "1", "Y"}, {"b", "2", null}, {"c", "3", "n"}, {"d", "4", "y"}}
        << QStringList{"c:3", "d:4"} << QVariantList{"Y", null, "Y", "Y"};
    QTest::newRow("empty table") << Rows{} << QStringList{} << QVariantList{};
    QTest::newRow("all used") << Rows{{"a", "1", "Y"}} << QStringList{} << QVariantList{"Y"};
    // Identical rows are two proxies: each take marks exactly one of them.
    QTest::newRow("identical rows")
        << Rows{{"d", "1", ""}, {"d", "1", ""}, {"e", "2", ""}} << QStringList{"d:1", "d:1", "e:2"}
        << QVariantList{"Y", "Y", "Y"};
    QTest::newRow("host holding a colon")
        << Rows{{"h:80", "8080", ""}} << QStringList{"h:80:8080"} << QVariantList{"Y"};
    QTest::newRow("numbers stored as numbers")
        << Rows{{"10.0.0.7", 3128, 0}} << QStringList{"10.0.0.7:3128"} << QVariantList{"Y"};
    QTest::newRow("null port") << Rows{{"h", null, ""}} << QStringList{"h:"} << QVariantList{"Y"};
}

void tst_ProxyList::takesUnusedRowsInOrder()
{
    QFETCH(Rows, rows);
    QFETCH(QStringList, taken);
    QFETCH(QVariantList, usedAfter);
    QVERIFY(ProxyListFile::create(listPath(), rows));

    for (const QString& expected : std::as_const(taken)) {
        const ProxyListReply reply = TakeNextProxy(listPath());
        QCOMPARE(reply.status, ProxyListReply::Status::Taken);
        QCOMPARE(reply.proxy, expected);
    }
    const ProxyListReply last = TakeNextProxy(listPath());
    QCOMPARE(last.status, ProxyListReply::Status::NoneLeft);
    QCOMPARE(last.proxy, QString());

    const QVariantList used = ProxyListFile::usedValues(listPath());
    QCOMPARE(used.size(), usedAfter.size());
    for (qsizetype i = 0; i < used.size(); ++i) {
        QCOMPARE(used[i].isNull(), usedAfter[i].isNull());
        if (!usedAfter[i].isNull())
            QCOMPARE(used[i].toString(), usedAfter[i].toString());
    }
    // Opened for the one query only.
    QCOMPARE(ProxyListFile::openConnections(), QStringList());
}

void tst_ProxyList::unusableList_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // part of the reason given

    QTest::newRow("missing file") << "missing"
                                  << "does not exist";
    QTest::newRow("old database of that name") << "foreign"
                                               << "not an SQLite database";
    QTest::newRow("folder of that name") << "folder"
                                         << "not a file";
    QTest::newRow("no table") << "CREATE TABLE tblOther (ip TEXT, port TEXT, used TEXT)"
                              << "no table tblProxy";
    QTest::newRow("no used field") << "CREATE TABLE tblProxy (ip TEXT, port TEXT)"
                                   << "no field used";
    QTest::newRow("no ip field") << "CREATE TABLE tblProxy (host TEXT, port TEXT, used TEXT)"
                                 << "no field ip";
    QTest::newRow("no port field") << "CREATE TABLE tblProxy (ip TEXT, portno TEXT, used TEXT)"
                                   << "no field port";
}

void tst_ProxyList::unusableList()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    // Starts like a file of the older database format, which SQLite cannot read.
    QByteArray foreign("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    foreign.append(QByteArray(2048, '\x5a'));
    if (kind == QLatin1String("foreign")) {
        QFile file(listPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(foreign);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("proxyserver.mdb")));
    } else if (kind != QLatin1String("missing")) {
        // kind is the statement that makes the (faulty) table.
        QVERIFY(ProxyListFile::create(listPath(), {}, kind));
    }

    const ProxyListReply reply = TakeNextProxy(listPath());
    QCOMPARE(reply.status, ProxyListReply::Status::Failed);
    QVERIFY2(reply.reason.contains(reason), qPrintable(reply.reason));
    QCOMPARE(reply.proxy, QString());
    QCOMPARE(ProxyListFile::openConnections(), QStringList());

    if (kind == QLatin1String("missing"))
        QVERIFY2(!QFile::exists(listPath()), "the list must never be created");
    if (kind == QLatin1String("foreign")) {
        QFile file(listPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), foreign);
    }
}

void tst_ProxyList::lockedListIsLeftAlone()
{
    QVERIFY(ProxyListFile::create(listPath(), {{"h1", "80", ""}, {"h2", "81", ""}}));
    {
        // Another program holds the file in a write transaction.
        QSqlDatabase other =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-program"));
        other.setDatabaseName(listPath());
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

        const ProxyListReply reply = TakeNextProxy(listPath(), 0);
        QCOMPARE(reply.status, ProxyListReply::Status::Failed);
        QVERIFY2(reply.reason.contains(QLatin1String("locked")), qPrintable(reply.reason));

        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        lock.finish();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-program"));

    // Nothing was consumed while it was locked.
    const ProxyListReply reply = TakeNextProxy(listPath(), 0);
    QCOMPARE(reply.status, ProxyListReply::Status::Taken);
    QCOMPARE(reply.proxy, QStringLiteral("h1:80"));
}

QTEST_GUILESS_MAIN(tst_ProxyList)
#include "tst_proxylist.moc"
