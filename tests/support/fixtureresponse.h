#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace brackenly {

// What the fixture server answers to one request.
struct FixtureResponse
{
    enum class Delivery
    {
        Normal,
        Stall,      // read the request, never answer, keep the connection open
        DropMidway, // full Content-Length in the header, half the body, then close
    };

    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers{}; // extra ones, sent as given
    int delayMs = 0;
    Delivery delivery = Delivery::Normal;

    static FixtureResponse html(const QString& html)
    {
        return {200, "text/html; charset=utf-8", html.toUtf8()};
    }
    static FixtureResponse bytes(const QByteArray& body, const QByteArray& type)
    {
        return {200, type, body};
    }
    static FixtureResponse error(int code)
    {
        return {code, "text/html", "<html><body>" + QByteArray::number(code) + "</body></html>"};
    }
    // A valid 1x1 GIF; its bytes differ for every seed (the seed is kept in a comment).
    static QByteArray gif(const QString& seed);
};

} // namespace brackenly
