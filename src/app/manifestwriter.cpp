#include "manifestwriter.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace brackenly {

namespace {

QString statusText(ImageOutcome::Status status)
{
    switch (status) {
    case ImageOutcome::Status::Saved:
        return QStringLiteral("saved");
    case ImageOutcome::Status::Exists:
        return QStringLiteral("exists");
    case ImageOutcome::Status::Skipped:
        return QStringLiteral("skipped");
    case ImageOutcome::Status::Failed:
        break;
    }
    return QStringLiteral("failed");
}

} // namespace

ManifestWriter::ManifestWriter(const QString& path) : file_(path) {}

QString ManifestWriter::open()
{
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return file_.errorString();
    return {};
}

void ManifestWriter::write(const QString& page, const ImageOutcome& outcome)
{
    const QByteArray line = row(page, outcome) + '\n';
    // Flushed row by row: an interrupted run still leaves the rows of its files.
    if (file_.write(line) != line.size() || !file_.flush())
        failed_ = true;
}

QString ManifestWriter::close()
{
    const QString error = failed_ ? file_.errorString() : QString();
    file_.close();
    return failed_ && error.isEmpty() ? QStringLiteral("a row was not written") : error;
}

QByteArray ManifestWriter::row(const QString& page, const ImageOutcome& outcome)
{
    QJsonObject object{{QStringLiteral("page"), page},
                       {QStringLiteral("frame"), outcome.frame},
                       {QStringLiteral("via"), outcome.via},
                       {QStringLiteral("src"), outcome.src},
                       {QStringLiteral("status"), statusText(outcome.status)},
                       {QStringLiteral("reason"), outcome.reason}};
    QString file;
    qint64 bytes = 0;
    QString sha256;
    // Only a regular file: reading a FIFO or a device named like the image would never end.
    if (!outcome.file.isEmpty() && QFileInfo(outcome.file).isFile()) {
        QFile saved(outcome.file);
        if (saved.open(QIODevice::ReadOnly)) {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            hash.addData(&saved);
            file = outcome.file;
            bytes = saved.size();
            sha256 = QString::fromLatin1(hash.result().toHex());
        }
    }
    object.insert(QStringLiteral("file"), file);
    object.insert(QStringLiteral("bytes"), bytes);
    object.insert(QStringLiteral("sha256"), sha256);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace brackenly
