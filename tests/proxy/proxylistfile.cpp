#include "proxylistfile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace brackenly::ProxyListFile {

namespace {

const QString kConnection = QStringLiteral("proxy-test-fixture");

template <typename Work> bool withDatabase(const QString& path, Work work)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(path);
        ok = db.open() && work(db);
        if (!ok)
            qWarning("proxy list fixture: %s", qPrintable(db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
    return ok;
}

} // namespace

bool create(const QString& path, const QList<Row>& rows, const QString& createTable)
{
    return withDatabase(path, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec(createTable))
            return false;
        for (const Row& row : rows) {
            query.prepare(QStringLiteral("INSERT INTO tblProxy VALUES (?, ?, ?)"));
            for (const QVariant& value : row)
                query.addBindValue(value);
            if (!query.exec()) {
                qWarning("insert: %s", qPrintable(query.lastError().text()));
                return false;
            }
        }
        return true;
    });
}

QVariantList usedValues(const QString& path)
{
    QVariantList values;
    withDatabase(path, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT used FROM tblProxy ORDER BY rowid")))
            return false;
        while (query.next())
            values.append(query.isNull(0) ? QVariant() : query.value(0));
        return true;
    });
    return values;
}

QStringList openConnections()
{
    QStringList names = QSqlDatabase::connectionNames();
    names.removeAll(kConnection);
    return names;
}

} // namespace brackenly::ProxyListFile
