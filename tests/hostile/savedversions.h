#pragma once

#include "record.h"
#include "recordfile.h"

#include <QString>

// The two versions the saving loop writes in turn, shared by the loop and the test that
// kills it. Large enough that a kill often lands in the middle of a write.
namespace brackenly::savedversions {

inline QString filePath(const QString& kind, const QString& programFolder)
{
    const QString session = SessionFolderPath(programFolder);
    return kind == QLatin1String("settings")
               ? SettingsFilePath(session)
               : SessionFilePath(session, QStringLiteral("http://site/form.cgi"));
}

inline QString text(const QString& kind, int version)
{
    const QString filler = QString(64 * 1024, QChar(version ? u'b' : u'a'));
    if (kind == QLatin1String("settings"))
        return BuildSettingsXml(
            {QStringLiteral("http://home/") + filler, QStringLiteral("/images/v%1").arg(version)});
    Record r;
    r.Type = QStringLiteral("Form");
    r.Session = QStringLiteral("Version %1").arg(version);
    r.Url = QStringLiteral("http://site/form.cgi");
    r.Postdata = QStringLiteral("q=") + filler;
    return BuildRecordXml(r);
}

} // namespace brackenly::savedversions
