#pragma once

#include "harvestobserver.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

namespace brackenly {

class Browser;
class ImageDownloader;

// One image-saving run as everything that saves for it sees it: the main window, its
// capture window and the capture pop-ups it opened. It counts what the run stored against
// the run's budget, knows the run's downloads in progress (a stop aborts them) and whether
// the run still goes on. Windows that outlive the run hold it by QPointer.
class RunSaver : public QObject
{
    Q_OBJECT
public:
    RunSaver(ImageDownloader* downloader, int fileBudget, qint64 byteBudget,
             QObject* parent = nullptr);

    // Downloads src into path for this run (DownloadImageOnce) and says what became of it;
    // a path this run saved for another image is "skipped", not "exists".
    // Stores nothing once the budget is spent; the first save asked for past it spends it
    // (budgetSpent). Frame and via are left to the caller.
    ImageOutcome save(const QString& src, const QString& path, Browser* page);
    // With modern image sources: a saved image of 1x1 pixels is a placeholder (a spacer under
    // a srcset, a lazy loader's stand-in), removed and reported skipped.
    void setDropPlaceholders(bool drop) { dropPlaceholders_ = drop; }
    // Ends the run's downloads in progress; they store nothing.
    void abortDownloads();
    // Ends them, and every save asked for from now on stores nothing and is skipped for
    // `reason`: a run stopped from outside, or by a folder that refuses files, keeps no page
    // waiting for its turn either.
    void stopSaving(const QString& reason = QStringLiteral("the run was stopped"));
    // The run has ended (its pages may still be saved, its pop-ups save nothing more).
    void end() { ended_ = true; }
    bool inProgress() const { return !ended_ && !spent_; }
    bool spent() const { return spent_; }

    int files() const { return files_; }
    qint64 bytes() const { return bytes_; }
    int fileBudget() const { return fileBudget_; }
    qint64 byteBudget() const { return byteBudget_; }
    // What the user is told when the budget stopped the run.
    QString budgetText() const;

Q_SIGNALS:
    void budgetSpent();

private:
    ImageDownloader* downloader_;
    int fileBudget_;
    qint64 byteBudget_;
    int files_ = 0;
    qint64 bytes_ = 0;
    bool spent_ = false;
    bool ended_ = false;
    QStringList inFlight_;
    QHash<QString, QString> savedFor_; // file path -> the image this run saved there
    bool dropPlaceholders_ = false;
    QSet<QString> placeholders_; // addresses of placeholders this run dropped
    QString stoppedBecause_;     // set once saving stopped
};

} // namespace brackenly
