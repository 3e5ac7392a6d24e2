#pragma once

#include "fakebrowser.h"
#include "fakedocument.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace brackenly {

// Pages by address for the engine double: a browser it serves loads the page a Navigate
// names a moment later (a queued load, like the real engine); an unknown address never
// completes. A page is built anew for every load.
class FakeSite
{
public:
    using Builder = std::function<std::shared_ptr<FakeDocument>()>;

    void add(const QString& url, Builder builder) { pages_.insert(url, std::move(builder)); }
    // A page holding these images (src as written) and links (href as written).
    void addPage(const QString& url, const QStringList& images, const QStringList& links = {});
    std::shared_ptr<FakeDocument> build(const QString& url) const;

    void serve(FakeBrowser* browser);
    // A click on the link opens a new window (the engine asks `opener`'s handler) and loads
    // `url` there, as a script link's window.open does.
    void openWindowOnClick(FakeDocument& doc, ElementId link, FakeBrowser* opener,
                           const QString& url);
    // Loads url into browser on the next turn of the event loop (nothing for unknown urls).
    void loadLater(FakeBrowser* browser, const QString& url);

    QStringList loads;        // addresses loaded, in order
    int windowsRequested = 0; // new-window requests made by clicks
    int windowsRefused = 0;   // of those, the ones nobody took

private:
    QHash<QString, Builder> pages_;
};

} // namespace brackenly
