#pragma once

#include "services.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QTimer;

namespace brackenly {

class HarvestHost;
class RunSaver;
class frmCapture;

// The capture windows of a run that follows links several at a time (--jobs). A free window
// loads the next link within the link's own Timer3; a loaded page waits its Timer2 (10 ms,
// for the bytes it pushes after its load event) and then its turn: pages are saved one at a
// time, in the order of their links, so every image is saved once and the rows say what one
// window would have said. A window whose page is saved moves on to the next link as soon as
// the downloader holds that page's bytes. Driven by the windows' events with no wait of its
// own: the run waits while busy().
class CapturePool : public QObject
{
    Q_OBJECT
public:
    // `first` serves as the first window; up to jobs - 1 more are made as links queue up.
    // `running` tells whether the run goes on.
    CapturePool(const Services& services, HarvestHost* firstWindow, RunSaver* run,
                frmCapture* first, int jobs, std::function<bool()> running,
                QObject* parent = nullptr);
    ~CapturePool() override;

    void add(const QString& url);
    // Links queued, loading or waiting to be saved.
    bool busy() const;
    // Saves the pages every window captured so far; false when this pool died meanwhile.
    bool saveCaptured();
    // Closes the windows made here (the first one is the caller's) and goes; it may be on
    // the stack below.
    void close();

Q_SIGNALS:
    // A link's page was captured, its time ran out, or it is not to be loaded.
    void linkDone();

private:
    struct Slot
    {
        QPointer<frmCapture> window;
        QTimer* settle = nullptr;  // Timer2
        QTimer* timeOut = nullptr; // Timer3
        QString url;
        int seq = -1; // the link's place in the order of links
        enum class State
        {
            Idle,
            Loading,
            Held
        } state = State::Idle;
        bool ready = false; // held and settled
        bool made = false;  // made here, closed with the pool
    };

    // A slot with `window`, or with a new window when null.
    Slot* addSlot(frmCapture* window);
    void setWindow(Slot* slot, frmCapture* window);
    void closeWindows();
    void dispatch();
    // Takes the next loadable link up in `slot`; false when none is left.
    bool takeLink(Slot* slot);
    void load(Slot* slot, int seq);
    void hold(Slot* slot);
    // Saves the held pages whose turn has come.
    void saveInTurn();

    Services services_;
    QPointer<HarvestHost> firstWindow_;
    QPointer<RunSaver> run_;
    int jobs_;
    std::function<bool()> running_;
    QList<Slot*> slots_;
    QStringList queue_;
    int nextSeq_ = 0;
    int nextSave_ = 0;
    bool saving_ = false;
};

} // namespace brackenly
