#include "proxyaddress.h"

namespace brackenly {

bool SplitProxyAddress(const QString& text, QString& host, QString& port)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return false;
    host = text.left(colon);
    port = text.mid(colon + 1);
    return true;
}

} // namespace brackenly
