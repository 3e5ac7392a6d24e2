#include "commandlinerun.h"

#include "browserapp.h"
#include "browsermenus.h"
#include "commandlineprompt.h"
#include "frmbrowser.h"
#include "imageharvester.h"
#include "manifestwriter.h"
#include "terminationsignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace brackenly {

namespace {

void printLine(const QString& line)
{
    std::fputs(qPrintable(QString(line + u'\n')), stderr);
    std::fflush(stderr);
}

QString stoppedText(int signal)
{
    return QStringLiteral("Stopped by %1; the images saved so far are kept.")
        .arg(signal == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"));
}

} // namespace

CommandLineRun::CommandLineRun(BrowserApp& app, CommandLinePrompt& prompt, CommandLine options)
    : app_(app), prompt_(prompt), options_(std::move(options)),
      progress_(isatty(fileno(stderr)) != 0)
{
}

CommandLineRun::~CommandLineRun() = default;

int CommandLineRun::exec()
{
    int code = 1;
    TerminationSignals termination;
    connect(&termination, &TerminationSignals::received, this, &CommandLineRun::stop);
    QTimer::singleShot(0, this, [this, &code] {
        code = run();
        // As Exit does, without its questions: every window goes with the program.
        for (frmBrowser* w : app_.windows())
            w->hide();
        QCoreApplication::exit(code);
    });
    QCoreApplication::exec();
    return code;
}

int CommandLineRun::run()
{
    window_ = app_.startFirstWindow();
    const QString loadError = loadPage();
    if (stoppedBy_ > 0)
        return fail(stoppedText(stoppedBy_), 128 + stoppedBy_);
    if (!loadError.isEmpty())
        return fail(
            QStringLiteral("The address %1 did not load: %2.").arg(options_.url, loadError));
    if (!window_)
        return fail(QStringLiteral("The window closed before the run."));
    const QString folder = options_.imageFolder.isEmpty()
                               ? window_->gstrSaveFolder
                               : QDir(options_.imageFolder).absolutePath();
    if (const QString error = useFolder(folder); !error.isEmpty())
        return fail(QStringLiteral("The image folder %1 cannot be used: %2.")
                        .arg(QDir::toNativeSeparators(folder), error));
    window_->gstrSaveFolder = folder;
    if (!options_.manifest.isEmpty()) {
        manifest_ = std::make_unique<ManifestWriter>(options_.manifest);
        if (const QString error = manifest_->open(); !error.isEmpty()) {
            removeMadeFolders(); // a refused run leaves nothing behind
            return fail(QStringLiteral("The manifest %1 cannot be written: %2.")
                            .arg(QDir::toNativeSeparators(options_.manifest), error));
        }
    }
    page_ = window_->LastCompletedUrl.isEmpty() ? options_.url : window_->LastCompletedUrl;

    prompt_.takeLast();
    window_->harvestRun.observer = this;
    window_->menus()->mnuModernImages->setChecked(options_.modernImages);
    window_->harvester()->setJobs(options_.jobs);
    window_->harvester()->mnuSaveImage_Click();
    if (window_)
        window_->harvestRun.observer = nullptr;
    if (progress_)
        showProgress(true);
    // A refusing folder ends the run early; the harvest says why through a message box.
    const QString told = prompt_.takeLast();
    const QString manifestError = manifest_ ? manifest_->close() : QString();
    if (stoppedBy_ > 0)
        return fail(stoppedText(stoppedBy_), 128 + stoppedBy_);
    if (!told.isEmpty())
        return fail(told);
    if (!manifestError.isEmpty())
        return fail(QStringLiteral("The manifest %1 was not written whole: %2.")
                        .arg(QDir::toNativeSeparators(options_.manifest), manifestError));
    return 0;
}

QString CommandLineRun::loadPage()
{
    QEventLoop loop;
    loading_ = &loop;
    QString error;
    Browser* browser = window_->browser();
    // A blank page the new browser shows first is not the one asked for.
    const auto isEarlierBlank = [this](const QString& url) {
        return url == QLatin1String("about:blank") && options_.url != url;
    };
    bool ended = false;
    bool completed = false;
    connect(browser, &Browser::LoadEnded, &loop,
            [&](const QString& url, bool ok, const QString& reason) {
                if (isEarlierBlank(url))
                    return;
                ended = true;
                if (!ok)
                    error = reason.isEmpty() ? QStringLiteral("the load failed") : reason;
                if (!ok || completed)
                    loop.quit();
            });
    // The window handles the completion first (connected earlier): the page is its last one.
    connect(browser, &Browser::DocumentComplete, &loop,
            [&](const FrameRef& frame, const QString& url) {
                if (!frame.isTop() || isEarlierBlank(url))
                    return;
                completed = true;
                if (ended)
                    loop.quit();
            });
    connect(browser, &QObject::destroyed, &loop, [&] {
        error = QStringLiteral("the window closed");
        loop.quit();
    });
    QTimer::singleShot(app_.services().captureTimeoutMs, &loop, [&] {
        error = QStringLiteral("no answer in time");
        loop.quit();
    });
    window_->txtUrl->setText(options_.url);
    window_->cmdPlayback_Click();
    loop.exec();
    return error;
}

QString CommandLineRun::useFolder(const QString& folder)
{
    if (folder.isEmpty())
        return QStringLiteral("no folder is set");
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("it is not a folder");
    // The folders mkpath is about to make, deepest first.
    for (QString path = QDir::cleanPath(folder); !QFileInfo::exists(path);) {
        madeFolders_.append(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    if (!QDir().mkpath(folder)) {
        removeMadeFolders();
        return QStringLiteral("it cannot be made");
    }
    if (!QFileInfo(folder).isWritable())
        return QStringLiteral("it cannot be written");
    return {};
}

void CommandLineRun::removeMadeFolders()
{
    // rmdir leaves a folder that is no longer empty.
    for (const QString& path : std::as_const(madeFolders_))
        QDir().rmdir(path);
    madeFolders_.clear();
}

int CommandLineRun::fail(const QString& line, int code)
{
    printLine(QStringLiteral("brackenly: ") + line);
    return code;
}

void CommandLineRun::stop(int signal)
{
    stoppedBy_ = signal;
    if (loading_)
        loading_->quit();
    // Pages already captured are not saved either: the signal's sender wants the end now.
    if (window_)
        window_->harvester()->stopRun(false);
}

void CommandLineRun::imageMet(const ImageOutcome& outcome)
{
    ++counts_[int(outcome.status)];
    if (manifest_)
        manifest_->write(page_, outcome);
    if (progress_)
        showProgress(false);
}

void CommandLineRun::showProgress(bool last)
{
    const QString line = QStringLiteral("\r%1 saved, %2 there already, %3 skipped, %4 failed")
                             .arg(counts_[int(ImageOutcome::Status::Saved)])
                             .arg(counts_[int(ImageOutcome::Status::Exists)])
                             .arg(counts_[int(ImageOutcome::Status::Skipped)])
                             .arg(counts_[int(ImageOutcome::Status::Failed)]);
    std::fputs(qPrintable(last ? QString(line + u'\n') : line), stderr);
    std::fflush(stderr);
}

} // namespace brackenly
