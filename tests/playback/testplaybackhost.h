#pragma once

#include "playbackhost.h"
#include "scriptedprompt.h"

#include <QAction>
#include <QList>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <stdexcept>

namespace brackenly {

// A main window for the playback driver's tests: records, marks and a prompt to script.
class TestPlaybackHost : public PlaybackHost
{
public:
    TestPlaybackHost() : widget(new QWidget)
    {
        for (QAction** a : {&mnuPromptFill, &mnuManualClick, &mnuAutoClick, &mnuNoFill}) {
            *a = new QAction(widget);
            (*a)->setCheckable(true);
        }
        // The marks a window starts with.
        mnuPromptFill->setChecked(true);
        mnuAutoClick->setChecked(true);
    }
    ~TestPlaybackHost() override { delete widget; }

    QWidget* window() override { return widget; }
    Prompt* prompt() override { return &scripted; }
    QString currentMode() override { return gstrCurMode; }
    QString lastCompletedUrl() override { return LastCompletedUrl; }
    int permanentRecordCount() override { return int(records.size()); }
    Record permanentRecord(int index) override
    {
        if (index == failReadAt)
            throw std::runtime_error("list item without its sub-items");
        return records.at(index);
    }
    std::optional<Record> selectedRecord() override
    {
        if (failSelection)
            throw std::runtime_error("list item without its sub-items");
        return selected;
    }
    void goTo(const QString& url) override { goTos << url; }
    void setStatusText(const QString& text) override { statusTexts << text; }

    QPointer<QWidget> widget;
    QAction* mnuPromptFill = nullptr;
    QAction* mnuManualClick = nullptr;
    QAction* mnuAutoClick = nullptr;
    QAction* mnuNoFill = nullptr;
    ScriptedPrompt scripted;
    QString gstrCurMode = QStringLiteral("Playback");
    QString LastCompletedUrl;
    QList<Record> records;
    int failReadAt = -1;
    std::optional<Record> selected;
    bool failSelection = false;
    QStringList goTos;
    QStringList statusTexts;
};

} // namespace brackenly
