#include "harvestrules.h"

namespace brackenly {

QString ExtractSrc(const QString& markup)
{
    const qsizetype p = markup.indexOf(QLatin1String(" src="), 0, Qt::CaseInsensitive);
    if (p < 0)
        return {};
    const qsizetype start = p + 5;
    if (start >= markup.size())
        return {};
    const QChar c = markup.at(start);
    if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
        const qsizetype end = markup.indexOf(c, start + 1);
        if (end < 0)
            return {};
        return markup.mid(start + 1, end - start - 1);
    }
    for (qsizetype j = start; j < markup.size(); ++j) {
        if (markup.at(j) == QLatin1Char(' ') || markup.at(j) == QLatin1Char('>'))
            return markup.mid(start, j - start);
    }
    return {};
}

bool MatchImageSrc(const QString& src, const QString& markupSrc)
{
    QString tail = markupSrc;
    for (int i = 0; i < 3 && tail.startsWith(QLatin1String("../")); ++i)
        tail.remove(0, 3);
    if (tail.trimmed().isEmpty())
        return false;
    return src.endsWith(tail);
}

namespace {

// innerHtml.left(5).toLower() == "<img ", without making two strings: the run asks this of
// every link for every image, millions of times on a large gallery.
bool startsWithImageTag(const QString& innerHtml)
{
    static constexpr char16_t kTag[] = u"<img ";
    if (innerHtml.size() < 5)
        return false;
    // Only ASCII letters lower-case to the tag's letters (U+0130 becomes two characters).
    for (int i = 0; i < 5; ++i) {
        const char16_t c = innerHtml.at(i).unicode();
        if ((c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c) != kTag[i])
            return false;
    }
    return true;
}

} // namespace

QList<ImageWrappingLink> ImageWrappingLinks(const QList<DomLink>& links)
{
    QList<ImageWrappingLink> found;
    for (const DomLink& link : links) {
        if (!startsWithImageTag(link.innerHtml))
            continue;
        QString s = ExtractSrc(link.innerHtml);
        if (!s.trimmed().isEmpty())
            found.append({std::move(s), link.text});
    }
    return found;
}

QString FindImageLink(const QList<ImageWrappingLink>& links, const QString& src)
{
    for (const ImageWrappingLink& link : links) {
        if (MatchImageSrc(src, link.markupSrc))
            return link.text;
    }
    return {};
}

QString FindImageLink(const QList<DomLink>& links, const QString& src)
{
    return FindImageLink(ImageWrappingLinks(links), src);
}

bool IsScriptLink(const QString& href)
{
    return href.contains(QLatin1String("javascript:"), Qt::CaseInsensitive);
}

bool SkipLink(const QString& href, QStringList& visited)
{
    if (IsScriptLink(href))
        return href.contains(QLatin1String(".external."), Qt::CaseInsensitive);
    if (visited.contains(href))
        return true;
    visited.append(href);
    return false;
}

bool IsRunAddress(const QString& address, bool modern)
{
    return address.startsWith(QLatin1String("http://")) ||
           (modern && address.startsWith(QLatin1String("https://")));
}

bool ShouldLoadCaptureAddress(const QString& url)
{
    const qsizetype q = url.indexOf(QLatin1Char('?'));
    const qsizetype h = url.indexOf(QLatin1Char('#'));
    return !(h >= 0 && (q < 0 || h < q));
}

QString PopupWindowCaption(qint32 level)
{
    return QStringLiteral("Brackenly v1.1 (Popup Window - Level ") + QString::number(level) +
           QLatin1Char(')');
}

QString BlockedPopupText(qint32 count)
{
    return QString::number(count) + QStringLiteral(" Pop-up is blocked");
}

} // namespace brackenly
