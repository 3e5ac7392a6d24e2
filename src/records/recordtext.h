#pragma once

#include <QString>
#include <QStringList>

namespace brackenly {

// The key of a record's list item: the address in lower case, cut before its first '?'.
QString MakeRecordKey(const QString& url);

// The stem of a record's session file: the address from its 8th character on, every
// character but an ASCII letter or digit turned into '_'. May be empty.
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

} // namespace brackenly
