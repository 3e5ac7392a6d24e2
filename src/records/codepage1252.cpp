#include "codepage1252.h"

#include <QHash>

namespace brackenly {

namespace {

// 0x80..0x9F; the undefined bytes keep their own value so they survive a round trip.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const QHash<char32_t, unsigned char>& reverseTable()
{
    static const QHash<char32_t, unsigned char> table = [] {
        QHash<char32_t, unsigned char> t;
        for (int i = 0; i < 32; ++i)
            t.insert(kHighControls[i], static_cast<unsigned char>(0x80 + i));
        return t;
    }();
    return table;
}

} // namespace

QChar Windows1252ToChar(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(kHighControls[byte - 0x80]);
    return QChar(static_cast<char16_t>(byte));
}

unsigned char CharToWindows1252(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    const auto& table = reverseTable();
    const auto it = table.constFind(codePoint);
    return it == table.constEnd() ? '?' : *it;
}

QString DecodeWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes)
        *out++ = Windows1252ToChar(static_cast<unsigned char>(c));
    return text;
}

QByteArray EncodeWindows1252(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(u, text.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(u)) {
            cp = 0xFFFD; // a lone half of a pair is no character at all
        }
        bytes.append(static_cast<char>(CharToWindows1252(cp)));
    }
    return bytes;
}

} // namespace brackenly
