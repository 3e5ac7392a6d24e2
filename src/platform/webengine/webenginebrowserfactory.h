#pragma once

#include "browser.h"

namespace brackenly {

// Makes WebEngineBrowser controls (all on the shared profile).
class WebEngineBrowserFactory : public BrowserFactory
{
public:
    Browser* create(QWidget* parent) override;
    void followProcessProxy() override;
};

} // namespace brackenly
