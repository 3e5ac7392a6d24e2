#include "runsaver.h"

#include "imagedownload.h"
#include "imagedownloader.h"

#include <QFileInfo>
#include <QLocale>

namespace brackenly {

RunSaver::RunSaver(ImageDownloader* downloader, int fileBudget, qint64 byteBudget, QObject* parent)
    : QObject(parent), downloader_(downloader), fileBudget_(fileBudget), byteBudget_(byteBudget)
{
}

ImageOutcome RunSaver::save(const QString& src, const QString& path, Browser* page)
{
    const ImageOutcome budgetOut{.src = src,
                                 .status = ImageOutcome::Status::Skipped,
                                 .reason = QStringLiteral("the run's budget is spent")};
    if (spent_)
        return budgetOut;
    if (auto unneeded = UnneededDownload(src, path))
        return *unneeded; // costs nothing, spends nothing
    if (files_ >= fileBudget_ || bytes_ >= byteBudget_) {
        spent_ = true;
        Q_EMIT budgetSpent();
        return budgetOut;
    }
    const QPointer<RunSaver> self(this);
    inFlight_.append(path);
    const ImageOutcome outcome = DownloadImageOutcome(downloader_, src, path, page);
    if (!self)
        return outcome;
    inFlight_.removeOne(path);
    if (outcome.status == ImageOutcome::Status::Saved) {
        ++files_;
        bytes_ += QFileInfo(path).size();
    }
    return outcome;
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
