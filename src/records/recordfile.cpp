#include "recordfile.h"

#include "codepage1252.h"
#include "recordtext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QVarLengthArray>
#include <filesystem>

namespace brackenly {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kXmlDeclaration = QStringLiteral("<?xml version=\"1.0\"?>");
const QString kRootStart = QStringLiteral("<Quillmark>");
const QString kRootEnd = QStringLiteral("</Quillmark>");

QString elementLine(const QString& name, const QString& value)
{
    return QStringLiteral("    <") + name + u'>' + value + QStringLiteral("</") + name + u'>';
}

// A case-insensitive search for a tag, which always begins with '<' (a character without
// case): jump from '<' to '<' and compare the rest folded, as QString's own search would.
// Several times faster than the general search, and a load runs it 14 times per file.
qsizetype findTag(const QString& text, const QString& tag, qsizetype from)
{
    const qsizetype m = tag.size();
    QVarLengthArray<char32_t, 32> folded(m);
    for (qsizetype i = 0; i < m; ++i)
        folded[i] = QChar::toCaseFolded(char32_t(tag.at(i).unicode()));
    const QChar* t = text.constData();
    const qsizetype last = text.size() - m;
    for (qsizetype pos = text.indexOf(u'<', from); pos >= 0 && pos <= last;
         pos = text.indexOf(u'<', pos + 1)) {
        qsizetype i = 1;
        while (i < m && QChar::toCaseFolded(char32_t(t[pos + i].unicode())) == folded[i])
            ++i;
        if (i == m)
            return pos;
    }
    return -1;
}

} // namespace

QString BuildRecordXml(const Record& r)
{
    return kXmlDeclaration + kCrLf + kRootStart + kCrLf                        //
           + elementLine(QStringLiteral("Type"), r.Type) + kCrLf               //
           + elementLine(QStringLiteral("Session"), r.Session) + kCrLf         //
           + elementLine(QStringLiteral("Url"), r.Url) + kCrLf                 //
           + elementLine(QStringLiteral("Action"), r.Action) + kCrLf           //
           + elementLine(QStringLiteral("Postdata"), r.Postdata) + kCrLf       //
           + elementLine(QStringLiteral("Header"), r.Header) + kCrLf           //
           + elementLine(QStringLiteral("Frame"), r.Frame) + kCrLf + kRootEnd; //
}

QString BuildSettingsXml(const Settings& settings)
{
    return kXmlDeclaration + kCrLf + kRootStart + kCrLf                 //
           + elementLine(QStringLiteral("Type"), kSettingsType) + kCrLf //
           + elementLine(QStringLiteral("Home"), settings.home) + kCrLf //
           + elementLine(QStringLiteral("ImageFolder"), settings.imageFolder) + kCrLf + kRootEnd;
}

Settings ParseSettingsXml(const QString& text)
{
    return {GetTagValue(text, QStringLiteral("Home")),
            GetTagValue(text, QStringLiteral("ImageFolder"))};
}

qint64 TextFileBytes(const QString& text)
{
    return EncodeWindows1252(text + kCrLf).size();
}

bool WriteTextFile(const QString& path, const QString& text)
{
    const QByteArray bytes = EncodeWindows1252(text + kCrLf);
    if (bytes.size() > kMaxTextFileBytes)
        return false;
    // The save would write through a symbolic link to wherever it points: replace the link
    // itself instead, and put it back when the save fails, so the old file is still found.
    const std::filesystem::path where(QFile::encodeName(path).toStdString());
    const bool isLink = QFileInfo(path).isSymLink();
    std::error_code error;
    const std::filesystem::path target =
        isLink ? std::filesystem::read_symlink(where, error) : std::filesystem::path();
    if (isLink && (error || !QFile::remove(path)))
        return false;
    QSaveFile file(path);
    const auto fail = [&] {
        file.cancelWriting();
        if (isLink)
            std::filesystem::create_symlink(target, where, error);
        return false;
    };
    // Session files hold passwords: the owner's alone, whatever the old file or umask allowed.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail();
    // commit() does not notice bytes that a full disk refused while it flushes them, and
    // would put the cut-short file in place of the old one: flush and check first.
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail();
    return file.commit() || fail();
}

bool ReadTextFile(const QString& path, QString& text)
{
    return ReadTextFile(QFileInfo(path), text);
}

bool ReadTextFile(const QFileInfo& info, QString& text)
{
    // Only regular files: a FIFO or device named like a session file would block or never end.
    if (!info.isFile() || info.size() > kMaxTextFileBytes)
        return false;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Ask for one byte more than the size seen, so a file that grew since is noticed; never
    // read past the cap.
    QByteArray bytes = file.read(info.size() + 1);
    if (bytes.size() > info.size() && bytes.size() <= kMaxTextFileBytes)
        bytes += file.read(kMaxTextFileBytes + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxTextFileBytes)
        return false;
    text = DecodeWindows1252(bytes);
    return true;
}

QString GetTagValue(const QString& text, const QString& name)
{
    const QString startTag = u'<' + name + u'>';
    const QString endTag = QStringLiteral("</") + name + u'>';
    const qsizetype start = findTag(text, startTag, 0);
    if (start < 0)
        return {};
    const qsizetype end = findTag(text, endTag, start + 1);
    const qsizetype valueStart = start + startTag.size();
    if (end < valueStart)
        return {};
    return text.mid(valueStart, end - valueStart);
}

void ParseRecordXml(const QString& text, Record& r)
{
    r.Type = GetTagValue(text, QStringLiteral("Type"));
    if (r.Type.isEmpty())
        r.Type = QStringLiteral("Form");
    if (r.Type == kSettingsType)
        return;
    r.Session = GetTagValue(text, QStringLiteral("Session"));
    r.Url = GetTagValue(text, QStringLiteral("Url"));
    r.Action = GetTagValue(text, QStringLiteral("Action"));
    r.Postdata = GetTagValue(text, QStringLiteral("Postdata"));
    r.Header = GetTagValue(text, QStringLiteral("Header"));
    r.Frame = GetTagValue(text, QStringLiteral("Frame"));
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder + QDir::separator() + name;
}

QString SessionFolderPath(const QString& programFolder)
{
    return JoinPath(programFolder, kSessionFolderName);
}

QString SettingsFilePath(const QString& sessionPath)
{
    return JoinPath(sessionPath, QStringLiteral("Quillmark.xml"));
}

QString SessionFilePath(const QString& sessionPath, const QString& url)
{
    return JoinPath(sessionPath, MakeSessionFileName(url) + QStringLiteral(".xml"));
}

bool HoldsRecordOf(const QString& path, const QString& key)
{
    QString text;
    if (!ReadTextFile(path, text))
        return false;
    Record record;
    ParseRecordXml(text, record);
    return record.Type.toLower() != QStringLiteral("home") && MakeRecordKey(record.Url) == key;
}

QString FreeSessionFilePath(const QString& sessionPath, const QString& url)
{
    const QString stem = MakeSessionFileName(url);
    const QString key = MakeRecordKey(url);
    for (int n = 1; n <= kMaxSessionFileNumber; ++n) {
        // '-' never occurs in a name made from an address, so a numbered name is nobody's own.
        const QString name = n == 1 ? stem : stem + u'-' + QString::number(n);
        const QString path = JoinPath(sessionPath, name + QStringLiteral(".xml"));
        const QFileInfo info(path);
        if ((!info.exists() && !info.isSymLink()) || HoldsRecordOf(path, key))
            return path;
    }
    return {};
}

} // namespace brackenly
