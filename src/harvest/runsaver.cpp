#include "runsaver.h"

#include "imagedownload.h"
#include "imagedownloader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>

namespace brackenly {

RunSaver::RunSaver(ImageDownloader* downloader, int fileBudget, qint64 byteBudget, QObject* parent)
    : QObject(parent), downloader_(downloader), fileBudget_(fileBudget), byteBudget_(byteBudget)
{
}

ImageOutcome RunSaver::save(const QString& src, const QString& path, Browser* page)
{
    const auto skipped = [&src](const QString& reason) {
        ImageOutcome outcome; // Skipped
        outcome.src = src;
        outcome.reason = reason;
        return outcome;
    };
    const QString budgetOut = QStringLiteral("the run's budget is spent");
    const QString placeholder = QStringLiteral("a placeholder of 1x1 pixels");
    if (spent_)
        return skipped(budgetOut);
    if (!stoppedBecause_.isEmpty())
        return skipped(stoppedBecause_);
    if (placeholders_.contains(src))
        return skipped(placeholder);
    if (auto unneeded = UnneededDownload(src, path)) {
        // Another image of this run took the name: its file is not this one's.
        const QString owner = savedFor_.value(path, src);
        return owner == src ? *unneeded // costs nothing, spends nothing
                            : skipped(QStringLiteral("its file name is taken by ") + owner);
    }
    if (files_ >= fileBudget_ || bytes_ >= byteBudget_) {
        spent_ = true;
        Q_EMIT budgetSpent();
        return skipped(budgetOut);
    }
    const QPointer<RunSaver> self(this);
    inFlight_.append(path);
    const ImageOutcome outcome = DownloadImageOutcome(downloader_, src, path, page);
    if (!self)
        return outcome;
    inFlight_.removeOne(path);
    if (outcome.status == ImageOutcome::Status::Saved && dropPlaceholders_ &&
        QImageReader(path).size() == QSize(1, 1) && QFile::remove(path)) {
        placeholders_.insert(src);
        return skipped(placeholder);
    }
    if (outcome.status == ImageOutcome::Status::Saved) {
        savedFor_.insert(path, src);
        ++files_;
        bytes_ += QFileInfo(path).size();
    }
    return outcome;
}

void RunSaver::stopSaving(const QString& reason)
{
    stoppedBecause_ = reason;
    abortDownloads();
}

void RunSaver::abortDownloads()
{
    if (!downloader_)
        return;
    for (const QString& path : QStringList(inFlight_))
        downloader_->abort(path);
}

QString RunSaver::budgetText() const
{
    const QLocale locale;
    return QStringLiteral("The image-saving run was stopped: one run saves at most %1 files and "
                          "%2, and this one has saved %3 files (%4).")
        .arg(fileBudget_)
        .arg(locale.formattedDataSize(byteBudget_))
        .arg(files_)
        .arg(locale.formattedDataSize(bytes_));
}

} // namespace brackenly
