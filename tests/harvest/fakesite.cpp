#include "fakesite.h"

#include <QPointer>
#include <QTimer>

namespace brackenly {

void FakeSite::addPage(const QString& url, const QStringList& images, const QStringList& links)
{
    add(url, [url, images, links] {
        auto doc = FakeDocument::create(url);
        for (const QString& src : images)
            doc->addImage(src);
        for (const QString& href : links)
            doc->addLink(href);
        return doc;
    });
}

std::shared_ptr<FakeDocument> FakeSite::build(const QString& url) const
{
    const auto it = pages_.constFind(url);
    return it == pages_.cend() ? nullptr : (*it)();
}

void FakeSite::serve(FakeBrowser* browser)
{
    const QPointer<FakeBrowser> target(browser);
    browser->onNavigate = [this, target](const QString& url) {
        if (target)
            loadLater(target, url);
    };
}

void FakeSite::loadLater(FakeBrowser* browser, const QString& url)
{
    const QPointer<FakeBrowser> target(browser);
    QTimer::singleShot(0, browser, [this, target, url] {
        if (!target)
            return;
        auto doc = build(url);
        if (!doc)
            return;
        loads << url;
        target->load(doc);
    });
}

void FakeSite::openWindowOnClick(FakeDocument& doc, ElementId link, FakeBrowser* opener,
                                 const QString& url)
{
    const QPointer<FakeBrowser> source(opener);
    doc.onClick(link, [this, source, url] {
        if (!source)
            return;
        ++windowsRequested;
        auto* taker = qobject_cast<FakeBrowser*>(source->requestWindow());
        if (!taker) {
            ++windowsRefused;
            return;
        }
        loadLater(taker, url);
    });
}

} // namespace brackenly
