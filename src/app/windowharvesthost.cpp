#include "windowharvesthost.h"

#include "browserapp.h"
#include "browsermenus.h"
#include "frmbrowser.h"
#include "harvestrules.h"
#include "harvesttexts.h"
#include "imageharvester.h"
#include "popuprouter.h"
#include "prompt.h"
#include "runprogress.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <utility>

namespace brackenly {

WindowHarvestHost::WindowHarvestHost(frmBrowser* window) : HarvestHost(window), w_(window)
{
    setObjectName(QStringLiteral("harvestHost"));
}

WindowHarvestHost* WindowHarvestHost::of(frmBrowser* window)
{
    return window ? window->findChild<WindowHarvestHost*>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

QWidget* WindowHarvestHost::window() const
{
    return w_;
}
bool WindowHarvestHost::savingImages() const
{
    return w_->SavingImages;
}
void WindowHarvestHost::setSavingImages(bool on)
{
    w_->SavingImages = on;
}
FrameRef WindowHarvestHost::lastCompletedBrowser() const
{
    return w_->LastCompletedBrowser;
}
void WindowHarvestHost::setGobackFlag(bool on)
{
    w_->gbGobackFlag = on;
}
QString WindowHarvestHost::saveImageCaption() const
{
    return w_->cmdSaveImage->text();
}

void WindowHarvestHost::setSaveImageCaption(const QString& caption)
{
    w_->cmdSaveImage->setText(caption);
    w_->cmdSaveImage->setAccessibleName(caption);
}

bool WindowHarvestHost::blockPopups() const
{
    return w_->menus()->mnuBlock->isChecked();
}
void WindowHarvestHost::setBlockedStatus(const QString& text)
{
    w_->statusPanel(3)->setText(text);
}
QString WindowHarvestHost::saveFolder() const
{
    return w_->gstrSaveFolder;
}
QString WindowHarvestHost::level2Url() const
{
    return w_->gstrLevel2Url;
}
void WindowHarvestHost::setLevel2Url(const QString& url)
{
    w_->gstrLevel2Url = url;
}
bool WindowHarvestHost::captureLevel2() const
{
    return w_->gbCaptureLevel2;
}
void WindowHarvestHost::setCaptureLevel2(bool on)
{
    w_->gbCaptureLevel2 = on;
}
bool WindowHarvestHost::popup() const
{
    return w_->gbPopup;
}
void WindowHarvestHost::setPopup(bool on)
{
    w_->gbPopup = on;
}
bool WindowHarvestHost::timeOut() const
{
    return w_->gbTimeOut;
}
void WindowHarvestHost::setTimeOut(bool on)
{
    w_->gbTimeOut = on;
}

void WindowHarvestHost::setSavingStatus(const QString& text)
{
    w_->statusPanel(2)->setText(text);
}

QWidget* WindowHarvestHost::savingStatusPanel() const
{
    return w_->statusPanel(2);
}

void WindowHarvestHost::stopBusyTimer()
{
    w_->Timer1->stop();
}
HarvestHost* WindowHarvestHost::firstWindow() const
{
    return of(w_->app().firstWindow());
}
bool WindowHarvestHost::programEnding() const
{
    return w_->app().isEnding();
}
Browser* WindowHarvestHost::openPopupLevelWindow()
{
    return OpenPopupLevelWindow(*w_);
}

void WindowHarvestHost::folderRefused(const QString& folder, const QString& reason)
{
    const auto absolute = [](const QString& path) {
        return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    };
    if (!w_->SavingImages || !refusal_.isEmpty() ||
        absolute(folder) != absolute(w_->gstrSaveFolder))
        return;
    refusal_ = QStringLiteral("The images could not be saved to the folder ") +
               QDir::toNativeSeparators(folder) + QStringLiteral(": ") + reason + u'.';
    // Every further image would fail alike; the run's loops end at their next check.
    setSaveImageCaption(kSaveImageText);
    setSavingImages(false);
}

void WindowHarvestHost::runFinished()
{
    if (refusal_.isEmpty())
        return;
    const QString text = std::exchange(refusal_, QString());
    if (Prompt* prompt = w_->app().services().prompt)
        prompt->ask(w_, text, QString(), PromptButtons::Ok, PromptIcon::Exclamation);
}

void AttachHarvest(frmBrowser* window)
{
    if (WindowHarvestHost::of(window))
        return;
    auto* host = new WindowHarvestHost(window);
    auto* harvester = new ImageHarvester(host, window->app().services(), window);
    harvester->setObjectName(QStringLiteral("harvester"));
    auto* router = new PopupRouter(host, window->app().services(), window);
    router->setObjectName(QStringLiteral("popupRouter"));
    router->install(window->wbMyBrowser);
    QObject::connect(window, &frmBrowser::saveImageClicked, harvester,
                     &ImageHarvester::mnuSaveImage_Click);
    QObject::connect(window, &frmBrowser::imageFolderClicked, harvester,
                     &ImageHarvester::cmdImageFolder_Click);
    ShowRunProgress(harvester, window->prgRun);
    // The bar takes its room from panel 1.
    QObject::connect(harvester, &ImageHarvester::runStarted, window, &frmBrowser::Form_Resize);
    QObject::connect(harvester, &ImageHarvester::runFinished, window, &frmBrowser::Form_Resize);
    QObject::connect(harvester, &ImageHarvester::runStarted, host, &WindowHarvestHost::runStarted);
    QObject::connect(harvester, &ImageHarvester::runFinished, host,
                     &WindowHarvestHost::runFinished);
}

ImageHarvester* HarvesterOf(frmBrowser* window)
{
    return window->findChild<ImageHarvester*>(QString(), Qt::FindDirectChildrenOnly);
}

PopupRouter* PopupRouterOf(frmBrowser* window)
{
    return window->findChild<PopupRouter*>(QString(), Qt::FindDirectChildrenOnly);
}

Browser* OpenPopupLevelWindow(frmBrowser& opener)
{
    frmBrowser* w = opener.app().createWindow();
    w->objParentForm = opener.objMeForm;
    w->glngPopupLevel = opener.glngPopupLevel + 1;
    w->setWindowTitle(PopupWindowCaption(w->glngPopupLevel));
    w->Form_Load(); // hides the opener
    w->wbMyBrowser->setRegisterAsBrowser(true);
    w->wbMyBrowser->setSilent(true);
    w->show();
    w->move(opener.pos());
    w->resize(opener.size());
    return w->wbMyBrowser;
}

} // namespace brackenly
