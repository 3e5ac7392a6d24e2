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
    const QStringList parts = Parts(data, size, 2);
    const ExactText a(parts.at(0));
    const ExactText b(parts.at(1));

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
    QString escaped;
    for (const char c : bytes)
        escaped +=
            u'%' + QString::number(static_cast<unsigned char>(c), 16).rightJustified(2, u'0');
    const ExactText escapedText(escaped);
    FUZZ_CHECK(UrlDecode(escapedText.str()) == DecodeWindows1252(bytes), escaped);
    return 0;
}
