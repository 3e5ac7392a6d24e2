#pragma once

#include "record.h"

#include <QString>

class QFileInfo;

namespace brackenly {

// Session and settings files: a fixed XML-like layout in Windows-1252 with CR LF line
// ends, values inserted unescaped, read back by plain text search.

// Files larger than this are treated as unreadable so a stray huge file cannot stall a load.
inline constexpr qint64 kMaxTextFileBytes = 4 * 1024 * 1024;

inline const QString kSessionFolderName = QStringLiteral("session");
inline const QString kSettingsType = QStringLiteral("Home");

// The preferences kept in the settings file.
struct Settings
{
    QString home;
    QString imageFolder;
};

// The ten lines of a session file joined by CR LF, no line end after the last.
QString BuildRecordXml(const Record& record);

// The six lines of the settings file joined by CR LF, no line end after the last.
QString BuildSettingsXml(const Settings& settings);
// The settings a file of Type "Home" holds (any such file of the session folder counts).
Settings ParseSettingsXml(const QString& text);

// The size of the file WriteTextFile makes of the text.
qint64 TextFileBytes(const QString& text);

// Writes the text and a final CR LF in Windows-1252, readable and writable by the owner
// only. The file is replaced atomically: a temporary file in the same folder is renamed over
// the old one, so a failed write leaves the old content. A symbolic link at the path is
// replaced, never written through. Returns false when nothing was written, also when the
// file would be larger than kMaxTextFileBytes (it could not be read back).
bool WriteTextFile(const QString& path, const QString& text);

// Reads a whole regular file as Windows-1252. False (and text untouched) when the file
// cannot be opened or read, is not a regular file, or is larger than kMaxTextFileBytes.
bool ReadTextFile(const QString& path, QString& text);
// The same for a file already looked at (a directory listing's entry): spares a lookup.
bool ReadTextFile(const QFileInfo& info, QString& text);

// The text between the first start tag "<name>" and the first end tag "</name>" after it,
// both found without regard to letter case; "" when either is missing.
QString GetTagValue(const QString& text, const QString& name);

// Fills the record from the text. An empty Type reads as "Form"; a Type of exactly "Home"
// leaves the other six fields untouched.
void ParseRecordXml(const QString& text, Record& record);

// folder + separator + name, with the platform's separator.
QString JoinPath(const QString& folder, const QString& name);
QString SessionFolderPath(const QString& programFolder);
// The one settings file, which the Preference operation writes.
QString SettingsFilePath(const QString& sessionPath);
QString SessionFilePath(const QString& sessionPath, const QString& url);

// True when the file reads as a record (not the settings) whose address has that key.
bool HoldsRecordOf(const QString& path, const QString& key);

// Where a record of the address is saved: SessionFilePath, unless something else is there
// (a record of another key, the settings, a folder...); then the first of "<name>-2.xml",
// "<name>-3.xml"... that is free or holds a record of the same key. "" when none is.
inline constexpr int kMaxSessionFileNumber = 1000;
QString FreeSessionFilePath(const QString& sessionPath, const QString& url);

} // namespace brackenly
