// The proxy "host:port" splits. A list entry splits at its first ":" into the two boxes;
// the proxy list text built from the boxes splits back into them; a setting that is applied
// names a host a URL can hold and the port as typed.

#include "fuzztext.h"
#include "networkproxy.h"
#include "proxyaddress.h"
#include "proxysetting.h"

#include <QUrl>

using namespace brackenly;
using namespace brackenly::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList texts = InputTexts(data, size, 2);
    const QString& host = texts.at(0);
    const QString& port = texts.at(1);

    QString boxHost = QStringLiteral("kept");
    QString boxPort = QStringLiteral("kept");
    const ExactText entry(host + u':' + port);
    FUZZ_CHECK(SplitProxyAddress(entry.str(), boxHost, boxPort), entry.str());
    FUZZ_CHECK(boxHost + u':' + boxPort == entry.str() && !boxHost.contains(u':'), entry.str());
    if (!host.contains(u':'))
        FUZZ_CHECK(boxHost == host && boxPort == port, entry.str());
    if (!host.contains(u':')) {
        const ExactText bare(host);
        boxHost = boxPort = QStringLiteral("kept");
        FUZZ_CHECK(!SplitProxyAddress(bare.str(), boxHost, boxPort), bare.str());
        FUZZ_CHECK(boxHost == QLatin1String("kept") && boxPort == QLatin1String("kept"),
                   bare.str());
    }

    const ProxySetting setting = MakeProxySetting(true, host, port);
    QString listHost;
    QString listPort;
    const ExactText list(setting.proxyList);
    FUZZ_CHECK(SplitProxyList(list.str(), &listHost, &listPort), list.str());
    if (!port.contains(u':'))
        FUZZ_CHECK(listHost == host && listPort == port, list.str());

    const std::optional<QNetworkProxy> proxy = ToNetworkProxy(setting);
    if (!proxy)
        return 0;
    const std::optional<quint16> number = ParseProxyPort(listPort);
    FUZZ_CHECK(number && proxy->port() == *number && *number >= 1, list.str());
    FUZZ_CHECK(QString::number(*number).rightJustified(listPort.size(), u'0') == listPort,
               list.str());
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(proxy->hostName());
    FUZZ_CHECK(url.isValid() && !url.host().isEmpty(), list.str());
    return 0;
}
