#include "imagecookies.h"

#include <QHostAddress>
#include <QNetworkCookieJar>
#include <QStringList>

namespace brackenly {

namespace {

// Qt keeps its public suffix list behind the cookie jar's own check: a domain cookie for a
// public suffix is refused.
class SuffixCheck : public QNetworkCookieJar
{
public:
    bool isPublicSuffix(const QString& suffix, const QUrl& url) const
    {
        QNetworkCookie cookie("probe", "1");
        cookie.setDomain(u'.' + suffix);
        return !validateCookie(cookie, url);
    }
};

QString registrableDomain(const QUrl& url)
{
    const QString host = url.host().toLower();
    if (host.isEmpty() || !QHostAddress(host).isNull())
        return host;
    const QStringList labels = host.split(u'.');
    static const SuffixCheck check;
    // A top-level label always counts as a public suffix, listed or not.
    for (qsizetype count = 2; count < labels.size(); ++count) {
        const QString suffix = labels.mid(labels.size() - count).join(u'.');
        if (!check.isPublicSuffix(suffix, url))
            return suffix;
    }
    return host;
}

} // namespace

QString SiteOf(const QUrl& url)
{
    const QString domain = registrableDomain(url);
    if (domain.isEmpty())
        return {};
    return url.scheme().toLower() + QStringLiteral("://") + domain;
}

bool IsSameSite(const QUrl& a, const QUrl& b)
{
    const QString site = SiteOf(a);
    return !site.isEmpty() && site == SiteOf(b);
}

QList<QNetworkCookie> CookiesForImage(const QList<QNetworkCookie>& cookies, bool sameSite)
{
    if (sameSite)
        return cookies;
    QList<QNetworkCookie> sent;
    for (const QNetworkCookie& cookie : cookies) {
        if (cookie.sameSitePolicy() == QNetworkCookie::SameSite::None && cookie.isSecure())
            sent.append(cookie);
    }
    return sent;
}

} // namespace brackenly
