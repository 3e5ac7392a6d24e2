#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

namespace brackenly {

// One request as the fixture server received it.
struct FixtureRequest
{
    QString path;      // percent-decoded, without the query; what routing looks at
    QString query;     // as sent (still encoded), without the "?"
    QByteArray target; // exactly as sent: absolute when the server was asked as a proxy
    QList<QPair<QByteArray, QByteArray>> headers; // in the order sent
    QByteArray body;

    // The first header of that name, any letter case; "" when absent.
    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

} // namespace brackenly

Q_DECLARE_METATYPE(brackenly::FixtureRequest)
