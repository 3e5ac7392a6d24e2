// The session and settings file format. A record written as a file's bytes and read back
// comes back equal, as far as Windows-1252 can hold its text, unless a value holds one of
// the format's tags (values are written unescaped, so such a value can shadow an element).
// On any text, GetTagValue's result is what stands between the tags.

#include "codepage1252.h"
#include "fuzztext.h"
#include "record.h"
#include "recordfile.h"

#include <array>

using namespace brackenly;
using namespace brackenly::fuzz;

namespace {

const std::array<QString Record::*, 7> kFields{&Record::Type,   &Record::Session,  &Record::Url,
                                               &Record::Action, &Record::Postdata, &Record::Header,
                                               &Record::Frame};
const QStringList kElements{"Type",   "Session", "Url",  "Action",     "Postdata",
                            "Header", "Frame",   "Home", "ImageFolder"};

bool holdsTag(const QString& value)
{
    for (const QString& name : kElements) {
        if (value.contains(u'<' + name + u'>', Qt::CaseInsensitive) ||
            value.contains(QStringLiteral("</") + name + u'>', Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// What a file holds once written and read: a character outside the code page is "?".
QString throughFile(const QString& text)
{
    return DecodeWindows1252(EncodeWindows1252(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList texts = InputTexts(data, size, 7);

    // GetTagValue on the raw input, with the first part as the element name.
    const ExactText whole(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QString value = GetTagValue(whole.str(), texts.at(0));
    if (!value.isEmpty()) {
        const QString element =
            u'<' + texts.at(0) + u'>' + value + QStringLiteral("</") + texts.at(0) + u'>';
        FUZZ_CHECK(whole.str().contains(element, Qt::CaseInsensitive), whole.str());
    }

    Record written;
    Record expected;
    bool tagged = false;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        written.*kFields[i] = texts.at(qsizetype(i));
        expected.*kFields[i] = throughFile(texts.at(qsizetype(i)));
        tagged = tagged || holdsTag(expected.*kFields[i]);
    }
    if (tagged)
        return 0;

    const ExactText file(throughFile(BuildRecordXml(written) + QStringLiteral("\r\n")));
    Record read{"t", "s", "u", "a", "p", "h", "f"};
    ParseRecordXml(file.str(), read);
    if (expected.Type.isEmpty())
        expected.Type = QStringLiteral("Form");
    if (expected.Type == QLatin1String("Home")) {
        Record untouched{"Home", "s", "u", "a", "p", "h", "f"};
        FUZZ_CHECK(read == untouched, file.str());
    } else {
        FUZZ_CHECK(read == expected, file.str());
    }

    // The settings file: the home page and the image folder.
    const ExactText settings(throughFile(BuildSettingsXml({texts.at(0), texts.at(1)})));
    const Settings back = ParseSettingsXml(settings.str());
    FUZZ_CHECK(back.home == throughFile(texts.at(0)), settings.str());
    FUZZ_CHECK(back.imageFolder == throughFile(texts.at(1)), settings.str());
    return 0;
}
