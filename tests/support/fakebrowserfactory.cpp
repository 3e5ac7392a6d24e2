#include "fakebrowserfactory.h"

namespace brackenly {

Browser* FakeBrowserFactory::create(QWidget* parent)
{
    auto* browser = new FakeBrowser(parent);
    browsers_.append(browser);
    if (onCreate)
        onCreate(browser);
    return browser;
}

FakeBrowser* FakeBrowserFactory::browser(int index) const
{
    if (index < 0 || index >= browsers_.size())
        return nullptr;
    return browsers_[index].data();
}

FakeBrowser* FakeBrowserFactory::last() const
{
    return browsers_.isEmpty() ? nullptr : browsers_.last().data();
}

} // namespace brackenly
