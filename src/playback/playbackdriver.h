#pragma once

#include "browser.h"
#include "fillhost.h"
#include "fillmodeactions.h"
#include "record.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>

namespace brackenly {

class PlaybackHost;

inline const QString kPlaybackMode = QStringLiteral("Playback");
inline const QString kSelectRecordFirstText =
    QStringLiteral("Please select a record session from the list first!");
inline const QString kGoToFormText = QStringLiteral("Do you want to go to this form?");
inline const QString kGoToAddressText = QStringLiteral("Do you want to go to this address?");
inline const QString kAutoFillText = QStringLiteral("Do you want to auto fill-in this form");

// The main window's playback: going to a selected record, offering each completed page
// whose address a recorded form carries to the fill-in engine, and the fill-mode menu.
class PlaybackDriver : public QObject, private FillHost
{
    Q_OBJECT
public:
    // Routes the menu items' clicks here from now on. The actions are watched (a gone one
    // reads as unchecked); the host must outlive the driver.
    PlaybackDriver(PlaybackHost& host, const FillModeActions& actions, QObject* parent = nullptr);

    // The playback step of a completed document (a frame's or the top one). Failures of the
    // host (a list that cannot be read) propagate; the fill itself fails quietly. A completion
    // that arrives while a step runs (during its question or its fill) waits, and its step
    // runs after that one, in the order they came.
    void PlaybackStep(const FrameRef& pDisp, const QString& url);

    // "Go to": navigates to the selected record after asking; never to an address without an
    // origin of its own (a "javascript:" one would run in the page shown). Never raises.
    void cmdFill_Click();

    // A click on an item, taking its current mark as the state before the click (the menu's
    // own clicks are routed here with their toggle undone).
    void mnuAutoClick_Click();
    void mnuManualClick_Click();
    void mnuNoFill_Click();
    void mnuPromptFill_Click();

private:
    enum class Item
    {
        PromptFill,
        ManualClick,
        AutoClick,
        NoFill
    };

    void connectItem(QAction* action, Item item);
    void click(Item item, bool wasChecked);
    void setMarks(bool manual, bool autoClick, bool noFill);
    static bool checked(const QPointer<QAction>& action);
    struct Completion
    {
        FrameRef frame;
        QString url;
        QString previousUrl; // the completion before it
    };
    // One step; previousUrl stands in for LastCompletedUrl for a step that waited, as the
    // window has recorded later completions meanwhile.
    void step(const Completion& completion, bool waited);
    // Whether this candidate is chosen; asks first when the prompt mark is on.
    bool chooses(const Record& record, const Completion& completion, bool waited);

    // FillHost, for the fill-in engine.
    QWidget* window() override;
    bool autoClickChecked() override;
    void setStatusText(const QString& text) override;

    PlaybackHost& host_;
    QPointer<QAction> mnuPromptFill_;
    QPointer<QAction> mnuManualClick_;
    QPointer<QAction> mnuAutoClick_;
    QPointer<QAction> mnuNoFill_;
    bool stepping_ = false;
    QQueue<Completion> waiting_;
    QString lastUrl_; // of the completion stepping or waiting last
};

} // namespace brackenly
