#include "proxylist.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUrl>
#include <atomic>

namespace brackenly {

namespace {

const QString kDriver = QStringLiteral("QSQLITE");
const QString kTable = QStringLiteral("tblProxy");

// SQLite primary result codes the user can act on.
enum SqliteCode
{
    kBusy = 5,
    kLocked = 6,
    kReadOnly = 8,
    kCantOpen = 14,
    kNotADatabase = 26,
};

ProxyListReply failed(const QString& reason)
{
    ProxyListReply reply;
    reply.status = ProxyListReply::Status::Failed;
    reply.reason = reason;
    return reply;
}

QString describe(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    switch (error.nativeErrorCode().toInt()) {
    case kBusy:
    case kLocked:
        return QStringLiteral("it is locked by another program");
    case kReadOnly:
        return QStringLiteral("it cannot be written to");
    case kCantOpen:
        return QStringLiteral("it cannot be opened");
    case kNotADatabase:
        return QStringLiteral("it is not an SQLite database");
    default:
        break;
    }
    if (text.contains(QLatin1String("no such table"), Qt::CaseInsensitive))
        return QStringLiteral("it has no table %1").arg(kTable);
    const QLatin1String noColumn("no such column:");
    const qsizetype at = text.indexOf(noColumn, 0, Qt::CaseInsensitive);
    if (at >= 0)
        return QStringLiteral("the table %1 has no field %2")
            .arg(kTable, text.mid(at + noColumn.size()).trimmed());
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

bool run(QSqlDatabase& db, const QString& statement, QSqlError* error = nullptr)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = query.lastError();
    return false;
}

ProxyListReply rollBack(QSqlDatabase& db, const ProxyListReply& reply)
{
    run(db, QStringLiteral("ROLLBACK"));
    return reply;
}

ProxyListReply takeNext(QSqlDatabase& db)
{
    if (!db.open())
        return failed(describe(db.lastError()));

    // Taking the write lock first keeps two programs from handing out the same row.
    QSqlError error;
    if (!run(db, QStringLiteral("BEGIN IMMEDIATE"), &error))
        return failed(describe(error));

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(NextProxyQuery()))
        return rollBack(db, failed(describe(query.lastError())));
    for (const char* field : {"ip", "port", "used"}) {
        if (query.record().indexOf(QLatin1String(field)) < 0)
            return rollBack(db, failed(QStringLiteral("the table %1 has no field %2")
                                           .arg(kTable, QLatin1String(field))));
    }
    if (!query.next()) {
        if (query.lastError().isValid())
            return rollBack(db, failed(describe(query.lastError())));
        ProxyListReply none;
        none.status = ProxyListReply::Status::NoneLeft;
        return rollBack(db, none);
    }

    const QSqlRecord row = query.record();
    ProxyListReply taken;
    taken.status = ProxyListReply::Status::Taken;
    taken.proxy = row.value(QStringLiteral("ip")).toString() + u':' +
                  row.value(QStringLiteral("port")).toString();
    query.finish();

    // The query names no key, so the row is found again by its values (NULL-safe);
    // rows with identical values are interchangeable, and only one of them is marked.
    QStringList conditions;
    for (int i = 0; i < row.count(); ++i)
        conditions << db.driver()->escapeIdentifier(row.fieldName(i), QSqlDriver::FieldName) +
                          QStringLiteral(" IS ?");
    QSqlQuery mark(db);
    mark.prepare(
        QStringLiteral("UPDATE %1 SET used = %2 WHERE rowid = "
                       "(SELECT rowid FROM %1 WHERE %3 LIMIT 1)")
            .arg(kTable, QuoteText(QStringLiteral("Y")), conditions.join(QStringLiteral(" AND "))));
    for (int i = 0; i < row.count(); ++i)
        mark.addBindValue(row.value(i));
    if (!mark.exec())
        return rollBack(db, failed(describe(mark.lastError())));
    if (mark.numRowsAffected() != 1)
        return rollBack(
            db,
            failed(QStringLiteral("the row of %1 could not be marked as used").arg(taken.proxy)));
    mark.finish();

    if (!run(db, QStringLiteral("COMMIT"), &error))
        return rollBack(db, failed(describe(error)));
    return taken;
}

} // namespace

QString QuoteText(const QString& text)
{
    return u'\'' + text + u'\'';
}

QString NextProxyQuery()
{
    return QStringLiteral("select * from tblProxy where used <> ") + QuoteText(QStringLiteral("Y"));
}

ProxyListReply TakeNextProxy(const QString& filePath, int busyTimeoutMs)
{
    // Checked first: opening a missing file would create an empty database.
    const QFileInfo file(filePath);
    if (!file.exists())
        return failed(QStringLiteral("the file does not exist"));
    if (!file.isFile())
        return failed(QStringLiteral("it is not a file"));
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        return failed(QStringLiteral("the SQLite driver of Qt SQL is not installed"));

    static std::atomic<int> connections{0};
    const QString connection =
        QStringLiteral("brackenly-proxylist-%1").arg(connections.fetch_add(1) + 1);
    ProxyListReply reply;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, connection);
        // mode=rw: open an existing file read-write, never create one.
        db.setDatabaseName(
            QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) +
            QStringLiteral("?mode=rw"));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(qMax(0, busyTimeoutMs)));
        reply = takeNext(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return reply;
}

} // namespace brackenly
