#include "webenginebrowserfactory.h"

#include "webenginebrowser.h"

namespace brackenly {

Browser* WebEngineBrowserFactory::create(QWidget* parent)
{
    return new WebEngineBrowser(parent);
}

} // namespace brackenly
