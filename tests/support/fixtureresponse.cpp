#include "fixtureresponse.h"

#include <QCryptographicHash>

namespace brackenly {

QByteArray FixtureResponse::gif(const QString& seed)
{
    const QByteArray comment = seed.toUtf8().left(255);
    const QByteArray colour =
        QCryptographicHash::hash(seed.toUtf8(), QCryptographicHash::Md5).left(3);
    QByteArray gif("GIF89a");
    gif += QByteArray::fromHex("01000100"); // 1x1
    gif += QByteArray::fromHex("800000");   // global colour table of 2 entries
    gif += colour + QByteArray::fromHex("000000");
    if (!comment.isEmpty())
        gif += QByteArray::fromHex("21fe") + char(comment.size()) + comment + '\0';
    gif += QByteArray::fromHex("2c000000000100010000"); // image descriptor
    gif += QByteArray::fromHex("0202440100");           // LZW: clear, pixel 0, end
    gif += ';';
    return gif;
}

} // namespace brackenly
