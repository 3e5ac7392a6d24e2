#include "fakeharvesthost.h"

namespace brackenly {

FakeHarvestHost::FakeHarvestHost() : window_(new QWidget)
{
    window_->setObjectName(QStringLiteral("fakeMainWindow"));
}

FakeHarvestHost::~FakeHarvestHost()
{
    delete window_.data();
}

void FakeHarvestHost::setCaptureLevel2(bool on)
{
    if (!on)
        reports << QStringLiteral("capture");
    gbCaptureLevel2 = on;
}

void FakeHarvestHost::setPopup(bool on)
{
    if (!on)
        reports << QStringLiteral("popup");
    gbPopup = on;
}

void FakeHarvestHost::setTimeOut(bool on)
{
    if (on)
        ++timeOuts;
    gbTimeOut = on;
}

void FakeHarvestHost::setSavingStatus(const QString& text)
{
    panel2 = text;
    if (!text.isEmpty())
        panel2History << text;
}

Browser* FakeHarvestHost::openPopupLevelWindow()
{
    ++popupLevelWindowsAsked;
    return onOpenPopupLevelWindow ? onOpenPopupLevelWindow() : nullptr;
}

} // namespace brackenly
