#include "recordtext.h"

#include "codepage1252.h"

#include <stdexcept>

namespace brackenly {

namespace {

constexpr int kMaxAmpersandPairs = 60;

bool isAsciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9');
}

// Pair n resizes both lists to exactly n + 1 entries, keeping those before it.
void storePair(const QString& piece, qsizetype equals, int n, QStringList& names,
               QStringList& values)
{
    names.resize(n + 1);
    values.resize(n + 1);
    names[n] = piece.left(equals);
    values[n] = piece.mid(equals + 1);
}

QString encodePostText(const QString& text)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    const QByteArray bytes = EncodeWindows1252(text);
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        const QChar c(byte);
        if (isAsciiAlnum(c) || byte == '*' || byte == '-' || byte == '.' || byte == '_') {
            out += c;
        } else if (byte == ' ') {
            out += u'+';
        } else if (byte == '+') {
            out += u"%2b"; // UrlDecode reads "%2B" as a blank
        } else {
            out += u'%';
            out += QChar(kHex[byte >> 4]);
            out += QChar(kHex[byte & 0xF]);
        }
    }
    return out;
}

} // namespace

QString MakeRecordKey(const QString& url)
{
    const QString lower = url.toLower();
    const qsizetype q = lower.indexOf(u'?');
    return q < 0 ? lower : lower.left(q);
}

QString MakeSessionFileName(const QString& url)
{
    // Seven is the length of "http://", whatever the address really starts with.
    QString stem = url.mid(7);
    for (QChar& c : stem) {
        if (!isAsciiAlnum(c))
            c = u'_';
    }
    // A file name holds 255 bytes at most: a long address (a login page's query) would make
    // its record unsavable. Leaves room for a number and ".xml"; the stem is ASCII.
    stem.truncate(kMaxSessionStem);
    return stem;
}

int HexDigitValue(const QString& character)
{
    if (character.isEmpty())
        throw std::invalid_argument("HexDigitValue: empty string");
    const QChar c = character.at(0);
    const char16_t u = c.unicode();
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    char32_t cp = u;
    if (c.isHighSurrogate() && character.size() > 1 && character.at(1).isLowSurrogate())
        cp = QChar::surrogateToUcs4(c, character.at(1));
    else if (c.isSurrogate())
        cp = 0xFFFD;
    return static_cast<int>(CharToWindows1252(cp)) - u'0';
}

QString UrlDecode(const QString& text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'+') {
            result += u' ';
        } else if (c == u'%') {
            const QString pair = text.mid(i + 1, 2);
            if (pair == u"2B") {
                result += u' ';
            } else {
                if (pair.size() < 2)
                    return {};
                const int value = 16 * HexDigitValue(pair.left(1)) + HexDigitValue(pair.mid(1));
                if (value < 0 || value > 255)
                    return {};
                result += Windows1252ToChar(static_cast<unsigned char>(value));
            }
            i += 2;
        } else {
            result += c;
        }
    }
    return result;
}

void SplitPostData(const QString& postData, QStringList& names, QStringList& values)
{
    int count = 0;
    qsizetype start = 0;
    qsizetype amp = postData.indexOf(u'&');
    for (;;) {
        if (amp < 0) {
            const QString last = postData.mid(start);
            const qsizetype eq = last.indexOf(u'=');
            if (eq >= 0)
                storePair(last, eq, count, names, values);
            return;
        }
        if (count >= kMaxAmpersandPairs)
            return;
        const QString piece = postData.mid(start, amp - start);
        const qsizetype eq = piece.indexOf(u'=');
        if (eq >= 0) {
            storePair(piece, eq, count, names, values);
            ++count;
        }
        start = amp + 1;
        amp = postData.indexOf(u'&', start);
    }
}

QString EncodePostData(const QList<std::pair<QString, QString>>& fields)
{
    QString out;
    for (const auto& [name, value] : fields) {
        if (!out.isEmpty())
            out += u'&';
        out += encodePostText(name) + u'=' + encodePostText(value);
    }
    return out;
}

} // namespace brackenly
