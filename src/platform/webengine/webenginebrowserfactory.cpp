#include "webenginebrowserfactory.h"

#include "proxysettle.h"
#include "sharedprofile.h"
#include "webenginebrowser.h"

namespace brackenly {

Browser* WebEngineBrowserFactory::create(QWidget* parent)
{
    return new WebEngineBrowser(parent);
}

void WebEngineBrowserFactory::followProcessProxy()
{
    SettleEngineProxy(sharedProfile());
}

} // namespace brackenly
