#include "windowharvesthost.h"

#include "browserapp.h"
#include "browsermenus.h"
#include "frmbrowser.h"
#include "harvestrules.h"

#include <QAction>
#include <QPushButton>

namespace brackenly {

QWidget* WindowHarvestHost::window() const
{
    return &w_;
}

Prompt& WindowHarvestHost::prompt() const
{
    return *w_.app().services().prompt;
}

HarvestRun& WindowHarvestHost::run()
{
    return w_.harvestRun;
}

FrameRef WindowHarvestHost::lastCompletedBrowser() const
{
    return w_.LastCompletedBrowser;
}

void WindowHarvestHost::setGobackFlag(bool on)
{
    w_.gbGobackFlag = on;
}

QString WindowHarvestHost::saveImageCaption() const
{
    return w_.cmdSaveImage->text();
}

void WindowHarvestHost::setSaveImageCaption(const QString& caption)
{
    w_.cmdSaveImage->setText(caption);
    w_.cmdSaveImage->setAccessibleName(caption);
}

bool WindowHarvestHost::blockPopups() const
{
    return w_.menus()->mnuBlock->isChecked();
}

bool WindowHarvestHost::modernImages() const
{
    return w_.menus()->mnuModernImages->isChecked();
}

QString WindowHarvestHost::saveFolder() const
{
    return w_.gstrSaveFolder;
}

QLabel* WindowHarvestHost::statusPanel(int index) const
{
    return w_.statusPanel(index);
}

void WindowHarvestHost::stopBusyTimer()
{
    w_.Timer1->stop();
}

HarvestHost* WindowHarvestHost::firstWindow() const
{
    frmBrowser* first = w_.app().firstWindow();
    return first ? first->harvestHost() : nullptr;
}

bool WindowHarvestHost::programEnding() const
{
    return w_.app().isEnding();
}

Browser* WindowHarvestHost::openPopupLevelWindow()
{
    frmBrowser* w = w_.app().createWindow();
    w->objParentForm = w_.objMeForm;
    w->glngPopupLevel = w_.glngPopupLevel + 1;
    w->setWindowTitle(PopupWindowCaption(w->glngPopupLevel));
    w->Form_Load(); // hides the opener
    w->wbMyBrowser->setRegisterAsBrowser(true);
    w->wbMyBrowser->setSilent(true);
    w->show();
    w->move(w_.pos());
    w->resize(w_.size());
    return w->wbMyBrowser;
}

} // namespace brackenly
