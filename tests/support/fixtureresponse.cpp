#include "fixtureresponse.h"

#include <QCryptographicHash>

namespace brackenly {

FixtureResponse FixtureResponse::html(const QString& html)
{
    FixtureResponse response;
    response.body = html.toUtf8();
    return response;
}

FixtureResponse FixtureResponse::bytes(const QByteArray& body, const QByteArray& contentType)
{
    FixtureResponse response;
    response.body = body;
    response.contentType = contentType;
    return response;
}

FixtureResponse FixtureResponse::redirect(const QString& target, int code)
{
    FixtureResponse response;
    response.status = code;
    response.headers.append({"Location", target.toUtf8()});
    response.body = "<html><body>Moved</body></html>";
    return response;
}

FixtureResponse FixtureResponse::error(int code)
{
    FixtureResponse response;
    response.status = code;
    response.body =
        "<html><body>" + QByteArray::number(code) + ' ' + reasonPhrase(code) + "</body></html>";
    return response;
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
    switch (code) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 407:
        return "Proxy Authentication Required";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    }
    return "Status";
}

} // namespace brackenly
