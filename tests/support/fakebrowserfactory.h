#pragma once

#include "browser.h"
#include "fakebrowser.h"

#include <QList>
#include <QPointer>
#include <functional>

namespace brackenly {

// Hands out FakeBrowsers and remembers them, so a test reaches the browser of any window
// the code under test opened (browser(i) is nullptr once that window is gone).
class FakeBrowserFactory : public BrowserFactory
{
public:
    Browser* create(QWidget* parent) override
    {
        auto* browser = new FakeBrowser(parent);
        browsers_.append(browser);
        if (onCreate)
            onCreate(browser);
        return browser;
    }

    FakeBrowser* browser(int index) const { return browsers_.value(index).data(); }

    // Runs for each new browser before it is handed out (e.g. to give it a document).
    std::function<void(FakeBrowser*)> onCreate;

private:
    QList<QPointer<FakeBrowser>> browsers_;
};

} // namespace brackenly
