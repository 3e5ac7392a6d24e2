#pragma once

#include "record.h"

#include <QString>
#include <optional>

class QWidget;

namespace brackenly {

class Prompt;

// What the playback driver needs from its main window. Any member may raise; the driver lets
// a failure of the playback step reach the window's document-complete handler.
class PlaybackHost
{
public:
    virtual ~PlaybackHost() = default;
    // The window: parent of the message boxes. When it is destroyed during a wait, playback
    // stops without touching it again.
    virtual QWidget* window() = 0;
    virtual Prompt& prompt() = 0;
    // gstrCurMode.
    virtual QString currentMode() = 0;
    // LastCompletedUrl, read afresh at each candidate.
    virtual QString lastCompletedUrl() = 0;
    // The permanent list, read item by item in list order while the step walks it (the
    // count is read again at each item, since the list may change during a wait).
    virtual int permanentRecordCount() = 0;
    virtual Record permanentRecord(int index) = 0;
    // The selected record of the active list; nothing when no item is selected.
    virtual std::optional<Record> selectedRecord() = 0;
    // Puts the address into txtUrl and runs cmdPlayback_Click.
    virtual void goTo(const QString& url) = 0;
    // Status bar panel 1.
    virtual void setStatusText(const QString& text) = 0;
};

} // namespace brackenly
