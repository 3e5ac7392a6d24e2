#include "formtext.h"

#include <QUrl>

namespace brackenly {

namespace {

const QLatin1String kFormOpen("<form ");
const QLatin1String kActionAttribute("action=");

bool sameIgnoringCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool sameNonEmpty(const QString& a, const QString& b)
{
    return !a.isEmpty() && !b.isEmpty() && a == b;
}

// The engine serialises attributes in quotes, older markup does not: accept both.
bool tagHasId(const QString& tag, const QString& id)
{
    if (tag.contains(QLatin1String("id=") + id, Qt::CaseInsensitive))
        return true;
    for (const QChar quote : {QChar(u'"'), QChar(u'\'')}) {
        if (tag.contains(QLatin1String("id=") + quote + id + quote, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString originOf(const QString& url)
{
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    const int defaultPort = scheme == QLatin1String("https") ? 443
                            : scheme == QLatin1String("ftp") ? 21
                                                             : 80;
    return scheme + QLatin1String("://") + parsed.host().toLower() + u':' +
           QString::number(parsed.port(defaultPort));
}

} // namespace

bool HasOwnOrigin(const QString& url)
{
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid())
        return false;
    if (scheme == QLatin1String("file"))
        return true;
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
            scheme == QLatin1String("ftp")) &&
           !parsed.host().isEmpty();
}

bool MayFillAt(const QString& recordUrl, const QString& address, bool frame)
{
    if (!HasOwnOrigin(recordUrl) || !HasOwnOrigin(address))
        return false;
    if (!frame)
        return recordUrl.compare(address, Qt::CaseInsensitive) == 0;
    return originOf(recordUrl) == originOf(address);
}

QString LastPathSegment(const QString& text)
{
    const qsizetype slash = text.lastIndexOf(u'/');
    return slash < 0 ? text : text.mid(slash + 1);
}

QString FileNameOf(const QString& url)
{
    return LastPathSegment(url);
}

QString PageNameOf(const QString& url)
{
    const qsizetype query = url.indexOf(u'?');
    return LastPathSegment(query < 0 ? url : url.left(query));
}

bool SameFileName(const QString& a, const QString& b)
{
    return sameIgnoringCase(a, b) || sameNonEmpty(FileNameOf(a), FileNameOf(b));
}

bool SamePageName(const QString& a, const QString& b)
{
    return sameIgnoringCase(a, b) || sameNonEmpty(PageNameOf(a), PageNameOf(b));
}

QString FindFormAction(const QString& markup, const QString& id)
{
    qsizetype start = markup.indexOf(kFormOpen, 0, Qt::CaseInsensitive);
    while (start >= 0) {
        const qsizetype end = markup.indexOf(u'>', start);
        // A tag cut off by the end of the markup holds no usable action.
        if (end < 0)
            return {};
        const QString tag = markup.mid(start, end - start + 1);
        if (id.isEmpty() || tagHasId(tag, id))
            return ExtractFormAction(tag);
        start = markup.indexOf(kFormOpen, end + 1, Qt::CaseInsensitive);
    }
    return {};
}

QString ExtractFormAction(const QString& tag)
{
    const qsizetype at = tag.indexOf(kActionAttribute, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype start = at + kActionAttribute.size();
    if (start < tag.size() && (tag.at(start) == u'"' || tag.at(start) == u'\'')) {
        const qsizetype close = tag.indexOf(tag.at(start), start + 1);
        return close < 0 ? QString() : tag.mid(start + 1, close - start - 1);
    }
    qsizetype end = tag.indexOf(u' ', start);
    if (end < 0)
        end = tag.indexOf(u'>', start);
    return end < 0 ? QString() : tag.mid(start, end - start);
}

} // namespace brackenly
