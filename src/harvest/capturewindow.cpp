#include "capturewindow.h"

#include "browser.h"
#include "harvesttexts.h"
#include "imagedownload.h"
#include "statuspacer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

namespace brackenly {

CaptureWindow::CaptureWindow(const Services& services, HarvestHost* firstWindow,
                             const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(services), firstWindow_(firstWindow)
{
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ImgBrowser1 = services_.browsers->create(this);
    ImgBrowser1->setObjectName(QStringLiteral("ImgBrowser1"));
    ImgBrowser1->widget()->setObjectName(QStringLiteral("ImgBrowser1"));
    layout->addWidget(ImgBrowser1->widget(), 1);
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("CaptureStatusBar"));
    statusBar->setSizeGripEnabled(false);
    CaptureStatus = new QLabel(statusBar);
    CaptureStatus->setObjectName(QStringLiteral("CaptureStatus"));
    CaptureStatus->setAccessibleName(QStringLiteral("Capture status"));
    statusBar->addWidget(CaptureStatus, 1);
    layout->addWidget(statusBar);
    resize(640, 480);
}

CaptureWindow::~CaptureWindow() = default;

QString CaptureWindow::captureStatus() const
{
    return CaptureStatus->text();
}

void CaptureWindow::setCaptureStatus(const QString& text)
{
    SetStatusText(CaptureStatus, [&] { CaptureStatus->setText(text); });
}

bool CaptureWindow::saveOne(const QString& src, const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return true;
    const QPointer<CaptureWindow> self(this);
    if (HarvestHost* first = firstWindow_.data())
        SetStatusText(first->savingStatusPanel(),
                      [&] { first->setSavingStatus(kSavingPrefix + src); });
    setCaptureStatus(kSavingPrefix + src);
    QCoreApplication::processEvents();
    if (!self)
        return false;
    DownloadImageOnce(services_.downloader, src, path, ImgBrowser1);
    return !self.isNull();
}

void CaptureWindow::centerOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
}

} // namespace brackenly
