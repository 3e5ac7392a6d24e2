#pragma once

#include <QString>

namespace brackenly {

// "'" + text + "'".
QString QuoteText(const QString& text);

// The query that finds the unused proxies of the list.
QString NextProxyQuery();

// What one "take the next proxy" on the proxy list gave.
struct ProxyListReply
{
    enum class Status
    {
        Taken,    // proxy holds ip + ":" + port; that row is now marked used
        NoneLeft, // every row is used (or the list is empty); nothing changed
        Failed,   // the list cannot be used; reason says why; nothing changed
    };

    Status status = Status::Failed;
    QString proxy;
    QString reason;
};

// The proxy list: an SQLite database file with the table tblProxy (ip, port, used).
// Takes the first row the query returns and marks it used ("Y") before returning, in one
// transaction. The file is opened for this call only and never created.
// busyTimeoutMs: how long to wait for another program that holds the file locked.
ProxyListReply TakeNextProxy(const QString& filePath, int busyTimeoutMs = 2000);

} // namespace brackenly
