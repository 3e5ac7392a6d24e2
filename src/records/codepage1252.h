#pragma once

#include <QByteArray>
#include <QString>

namespace brackenly {

// Windows-1252, the single-byte code page of session files, settings files and of the
// bytes UrlDecode produces. Every byte decodes to one character and encodes back to the
// same byte: the five bytes the code page leaves undefined map to U+0081, U+008D, U+008F,
// U+0090 and U+009D.

// The character of one byte.
QChar Windows1252ToChar(unsigned char byte);

// The byte of one code point, or '?' when the code page has no such character.
unsigned char CharToWindows1252(char32_t codePoint);

QString DecodeWindows1252(const QByteArray& bytes);

// A character outside the code page becomes one '?' (a surrogate pair is one character).
QByteArray EncodeWindows1252(const QString& text);

} // namespace brackenly
