// UrlDecode (and HexDigitValue under it): a failed decode is "", never a read past the end
// of a truncated escape; every byte escaped as %xx comes back as its Windows-1252
// character; and decoding walks left to right, so two texts that decode on their own
// decode together to the two results joined.

#include "codepage1252.h"
#include "fuzztext.h"
#include "recordtext.h"

using namespace brackenly;
using namespace brackenly::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList texts = InputTexts(data, size, 2);
    const ExactText a(texts.at(0));
    const ExactText b(texts.at(1));

    const QString decodedA = UrlDecode(a.str());
    FUZZ_CHECK(decodedA.size() <= a.str().size(), a.str());
    if (!a.str().contains(u'%'))
        FUZZ_CHECK(decodedA == QString(a.str()).replace(u'+', u' '), a.str());

    const QString decodedB = UrlDecode(b.str());
    if (!decodedA.isEmpty() && !decodedB.isEmpty()) {
        const ExactText joined(a.str() + b.str());
        FUZZ_CHECK(UrlDecode(joined.str()) == decodedA + decodedB, joined.str());
    }

    // Lower-case hex digits: "%2B" in capitals is the one escape that means a blank.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray hex = bytes.toHex();
    QString escaped;
    escaped.reserve(3 * bytes.size());
    for (qsizetype i = 0; i < hex.size(); i += 2)
        escaped.append(u'%').append(QLatin1Char(hex[i])).append(QLatin1Char(hex[i + 1]));
    const ExactText escapedText(escaped);
    FUZZ_CHECK(UrlDecode(escapedText.str()) == DecodeWindows1252(bytes), escaped);
    return 0;
}
