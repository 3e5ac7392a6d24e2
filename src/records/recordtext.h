#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace brackenly {

// The key of a record's list item: the address in lower case, cut before its first '?'.
QString MakeRecordKey(const QString& url);

// The stem of a record's session file: the address from its 8th character on, every
// character but an ASCII letter or digit turned into '_', cut to kMaxSessionStem characters.
// May be empty.
inline constexpr qsizetype kMaxSessionStem = 200;
QString MakeSessionFileName(const QString& url);

// The value of one hexadecimal digit, taken from the character's Windows-1252 code, so
// characters that are not digits give values outside 0..15 ('G' 23, ' ' -16).
// Only the first character counts. Throws std::invalid_argument for an empty string.
int HexDigitValue(const QString& character);

// Decodes '+' and %XX escapes; each escape gives one Windows-1252 character.
// A truncated escape or one whose value lies outside 0..255 makes the whole result "".
QString UrlDecode(const QString& text);

// Splits "name=value&name=value..." into the two lists, names and values still encoded.
// At most 60 pairs are taken from pieces ended by '&', plus the last piece. Both lists are
// resized to the number of pairs found; when none is found they are left as they were.
void SplitPostData(const QString& postData, QStringList& names, QStringList& values);

// The inverse of SplitPostData and UrlDecode: "name=value" pairs joined by '&', each
// character as its Windows-1252 byte, '+' for a blank, %XX for every byte but an ASCII
// letter, digit or "*-._". A character outside the code page is stored as '?'.
QString EncodePostData(const QList<std::pair<QString, QString>>& fields);

} // namespace brackenly
