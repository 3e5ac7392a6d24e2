#pragma once

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;

namespace brackenly {

// The main window's menu bar. The check marks of these actions are the only copy of
// the window's modes; nothing else stores them.
class BrowserMenus : public QObject
{
    Q_OBJECT
public:
    // fullMenus: create the normally hidden menus and items visible (a build option).
    BrowserMenus(QMenuBar* bar, bool fullMenus);

    QMenu* mnuFile = nullptr;
    QAction* mnuProxy = nullptr;
    QAction* mnuSep0 = nullptr;
    QAction* mnuHome = nullptr;
    QAction* mnuSep1 = nullptr;
    QAction* mnuExit = nullptr;

    QMenu* mnuView = nullptr;
    QAction* mnuHideRecord = nullptr;
    QAction* mnuAutoHide = nullptr;
    QAction* mnuModernImages = nullptr;
    QAction* mnuSep2b = nullptr;
    QAction* mnuMaxScreen = nullptr;

    QMenu* mnuPlayback = nullptr;
    QAction* mnuPromptFill = nullptr;
    QAction* mnuPlaybackSep1 = nullptr;
    QAction* mnuManualClick = nullptr;
    QAction* mnuAutoClick = nullptr;
    QAction* mnuNoFill = nullptr;

    QMenu* mnuRecord = nullptr;
    QAction* mnuAutoRecord = nullptr;
    QAction* mnuSaveImage = nullptr;

    QMenu* mnuPopup = nullptr;
    QAction* mnuBlock = nullptr;

    QMenu* mnuHelp = nullptr;
    QAction* mnuSearch = nullptr;
    QAction* mnuWebsite = nullptr;
    QAction* mnuAbout = nullptr;
};

} // namespace brackenly
