#include "fixturerequest.h"

#include <algorithm>

namespace brackenly {

QByteArray FixtureRequest::header(const QByteArray& name) const
{
    for (const auto& header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

bool FixtureRequest::hasHeader(const QByteArray& name) const
{
    return std::any_of(headers.cbegin(), headers.cend(), [&](const auto& header) {
        return header.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

QUrl FixtureRequest::url() const
{
    if (target.startsWith('/'))
        return QUrl(QStringLiteral("http://") + QString::fromLatin1(header("Host") + target));
    return QUrl::fromEncoded(target);
}

} // namespace brackenly
