#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace brackenly {

// Proxy list databases made by the tests, written and read with their own connection.
namespace ProxyListFile {

// One row: ip, port, used (a null QVariant is SQL NULL).
using Row = QVariantList;

// A new SQLite file with tblProxy (ip, port, used) holding the rows in this order.
// createTable: the statement that makes the table (columns may be left out on purpose).
bool create(const QString& path, const QList<Row>& rows,
            const QString& createTable =
                QStringLiteral("CREATE TABLE tblProxy (ip TEXT, port TEXT, used TEXT)"));
// The used column, in table order; a null QVariant for NULL.
QVariantList usedValues(const QString& path);
// Connections the code under test left open (by name).
QStringList openConnections();

} // namespace ProxyListFile

} // namespace brackenly
