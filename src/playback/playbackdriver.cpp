#include "playbackdriver.h"

#include "formfiller.h"
#include "formtext.h"
#include "playbackhost.h"
#include "prompt.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace brackenly {

namespace {

const QLatin1String kFormType("Form");

} // namespace

PlaybackDriver::PlaybackDriver(PlaybackHost& host, const FillModeActions& actions, QObject* parent)
    : QObject(parent), host_(host), mnuPromptFill_(actions.mnuPromptFill),
      mnuManualClick_(actions.mnuManualClick), mnuAutoClick_(actions.mnuAutoClick),
      mnuNoFill_(actions.mnuNoFill)
{
    connectItem(actions.mnuPromptFill, Item::PromptFill);
    connectItem(actions.mnuManualClick, Item::ManualClick);
    connectItem(actions.mnuAutoClick, Item::AutoClick);
    connectItem(actions.mnuNoFill, Item::NoFill);
}

void PlaybackDriver::connectItem(QAction* action, Item item)
{
    if (!action)
        return;
    // A checkable action has toggled its mark before triggered: the state before the click
    // is the opposite of what it reports.
    connect(action, &QAction::triggered, this,
            [this, item](bool checkedNow) { click(item, !checkedNow); });
}

void PlaybackDriver::PlaybackStep(const FrameRef& pDisp, const QString& url)
{
    Completion completion{pDisp, url, lastUrl_};
    lastUrl_ = url;
    if (stepping_) {
        waiting_.enqueue(std::move(completion));
        return;
    }
    const QPointer<PlaybackDriver> self(this);
    stepping_ = true;
    std::exception_ptr failure;
    try {
        step(completion, false);
    } catch (...) {
        failure = std::current_exception();
    }
    while (self && !waiting_.isEmpty()) {
        try {
            step(waiting_.dequeue(), true);
        } catch (const std::exception&) {
            // Its own completion was handled long ago: nothing is left to end.
        }
    }
    if (self)
        stepping_ = false;
    if (failure)
        std::rethrow_exception(failure);
}

void PlaybackDriver::step(const Completion& completion, bool waited)
{
    PlaybackHost& host = host_;
    if (host.currentMode() != kPlaybackMode)
        return;
    if (!checked(mnuManualClick_) && !checked(mnuAutoClick_))
        return;
    const QPointer<PlaybackDriver> self(this);
    const QPointer<QWidget> window(host.window());
    for (int i = 0; i < host.permanentRecordCount(); ++i) {
        const Record record = host.permanentRecord(i);
        // Values recorded where no page of their own stood are never offered.
        const bool candidate = record.Type == kFormType &&
                               record.Url.compare(completion.url, Qt::CaseInsensitive) == 0 &&
                               HasOwnOrigin(record.Url);
        if (candidate) {
            const bool chosen = chooses(record, completion, waited);
            if (!self || !window)
                return;
            if (chosen) {
                FormFiller(*this).FillDocument(completion.frame, kFillModeWrite, record.Url,
                                               record.Action, record.Postdata);
                return;
            }
        }
        QCoreApplication::processEvents();
        if (!self || !window)
            return;
    }
}

bool PlaybackDriver::chooses(const Record& record, const Completion& completion, bool waited)
{
    PlaybackHost& host = host_;
    // The same address twice in a row is filled on its first completion only.
    const QString last = waited ? completion.previousUrl : host.lastCompletedUrl();
    if (completion.url.compare(last, Qt::CaseInsensitive) == 0)
        return false;
    if (!checked(mnuPromptFill_))
        return true;
    const PromptAnswer answer =
        host.prompt().ask(host.window(), kAutoFillText, QStringLiteral("Session=") + record.Session,
                          PromptButtons::OkCancel);
    return answer == PromptAnswer::Ok;
}

void PlaybackDriver::cmdFill_Click()
{
    PlaybackHost& host = host_;
    try {
        const QPointer<QWidget> window(host.window());
        const std::optional<Record> record = host.selectedRecord();
        if (!record) {
            host.prompt().ask(host.window(), kSelectRecordFirstText, QString(), PromptButtons::Ok);
            return;
        }
        const QString question = record->Type == kFormType ? kGoToFormText : kGoToAddressText;
        const PromptAnswer answer =
            host.prompt().ask(host.window(), question, QStringLiteral("Address: ") + record->Url,
                              PromptButtons::YesNo);
        if (answer == PromptAnswer::Yes && window && HasOwnOrigin(record->Url))
            host.goTo(record->Url);
    } catch (const std::exception&) {
        // A click handler ends quietly.
    }
}

void PlaybackDriver::mnuAutoClick_Click()
{
    click(Item::AutoClick, checked(mnuAutoClick_));
}

void PlaybackDriver::mnuManualClick_Click()
{
    click(Item::ManualClick, checked(mnuManualClick_));
}

void PlaybackDriver::mnuNoFill_Click()
{
    click(Item::NoFill, checked(mnuNoFill_));
}

void PlaybackDriver::mnuPromptFill_Click()
{
    click(Item::PromptFill, checked(mnuPromptFill_));
}

// Every mark is set explicitly, so the result does not depend on how the click arrived.
void PlaybackDriver::click(Item item, bool wasChecked)
{
    switch (item) {
    case Item::PromptFill:
        if (mnuPromptFill_)
            mnuPromptFill_->setChecked(!wasChecked);
        break;
    case Item::AutoClick:
        // Unchecking Auto Click hands over to Manual Click.
        setMarks(wasChecked, !wasChecked, false);
        break;
    case Item::ManualClick:
        setMarks(!wasChecked, wasChecked, false);
        break;
    case Item::NoFill:
        if (!wasChecked) {
            setMarks(false, false, true);
        } else {
            // Leaving No Fill acts as a click on Manual Click, as it stands now.
            if (mnuNoFill_)
                mnuNoFill_->setChecked(false);
            click(Item::ManualClick, checked(mnuManualClick_));
        }
        break;
    }
}

void PlaybackDriver::setMarks(bool manual, bool autoClick, bool noFill)
{
    if (mnuManualClick_)
        mnuManualClick_->setChecked(manual);
    if (mnuAutoClick_)
        mnuAutoClick_->setChecked(autoClick);
    if (mnuNoFill_)
        mnuNoFill_->setChecked(noFill);
}

bool PlaybackDriver::checked(const QPointer<QAction>& action)
{
    return action && action->isChecked();
}

QWidget* PlaybackDriver::window()
{
    return host_.window();
}

bool PlaybackDriver::autoClickChecked()
{
    return checked(mnuAutoClick_);
}

void PlaybackDriver::setStatusText(const QString& text)
{
    host_.setStatusText(text);
}

} // namespace brackenly
