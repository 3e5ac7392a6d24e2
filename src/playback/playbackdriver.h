#pragma once

#include "browser.h"
#include "fillhost.h"
#include "fillmodeactions.h"
#include "record.h"

#include <QAction>
#include <QObject>
#include <QPointer>
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
    // host (a list that cannot be read) propagate; the fill itself fails quietly.
    void PlaybackStep(const FrameRef& pDisp, const QString& url);

    // "Go to": navigates to the selected record after asking. Never raises.
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
    // Whether this candidate is chosen; asks first when the prompt mark is on.
    bool chooses(const Record& record, const QString& url);

    // FillHost, for the fill-in engine.
    QWidget* window() override;
    bool autoClickChecked() override;
    void setStatusText(const QString& text) override;

    PlaybackHost& host_;
    QPointer<QAction> mnuPromptFill_;
    QPointer<QAction> mnuManualClick_;
    QPointer<QAction> mnuAutoClick_;
    QPointer<QAction> mnuNoFill_;
};

} // namespace brackenly
