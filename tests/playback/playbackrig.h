#pragma once

#include "fillhost.h"
#include "playbackdriver.h"
#include "playbackhost.h"
#include "scriptedprompt.h"

#include <QAction>
#include <QWidget>
#include <array>

namespace brackenly {

// A main window's part in playback; its "Playback" marks as "prompt manual auto nofill",
// e.g. "1010". A fill it hosts itself always has Auto Click checked.
struct PlaybackRig : PlaybackHost, FillHost
{
    QWidget* window() override { return &win; }
    Prompt& prompt() override { return scripted; }
    QString currentMode() override { return mode; }
    QString lastCompletedUrl() override { return lastUrl; }
    int permanentRecordCount() override { return int(records.size()); }
    Record permanentRecord(int index) override { return records.at(index); }
    std::optional<Record> selectedRecord() override { return selected; }
    void goTo(const QString& url) override { wentTo << url; }
    bool autoClickChecked() override { return true; }
    void setStatusText(const QString& text) override { status << text; }

    FillModeActions actions() { return {&items[0], &items[1], &items[2], &items[3]}; }
    void setMarks(const QString& text)
    {
        for (int i = 0; i < 4; ++i) {
            items[i].setCheckable(true);
            items[i].setChecked(text.at(i) == u'1');
        }
    }

    std::array<QAction, 4> items;
    ScriptedPrompt scripted;
    QString mode = QStringLiteral("Playback");
    QString lastUrl;
    QList<Record> records;
    std::optional<Record> selected;
    QStringList wentTo, status;
    QWidget win;
};

} // namespace brackenly
