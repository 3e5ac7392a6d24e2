#include "proxysetting.h"

#include "networkproxy.h"

#include <QHostAddress>
#include <QUrl>
#include <algorithm>

namespace brackenly {

namespace {

const QString kHttpPrefix = QStringLiteral("http=");

QString withoutBrackets(const QString& host)
{
    if (host.size() > 2 && host.startsWith(u'[') && host.endsWith(u']'))
        return host.mid(1, host.size() - 2);
    return host;
}

bool isUnreserved(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

// An IPv6 address with an optional zone ("fe80::1%eth0"). QHostAddress alone is too lenient:
// it stops reading at a NUL ("::1\0junk" passes as "::1") and takes an empty zone.
bool isIpv6Literal(const QString& text)
{
    const qsizetype percent = text.indexOf(u'%');
    const QStringView address = QStringView(text).left(percent < 0 ? text.size() : percent);
    for (const QChar c : address) {
        if (!isUnreserved(c) && c != u':')
            return false;
    }
    if (percent >= 0) {
        const QStringView zone = QStringView(text).mid(percent + 1);
        if (zone.isEmpty() || !std::all_of(zone.begin(), zone.end(), isUnreserved))
            return false;
    }
    return QHostAddress(text).protocol() == QAbstractSocket::IPv6Protocol;
}

} // namespace

ProxySetting MakeProxySetting(bool useProxy, const QString& host, const QString& port)
{
    ProxySetting setting;
    setting.accessType = useProxy ? ProxySetting::NamedProxy : ProxySetting::Direct;
    setting.proxyList = kHttpPrefix + host + u':' + port;
    return setting;
}

bool SplitProxyList(const QString& proxyList, QString* host, QString* port)
{
    if (!proxyList.startsWith(kHttpPrefix))
        return false;
    const QString hostPort = proxyList.mid(kHttpPrefix.size());
    const qsizetype colon = hostPort.lastIndexOf(u':');
    if (colon < 0)
        return false;
    *host = hostPort.left(colon);
    *port = hostPort.mid(colon + 1);
    return true;
}

bool IsValidProxyHost(const QString& host)
{
    if (host.isEmpty())
        return false;
    const QString bare = withoutBrackets(host);
    if (bare.contains(u':'))
        return isIpv6Literal(bare);
    if (bare != host)
        return false; // brackets only belong around an IPv6 address
    // toAce applies the host name rules (no blanks, "/", "@", empty labels ...).
    return !QUrl::toAce(host).isEmpty();
}

std::optional<quint16> ParseProxyPort(const QString& port)
{
    if (port.isEmpty())
        return std::nullopt;
    for (const QChar c : port)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    bool ok = false; // false on overflow too
    const qulonglong value = port.toULongLong(&ok);
    if (!ok || value < 1 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

std::optional<QNetworkProxy> ToNetworkProxy(const ProxySetting& setting)
{
    if (setting.accessType == ProxySetting::Direct)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    if (setting.accessType != ProxySetting::NamedProxy)
        return std::nullopt;

    QString host;
    QString portText;
    if (!SplitProxyList(setting.proxyList, &host, &portText) || !IsValidProxyHost(host))
        return std::nullopt;
    const std::optional<quint16> port = ParseProxyPort(portText);
    if (!port)
        return std::nullopt;
    return QNetworkProxy(QNetworkProxy::HttpProxy, withoutBrackets(host), *port);
}

bool SetProcessProxy(const ProxySetting& setting)
{
    const std::optional<QNetworkProxy> proxy = ToNetworkProxy(setting);
    if (!proxy)
        return false;
    QNetworkProxy::setApplicationProxy(*proxy);
    return true;
}

} // namespace brackenly
