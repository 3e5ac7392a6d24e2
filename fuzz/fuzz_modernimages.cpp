// ModernImages over what a hostile page may write in srcset, lazy and background values:
// no placeholder and no address twice comes out, and a srcset's widest candidate is the one
// chosen whatever its address.

#include "fuzztext.h"
#include "modernimages.h"

#include <QSet>
#include <QUrl>

using namespace brackenly;
using namespace brackenly::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList texts = InputTexts(data, size, 3);
    const ExactText srcset(texts.at(0));
    const ExactText background(texts.at(1));
    const ExactText address(texts.at(2));
    const QString base = QStringLiteral("http://example.test/dir/page.html");

    using K = DomImageSource::Kind;
    DomImageSources any{base,
                        {{K::Srcset, srcset.str()},
                         {K::Background, background.str()},
                         {K::Lazy, address.str()},
                         {K::Src, address.str()}}};
    QSet<QString> seen;
    for (const DomImage& image : ModernImages(any)) {
        FUZZ_CHECK(!image.src.isEmpty(), srcset.str());
        FUZZ_CHECK(!image.src.startsWith(QLatin1String("data:"), Qt::CaseInsensitive), image.src);
        FUZZ_CHECK(!seen.contains(image.src), image.src);
        seen.insert(image.src);
    }

    // An address the srcset grammar reads as one: no white space, no comma at either end.
    const QString& a = address.str();
    if (a.isEmpty() || a.startsWith(u',') || a.endsWith(u',') ||
        a.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return 0;
    for (const QChar c : a)
        if (c.isSpace())
            return 0;
    const QString expected = QUrl(base).resolved(QUrl(a)).toString(QUrl::FullyEncoded);
    if (expected.isEmpty() || expected.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return 0;
    const int narrow = size > 0 ? 1 + data[0] % 200 : 1;
    const QString written = QStringLiteral("small.png %1w, ").arg(narrow) + a +
                            QStringLiteral(" %1w").arg(narrow + 1 + size % 500);
    const QList<DomImage> chosen = ModernImages({base, {{K::Srcset, written}}});
    FUZZ_CHECK(chosen.size() == 1 && chosen.at(0).src == expected, written);
    return 0;
}
