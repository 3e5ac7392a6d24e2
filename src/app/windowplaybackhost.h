#pragma once

#include "playbackhost.h"

#include <QPointer>

namespace brackenly {

class frmBrowser;

// The playback driver's view of its main window.
class WindowPlaybackHost : public PlaybackHost
{
public:
    explicit WindowPlaybackHost(frmBrowser& window) : w_(window) {}
    QWidget* window() override;
    Prompt& prompt() override;
    QString currentMode() override;
    QString lastCompletedUrl() override;
    int permanentRecordCount() override;
    Record permanentRecord(int index) override;
    std::optional<Record> selectedRecord() override;
    void goTo(const QString& url) override;
    void setStatusText(const QString& text) override;

private:
    frmBrowser& w_;
};

} // namespace brackenly
