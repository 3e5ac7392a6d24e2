#pragma once

#include "commandline.h"
#include "harvestobserver.h"

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <memory>

namespace brackenly {

class BrowserApp;
class CommandLinePrompt;
class ManifestWriter;
class frmBrowser;

// --save-images: loads the page in the first window, which nobody sees, runs that window's
// image-saving run on it ("S A V E    I M A G E"), writes the manifest and ends the program.
class CommandLineRun : public QObject, public HarvestObserver
{
    Q_OBJECT
public:
    CommandLineRun(BrowserApp& app, CommandLinePrompt& prompt, CommandLine options);
    ~CommandLineRun() override;

    // Runs the program's event loop until the run has ended; the exit code.
    int exec();

    void imageMet(const ImageOutcome& outcome) override;

private:
    // 0, or the exit code after printing why it failed.
    int run();
    // Empty when the page loaded, else why not.
    QString loadPage();
    QString useFolder(const QString& folder);
    // Removes the folders useFolder made, if they are still empty.
    void removeMadeFolders();
    int fail(const QString& line, int code = 1);
    // SIGINT or SIGTERM: the run stops as a stop click stops it, and the program ends.
    void stop(int signal);
    void showProgress(bool last);

    BrowserApp& app_;
    CommandLinePrompt& prompt_;
    CommandLine options_;
    QPointer<frmBrowser> window_;
    QPointer<QEventLoop> loading_;
    std::unique_ptr<ManifestWriter> manifest_;
    QString page_;
    QStringList madeFolders_;      // by useFolder, deepest first
    bool progress_ = false;        // stderr is a terminal
    int stoppedBy_ = 0;            // the signal that stopped the run
    int counts_[4] = {0, 0, 0, 0}; // by ImageOutcome::Status
};

} // namespace brackenly
