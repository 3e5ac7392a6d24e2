#include "modernimages.h"

#include <QSet>
#include <QStringList>
#include <QUrl>
#include <utility>

namespace brackenly {

namespace {

struct Candidate
{
    QString url;
    double width = 0;   // 0: no "w" descriptor
    double density = 1; // the "x" descriptor, 1 without one
};

// A descriptor list like "300w" or "1.5x 100h"; false for one that makes the candidate
// invalid (a bad number, both a width and a density, a repeated kind).
bool readDescriptors(const QStringList& descriptors, Candidate& candidate)
{
    bool width = false;
    bool density = false;
    for (const QString& descriptor : descriptors) {
        const QChar kind = descriptor.back().toLower();
        bool ok = false;
        const double number = descriptor.chopped(1).toDouble(&ok);
        if (!ok || number <= 0)
            return false;
        if (kind == u'w' && !width && !density) {
            candidate.width = number;
            width = true;
        } else if (kind == u'x' && !width && !density) {
            candidate.density = number;
            density = true;
        } else if (kind != u'h') {
            return false;
        }
    }
    return true;
}

// The candidates of a srcset, as the HTML parser splits it: an address runs to the next
// white space (commas ending it are separators), its descriptors to the next comma outside
// parentheses.
QList<Candidate> parseSrcset(const QString& srcset)
{
    QList<Candidate> candidates;
    const qsizetype n = srcset.size();
    qsizetype at = 0;
    while (at < n) {
        while (at < n && (srcset.at(at).isSpace() || srcset.at(at) == u','))
            ++at;
        if (at >= n)
            break;
        const qsizetype start = at;
        while (at < n && !srcset.at(at).isSpace())
            ++at;
        Candidate candidate{srcset.mid(start, at - start)};
        QStringList descriptors;
        if (candidate.url.endsWith(u',')) {
            while (candidate.url.endsWith(u','))
                candidate.url.chop(1);
        } else {
            QString descriptor;
            int depth = 0;
            for (; at < n; ++at) {
                const QChar c = srcset.at(at);
                if (c == u',' && depth == 0) {
                    ++at;
                    break;
                }
                depth += c == u'(' ? 1 : c == u')' && depth > 0 ? -1 : 0;
                if (c.isSpace() && depth == 0) {
                    if (!descriptor.isEmpty())
                        descriptors.append(std::exchange(descriptor, QString()));
                } else {
                    descriptor.append(c);
                }
            }
            if (!descriptor.isEmpty())
                descriptors.append(descriptor);
        }
        if (!candidate.url.isEmpty() && readDescriptors(descriptors, candidate))
            candidates.append(candidate);
    }
    return candidates;
}

bool isPlaceholder(const QString& address, int width, int height)
{
    return address.startsWith(QLatin1String("data:"), Qt::CaseInsensitive) ||
           (width == 1 && height == 1);
}

// The address as written of the largest candidate that is no data: placeholder; "" without
// one.
QString largestCandidate(const QString& srcset)
{
    const QList<Candidate> candidates = parseSrcset(srcset);
    const Candidate* best = nullptr;
    for (const Candidate& candidate : candidates) {
        if (isPlaceholder(candidate.url, 0, 0))
            continue;
        if (!best || (candidate.width > 0 && candidate.width > best->width) ||
            (best->width == 0 && candidate.width == 0 && candidate.density > best->density))
            best = &candidate;
    }
    return best ? best->url : QString();
}

// The addresses of the url() items of a computed background-image, in order.
QStringList backgroundUrls(const QString& value)
{
    QStringList urls;
    qsizetype at = 0;
    while ((at = value.indexOf(QLatin1String("url("), at, Qt::CaseInsensitive)) >= 0) {
        at += 4;
        while (at < value.size() && value.at(at).isSpace())
            ++at;
        QString url;
        if (at < value.size() && (value.at(at) == u'"' || value.at(at) == u'\'')) {
            const QChar quote = value.at(at++);
            for (; at < value.size() && value.at(at) != quote; ++at) {
                if (value.at(at) == u'\\' && at + 1 < value.size())
                    ++at;
                url.append(value.at(at));
            }
        } else {
            const qsizetype end = value.indexOf(u')', at);
            url = value.mid(at, end < 0 ? -1 : end - at).trimmed();
            at = end < 0 ? value.size() : end;
        }
        if (!url.isEmpty())
            urls.append(url);
    }
    return urls;
}

QString resolved(const QUrl& base, const QString& written)
{
    const QString trimmed = written.trimmed();
    if (trimmed.isEmpty())
        return {};
    return base.resolved(QUrl(trimmed)).toString(QUrl::FullyEncoded);
}

} // namespace

QList<DomImage> ModernImages(const DomImageSources& sources)
{
    const QUrl base(sources.base);
    QList<DomImage> images;
    QSet<QString> seen;
    const auto add = [&](const QString& address, int width = 0, int height = 0) {
        if (address.isEmpty() || isPlaceholder(address, width, height) || seen.contains(address))
            return;
        seen.insert(address);
        images.append({address});
    };
    for (const DomImageSource& source : sources.items) {
        switch (source.kind) {
        case DomImageSource::Kind::Src:
            add(source.value.trimmed(), source.width, source.height);
            break;
        case DomImageSource::Kind::Srcset:
            add(resolved(base, largestCandidate(source.value)));
            break;
        case DomImageSource::Kind::Lazy:
            // "#box": a lightbox's own element on this page, not an image.
            if (!source.value.trimmed().startsWith(u'#'))
                add(resolved(base, source.value));
            break;
        case DomImageSource::Kind::Background:
            for (const QString& url : backgroundUrls(source.value))
                add(resolved(base, url));
            break;
        }
    }
    return images;
}

} // namespace brackenly
