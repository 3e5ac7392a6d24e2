#pragma once

#include <QString>
#include <optional>

namespace brackenly {

// The process proxy option as the proxy dialog hands it over: an access type and a
// proxy list text "http=" + host + ":" + port, no bypass list.
struct ProxySetting
{
    enum AccessType : int
    {
        Direct = 1,     // no proxy at all
        NamedProxy = 3, // the HTTP proxy named in proxyList
    };

    int accessType = Direct;
    QString proxyList;
    QString bypassList;

    bool operator==(const ProxySetting& other) const = default;
};

// What OK builds from the dialog's boxes; the list text is built even when unticked.
ProxySetting MakeProxySetting(bool useProxy, const QString& host, const QString& port);

// Splits "http=host:port" at the last ":" (an IPv6 host keeps its own colons).
// False when the text does not have that shape.
bool SplitProxyList(const QString& proxyList, QString* host, QString* port);

// A host name or IP address a proxy can be reached at ("[::1]" and "::1" both count).
bool IsValidProxyHost(const QString& host);
// A whole number from 1 to 65535, digits only.
std::optional<quint16> ParseProxyPort(const QString& port);

// Applies the setting to the whole process (every page load and download follows it).
// A refused setting leaves the proxy in force unchanged and returns false.
bool SetProcessProxy(const ProxySetting& setting);

} // namespace brackenly
