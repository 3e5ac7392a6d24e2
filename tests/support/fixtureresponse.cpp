#include "fixtureresponse.h"

#include <QCryptographicHash>
#include <QHash>

namespace brackenly {

FixtureResponse FixtureResponse::redirect(const QString& target, int code)
{
    return {code, "text/html", "<html><body>Moved</body></html>", {{"Location", target.toUtf8()}}};
}

FixtureResponse FixtureResponse::error(int code)
{
    return {code, "text/html", "<html><body>" + QByteArray::number(code) + "</body></html>"};
}

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

QByteArray FixtureResponse::reasonPhrase(int code)
{
    // Clients go by the code alone; the words only help a person reading a capture.
    static const QHash<int, QByteArray> phrases{
        {200, "OK"}, {302, "Found"}, {404, "Not Found"}, {500, "Internal Server Error"}};
    return phrases.value(code, "Status");
}

} // namespace brackenly
