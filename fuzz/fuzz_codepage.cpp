// The Windows-1252 reader and writer. Bytes read as text write back as the same bytes; text
// written as bytes gives one byte per character (a surrogate pair is one), and reads back as
// itself with "?" for every character the code page lacks.

#include "codepage1252.h"
#include "fuzztext.h"

#include <QStringView>

using namespace brackenly;
using namespace brackenly::fuzz;

namespace {

// The 256 characters the code page has, one per byte.
const QString& codePage()
{
    static const QString all = [] {
        QByteArray bytes(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            bytes[i] = char(i);
        return DecodeWindows1252(bytes);
    }();
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString decoded = DecodeWindows1252(bytes);
    FUZZ_CHECK(decoded.size() == bytes.size(), decoded);
    FUZZ_CHECK(EncodeWindows1252(decoded) == bytes, decoded);

    // The same bytes as UTF-16 units: lone halves of surrogate pairs included.
    QString units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units += QChar(char16_t(data[i] | data[i + 1] << 8));
    const ExactText text(units);
    const QByteArray encoded = EncodeWindows1252(text.str());
    const QList<uint> codePoints = QStringView(text.str()).toUcs4();
    FUZZ_CHECK(encoded.size() == codePoints.size(), text.str());
    const QString back = DecodeWindows1252(encoded);
    for (qsizetype i = 0; i < codePoints.size(); ++i) {
        const char32_t c = codePoints.at(i);
        FUZZ_CHECK(back.at(i) == u'?' || (c < 0x10000 && back.at(i) == QChar(char16_t(c))),
                   text.str());
        // A character of the code page survives.
        if (c < 0x10000 && codePage().contains(QChar(char16_t(c))))
            FUZZ_CHECK(back.at(i) == QChar(char16_t(c)), text.str());
    }
    FUZZ_CHECK(EncodeWindows1252(back) == encoded, text.str());
    return 0;
}
