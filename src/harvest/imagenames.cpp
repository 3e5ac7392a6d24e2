#include "imagenames.h"

#include <QDir>

namespace brackenly {

QString GetFileName(const QString& strUrl)
{
    const qsizetype slash = strUrl.lastIndexOf(QLatin1Char('/'));
    QString name = slash < 0 ? strUrl : strUrl.mid(slash + 1);
    const qsizetype query = name.indexOf(QLatin1Char('?'));
    if (query >= 0) {
        name = name.mid(query + 1);
        name.replace(QLatin1Char('='), QLatin1Char('_'));
        name += QLatin1String(".jpg");
    }
    return name;
}

bool IsSafeImageFileName(const QString& name)
{
    // A leading dot hides the file and covers "." and ".." (".bashrc", ".desktop" tricks); a
    // leading dash reads as an option to a command run over the folder (`tar cf x.tar *`).
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('-')))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return name.toUtf8().size() <= 255;
}

QString ImageFilePath(const QString& folder, const QString& src)
{
    // An empty folder would put the file at the root of the file system.
    if (folder.isEmpty())
        return {};
    const QString name = GetFileName(src);
    if (!IsSafeImageFileName(name))
        return {};
    return folder + QDir::separator() + name;
}

} // namespace brackenly
