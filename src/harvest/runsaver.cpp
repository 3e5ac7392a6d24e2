#include "runsaver.h"

#include "imagedownload.h"
#include "imagedownloader.h"

#include <QFileInfo>

namespace brackenly {

RunSaver::RunSaver(ImageDownloader* downloader, int fileBudget, qint64 byteBudget,
                       QObject* parent)
    : QObject(parent), downloader_(downloader), fileBudget_(fileBudget), byteBudget_(byteBudget)
{
}

bool RunSaver::save(const QString& src, const QString& path, Browser* page)
{
    if (spent_)
        return false;
    if (path.isEmpty() || QFileInfo::exists(path))
        return false; // costs nothing, spends nothing
    if (files_ >= fileBudget_ || bytes_ >= byteBudget_) {
        spent_ = true;
        Q_EMIT budgetSpent();
        return false;
    }
    const QPointer<RunSaver> self(this);
    inFlight_.append(path);
    const bool stored = DownloadImageOnce(downloader_, src, path, page);
    if (!self)
        return stored;
    inFlight_.removeOne(path);
    if (stored) {
        ++files_;
        bytes_ += QFileInfo(path).size();
    }
    return stored;
}

void RunSaver::abortDownloads()
{
    if (!downloader_)
        return;
    for (const QString& path : QStringList(inFlight_))
        downloader_->abort(path);
}

} // namespace brackenly
