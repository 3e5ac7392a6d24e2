// ExtractSrc, MatchImageSrc and FindImageLink: a src written into markup, quoted or not,
// is read back exactly; an image whose address ends with it matches, with up to three
// leading "../" dropped; so a link wrapping that image is found.

#include "fuzztext.h"
#include "harvestrules.h"

using namespace brackenly;
using namespace brackenly::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList texts = InputTexts(data, size, 4);
    const QString& prefix = texts.at(0); // markup before the attribute
    const QString& src = texts.at(1);
    const QString& site = texts.at(2); // what the address has before src
    const ExactText markup(texts.at(3));

    // Anything at all: the result stands in the markup after the first " src=".
    const QString any = ExtractSrc(markup.str());
    if (!any.isEmpty()) {
        const qsizetype at = markup.str().indexOf(QLatin1String(" src="), 0, Qt::CaseInsensitive);
        FUZZ_CHECK(at >= 0 && markup.str().indexOf(any, at + 5) >= 0, markup.str());
    }
    MatchImageSrc(site, markup.str());

    if (prefix.contains(QLatin1String(" src="), Qt::CaseInsensitive))
        return 0;
    if (!src.contains(u'"')) {
        const ExactText quoted(prefix + QStringLiteral(" src=\"") + src + QStringLiteral("\" />"));
        FUZZ_CHECK(ExtractSrc(quoted.str()) == src, quoted.str());
    }
    if (!src.contains(u' ') && !src.contains(u'>') && !src.startsWith(u'"') &&
        !src.startsWith(u'\'')) {
        const ExactText bare(prefix + QStringLiteral(" src=") + src + u'>');
        FUZZ_CHECK(ExtractSrc(bare.str()) == src, bare.str());
    }

    if (src.trimmed().isEmpty() || src.startsWith(QLatin1String("../")))
        return 0;
    const int ups = size > 0 ? data[0] % 4 : 0;
    const QString written = QStringLiteral("../").repeated(ups) + src;
    const QString address = site + src;
    FUZZ_CHECK(MatchImageSrc(address, written), written);
    if (!written.contains(u'"')) {
        DomLink link;
        link.innerHtml = QStringLiteral("<IMG src=\"") + written + QStringLiteral("\">");
        link.text = QStringLiteral("http://example.test/next");
        FUZZ_CHECK(FindImageLink({DomLink{}, link}, address) == link.text, link.innerHtml);
    }
    return 0;
}
