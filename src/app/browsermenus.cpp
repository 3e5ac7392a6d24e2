#include "browsermenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace brackenly {

namespace {

QMenu* addMenu(QMenuBar* bar, const char* name, const QString& caption, bool visible)
{
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setVisible(visible);
    return menu;
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption, bool visible,
                 int checked = -1)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setVisible(visible);
    if (checked >= 0) {
        action->setCheckable(true);
        action->setChecked(checked == 1);
    }
    return action;
}

QAction* addSeparator(QMenu* menu, const char* name, bool visible)
{
    QAction* action = menu->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    action->setVisible(visible);
    return action;
}

} // namespace

BrowserMenus::BrowserMenus(QMenuBar* bar, bool full) : QObject(bar)
{
    mnuFile = addMenu(bar, "mnuFile", tr("File"), true);
    mnuProxy = addItem(mnuFile, "mnuProxy", tr("Proxy"), full);
    mnuSep0 = addSeparator(mnuFile, "mnuSep0", full);
    mnuHome = addItem(mnuFile, "mnuHome", tr("Preference"), true);
    mnuSep1 = addSeparator(mnuFile, "mnuSep1", true);
    mnuExit = addItem(mnuFile, "mnuExit", tr("Exit"), true);

    mnuView = addMenu(bar, "mnuView", tr("View"), true);
    mnuHideRecord =
        addItem(mnuView, "mnuHideRecord", tr("Hide Permanent/Temporary Record"), full, 1);
    mnuAutoHide =
        addItem(mnuView, "mnuAutoHide", tr("Auto Hide Permanent/Temporary Record"), full, 1);
    mnuModernImages = addItem(mnuView, "mnuModernImages", tr("Modern Image Sources"), full, 0);
    mnuSep2b = addSeparator(mnuView, "mnuSep2b", full);
    mnuMaxScreen = addItem(mnuView, "mnuMaxScreen", tr("Maximize Screen"), true, 0);

    mnuPlayback = addMenu(bar, "mnuPlayback", tr("Playback"), full);
    mnuPromptFill =
        addItem(mnuPlayback, "mnuPromptFill", tr("Prompt User before Auto Fill-in Form"), true, 1);
    mnuPlaybackSep1 = addSeparator(mnuPlayback, "mnuPlaybackSep1", true);
    mnuManualClick = addItem(mnuPlayback, "mnuManualClick",
                             tr("Auto Fill-in Form (with Manual Click)"), true, 0);
    mnuAutoClick =
        addItem(mnuPlayback, "mnuAutoClick", tr("Auto Fill-in Form (with Auto Click)"), true, 1);
    mnuNoFill = addItem(mnuPlayback, "mnuNoFill", tr("No auto Fill-in Form"), true, 0);

    mnuRecord = addMenu(bar, "mnuRecord", tr("Record"), full);
    mnuAutoRecord = addItem(mnuRecord, "mnuAutoRecord", tr("Auto Record Form"), true, 0);
    mnuSaveImage = addItem(mnuRecord, "mnuSaveImage", tr("Auto Save Image"), true);

    mnuPopup = addMenu(bar, "mnuPopup", tr("Popup"), true);
    mnuBlock = addItem(mnuPopup, "mnuBlock", tr("Block pop-up window"), true, 0);

    mnuHelp = addMenu(bar, "mnuHelp", tr("Help"), true);
    mnuSearch = addItem(mnuHelp, "mnuSearch", tr("Search"), true);
    mnuWebsite = addItem(mnuHelp, "mnuWebsite", tr("Go to Website"), true);
    mnuAbout = addItem(mnuHelp, "mnuAbout", tr("About"), true);
}

} // namespace brackenly
