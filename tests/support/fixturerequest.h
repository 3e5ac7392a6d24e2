#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QUrl>

namespace brackenly {

// One request as the fixture server received it.
struct FixtureRequest
{
    QByteArray method;
    QString path;      // percent-decoded, without the query; what routing looks at
    QString query;     // as sent (still encoded), without the "?"
    QByteArray target; // the request target exactly as sent
    QList<QPair<QByteArray, QByteArray>> headers; // in the order sent
    QByteArray body;
    quint64 connection = 0; // the TCP connection that carried it (keep-alive checks)

    // The first header of that name, any letter case; "" when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // The address asked for: an absolute target, or Host + target.
    QUrl url() const;
};

} // namespace brackenly

Q_DECLARE_METATYPE(brackenly::FixtureRequest)
