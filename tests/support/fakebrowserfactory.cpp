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

} // namespace brackenly
