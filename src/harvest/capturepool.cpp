#include "capturepool.h"

#include "frmcapture.h"
#include "harvesthost.h"
#include "harvestrules.h"
#include "runsaver.h"

#include <QTimer>

namespace brackenly {

CapturePool::CapturePool(const Services& services, HarvestHost* firstWindow, RunSaver* run,
                         frmCapture* first, int jobs, std::function<bool()> running,
                         QObject* parent)
    : QObject(parent), services_(services), firstWindow_(firstWindow), run_(run), jobs_(jobs),
      running_(std::move(running))
{
    addSlot(first);
}

CapturePool::~CapturePool()
{
    closeWindows();
    qDeleteAll(slots_);
}

void CapturePool::close()
{
    closeWindows();
    deleteLater();
}

void CapturePool::closeWindows()
{
    for (Slot* slot : std::as_const(slots_)) {
        // A save of its own may be on the stack below.
        if (slot->made && slot->window) {
            slot->window->hide();
            slot->window->deleteLater();
        }
    }
}

CapturePool::Slot* CapturePool::addSlot(frmCapture* window)
{
    auto* slot = new Slot;
    slots_.append(slot);
    slot->settle = new QTimer(this);
    slot->settle->setSingleShot(true);
    slot->settle->setTimerType(Qt::PreciseTimer);
    slot->settle->setInterval(10);
    slot->timeOut = new QTimer(this);
    slot->timeOut->setSingleShot(true);
    slot->timeOut->setTimerType(Qt::PreciseTimer);
    connect(slot->settle, &QTimer::timeout, this, [this, slot] {
        slot->ready = true;
        saveInTurn();
    });
    connect(slot->timeOut, &QTimer::timeout, this, [this, slot] { hold(slot); });
    setWindow(slot, window);
    return slot;
}

void CapturePool::setWindow(Slot* slot, frmCapture* window)
{
    slot->made = !window;
    if (!window) {
        window = new frmCapture(services_, firstWindow_);
        window->setRun(run_);
        // Laid like cards from the first one.
        if (frmCapture* first = slots_.constFirst()->window)
            window->move(first->pos() + QPoint(24, 24) * int(slots_.indexOf(slot)));
        window->show();
    }
    slot->window = window;
    connect(window, &frmCapture::pageReported, this, [this, slot] {
        if (slot->state == Slot::State::Loading)
            hold(slot);
    });
}

void CapturePool::add(const QString& url)
{
    queue_.append(url);
    dispatch();
}

bool CapturePool::busy() const
{
    if (!queue_.isEmpty() || saving_)
        return true;
    for (const Slot* slot : slots_) {
        if (slot->state != Slot::State::Idle)
            return true;
    }
    return false;
}

void CapturePool::dispatch()
{
    const QPointer<CapturePool> self(this);
    while (self && !queue_.isEmpty() && running_()) {
        Slot* free = nullptr;
        for (Slot* slot : std::as_const(slots_)) {
            if (slot->state == Slot::State::Idle) {
                free = slot;
                break;
            }
        }
        if (!free && slots_.size() < jobs_)
            free = addSlot(nullptr);
        if (!free)
            return;
        if (!free->window) // closed meanwhile
            setWindow(free, nullptr);
        // A free window holds no page: it loads at once.
        if (takeLink(free))
            load(free, free->seq);
    }
}

bool CapturePool::takeLink(Slot* slot)
{
    while (!queue_.isEmpty() && running_()) {
        const QString url = queue_.takeFirst();
        if (!ShouldLoadCaptureAddress(url)) {
            const QPointer<CapturePool> self(this);
            Q_EMIT linkDone();
            if (!self)
                return false;
            continue;
        }
        slot->url = url;
        slot->seq = nextSeq_++;
        slot->state = Slot::State::Loading;
        slot->ready = false;
        slot->timeOut->start(services_.captureTimeoutMs);
        return true;
    }
    return false;
}

void CapturePool::load(Slot* slot, int seq)
{
    // The link's time may have run out meanwhile, or the run ended.
    if (slot->state != Slot::State::Loading || slot->seq != seq || !slot->window || !running_())
        return;
    try {
        slot->window->loadOwnLink(slot->url);
    } catch (const std::exception&) {
        // The link waits for its time-out.
    }
}

void CapturePool::hold(Slot* slot)
{
    if (slot->state != Slot::State::Loading)
        return;
    if (slot->window)
        slot->window->abandonLink();
    slot->timeOut->stop();
    slot->state = Slot::State::Held;
    slot->settle->start();
    const QPointer<CapturePool> self(this);
    Q_EMIT linkDone();
    if (self)
        dispatch();
}

void CapturePool::saveInTurn()
{
    const QPointer<CapturePool> self(this);
    while (self && !saving_) {
        Slot* turn = nullptr;
        for (Slot* slot : std::as_const(slots_)) {
            if (slot->state == Slot::State::Held && slot->seq == nextSave_)
                turn = slot;
        }
        if (!turn || !turn->ready)
            return;
        ++nextSave_;
        turn->state = Slot::State::Idle;
        const QPointer<frmCapture> window = turn->window;
        if (!window) { // closed with its page: a new one takes the next link
            dispatch();
            continue;
        }
        // The window moves on once the downloader holds its page's bytes.
        const bool next = takeLink(turn);
        if (!self)
            return;
        const int seq = turn->seq;
        saving_ = true;
        window->SaveCapturedImages([self, turn, seq, next] {
            if (self && next)
                self->load(turn, seq);
        });
        if (!self)
            return;
        saving_ = false;
        dispatch();
    }
}

bool CapturePool::saveCaptured()
{
    const QPointer<CapturePool> self(this);
    for (int i = 0; self && i < slots_.size(); ++i) {
        if (const QPointer<frmCapture> window = slots_.at(i)->window)
            window->SaveCapturedImages();
    }
    return !self.isNull();
}

} // namespace brackenly
