#include "enginecookiejar.h"

#include <QNetworkCookie>
#include <QWebEngineCookieStore>

namespace brackenly {

EngineCookieJar::EngineCookieJar(QWebEngineCookieStore* store, QObject* parent)
    : QNetworkCookieJar(parent), store_(store)
{
    if (!store)
        return;
    connect(store, &QWebEngineCookieStore::cookieAdded, this,
            [this](const QNetworkCookie& cookie) { insertCookie(cookie); });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& cookie) { deleteCookie(cookie); });
    // The cookies already there arrive as cookieAdded.
    store->loadAllCookies();
}

bool EngineCookieJar::setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url)
{
    const bool added = QNetworkCookieJar::setCookiesFromUrl(cookies, url);
    if (!store_)
        return added;
    for (const QNetworkCookie& cookie : cookies) {
        QNetworkCookie normalized = cookie;
        normalized.normalize(url);
        // Only what this jar accepts for the address; the engine applies its own rules too.
        if (validateCookie(normalized, url))
            store_->setCookie(cookie, url);
    }
    return added;
}

} // namespace brackenly
