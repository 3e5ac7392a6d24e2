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

// Reads a quoted string or the argument of url( (`at` just after the parenthesis) and moves
// `at` past it: the address, its escapes undone.
QString readAddress(const QString& value, qsizetype& at, bool inUrl)
{
    while (at < value.size() && value.at(at).isSpace())
        ++at;
    QString url;
    const bool quoted = at < value.size() && (value.at(at) == u'"' || value.at(at) == u'\'');
    if (quoted) {
        const QChar quote = value.at(at++);
        for (; at < value.size() && value.at(at) != quote; ++at) {
            if (value.at(at) == u'\\' && at + 1 < value.size())
                ++at;
            url.append(value.at(at));
        }
        ++at;
    }
    if (!inUrl)
        return url;
    const qsizetype end = value.indexOf(u')', at);
    if (!quoted)
        url = value.mid(at, end < 0 ? -1 : end - at).trimmed();
    at = end < 0 ? value.size() : end + 1;
    return url;
}

// A resolution descriptor of image-set() in dots per CSS pixel; 0 for anything else.
double resolution(const QString& token)
{
    static const QList<std::pair<QLatin1String, double>> units{{QLatin1String("dppx"), 1},
                                                               {QLatin1String("dpcm"), 2.54 / 96},
                                                               {QLatin1String("dpi"), 1.0 / 96},
                                                               {QLatin1String("x"), 1}};
    for (const auto& [unit, scale] : units) {
        if (token.endsWith(unit, Qt::CaseInsensitive)) {
            bool ok = false;
            const double number = token.chopped(unit.size()).toDouble(&ok);
            return ok && number > 0 ? number * scale : 0;
        }
    }
    return 0;
}

// The densest address of an image-set() whose options start at `at`, just after its
// parenthesis; moves `at` past the closing one. Its data: options and gradients are left out.
QString densestOption(const QString& value, qsizetype& at)
{
    QString best;
    double bestDensity = 0;
    while (at < value.size()) {
        while (at < value.size() && (value.at(at).isSpace() || value.at(at) == u','))
            ++at;
        if (at >= value.size() || value.at(at) == u')')
            break;
        QString url;
        if (value.mid(at, 4).compare(QLatin1String("url("), Qt::CaseInsensitive) == 0) {
            at += 4;
            url = readAddress(value, at, true);
        } else if (value.at(at) == u'"' || value.at(at) == u'\'') {
            url = readAddress(value, at, false);
        }
        // The rest of the option: its resolution, a type(), or an image that is no address.
        double density = 1;
        QString token;
        for (int depth = 0; at < value.size(); ++at) {
            const QChar c = value.at(at);
            if (depth == 0 && (c == u',' || c == u')' || c.isSpace())) {
                if (const double r = resolution(token); r > 0)
                    density = r;
                token.clear();
                if (!c.isSpace())
                    break;
                continue;
            }
            depth += c == u'(' ? 1 : c == u')' ? -1 : 0;
            token.append(c);
        }
        if (!url.isEmpty() && !isPlaceholder(url, 0, 0) && density > bestDensity) {
            best = url;
            bestDensity = density;
        }
    }
    ++at;
    return best;
}

// The addresses of a computed background-image, in order: each url() item, and of each
// image-set() its densest option alone.
QStringList backgroundUrls(const QString& value)
{
    QStringList urls;
    qsizetype at = 0;
    while (at < value.size()) {
        const qsizetype url = value.indexOf(QLatin1String("url("), at, Qt::CaseInsensitive);
        const qsizetype set = value.indexOf(QLatin1String("image-set("), at, Qt::CaseInsensitive);
        if (url < 0 && set < 0)
            break;
        QString address;
        if (set >= 0 && (url < 0 || set < url)) {
            at = set + 10;
            address = densestOption(value, at);
        } else {
            at = url + 4;
            address = readAddress(value, at, true);
        }
        if (!address.isEmpty())
            urls.append(address);
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
