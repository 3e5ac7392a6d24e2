#pragma once

// Shared by the fuzz targets: turning the fuzzer's bytes into text and reporting a broken
// property so that libFuzzer keeps the input that broke it.

#include <QChar>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace brackenly::fuzz {

// Text in a heap block of exactly its length. QString's own blocks have spare room and a
// terminating NUL, so a read past the end would go unnoticed; here the address sanitizer
// reports it.
class ExactText
{
public:
    explicit ExactText(const QString& text)
        : chars_(std::make_unique<QChar[]>(std::size_t(text.size())))
    {
        std::copy(text.cbegin(), text.cend(), chars_.get());
        view_ = QString::fromRawData(chars_.get(), text.size());
    }
    ExactText(const ExactText&) = delete;
    ExactText& operator=(const ExactText&) = delete;

    const QString& str() const { return view_; }

private:
    std::unique_ptr<QChar[]> chars_;
    QString view_;
};

// The input as count texts: the first count - 1 end at a NUL byte, the last takes the rest
// (NUL bytes included). Each is read as UTF-8; missing ones are "".
inline QStringList InputTexts(const std::uint8_t* data, std::size_t size, int count)
{
    QStringList texts;
    const char* at = reinterpret_cast<const char*>(data);
    const char* end = at + size;
    for (int i = 0; i < count; ++i) {
        const char* stop = i + 1 < count ? std::find(at, end, '\0') : end;
        texts << QString::fromUtf8(at, stop - at);
        at = stop == end ? end : stop + 1;
    }
    return texts;
}

// Quoted with C escapes for the report: a broken property must show its exact text.
inline QByteArray Quote(const QString& text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '"' || c == '\\')
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out + '"';
}

[[noreturn]] inline void Fail(const char* property, const QString& detail)
{
    std::fprintf(stderr, "Property broken: %s\n  %s\n", property, Quote(detail).constData());
    std::abort();
}

} // namespace brackenly::fuzz

// Aborts with the property's text; libFuzzer saves the input as a crash artifact.
#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::brackenly::fuzz::Fail(#condition, (detail));                                         \
    } while (false)
