#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QString>
#include <QUrl>

namespace brackenly {

// The site of an address as the engine's SameSite rules see it: scheme and registrable
// domain (the public suffix and one label more; an IP address or a single label stands for
// itself). "" when the address has no host.
QString SiteOf(const QUrl& url);
bool IsSameSite(const QUrl& a, const QUrl& b);

// Of the cookies the jar holds for an image's address, those the engine sends when a page
// shows that image: all of them from a page of the image's own site, from another site only
// SameSite=None ones (which the engine takes only when Secure). Unmarked cookies count as
// Lax, as in the engine.
QList<QNetworkCookie> CookiesForImage(const QList<QNetworkCookie>& cookies, bool sameSite);

} // namespace brackenly
