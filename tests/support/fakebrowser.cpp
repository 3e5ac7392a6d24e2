#include "fakebrowser.h"

#include "engineerror.h"

#include <QWidget>

namespace brackenly {

FakeBrowser::FakeBrowser(QWidget* parent) : Browser(parent), widget_(new QWidget(parent))
{
    widget_->setObjectName(QStringLiteral("fakeBrowserView"));
}

FakeBrowser::~FakeBrowser()
{
    delete widget_.data();
}

QWidget* FakeBrowser::widget()
{
    return widget_.data();
}

void FakeBrowser::Navigate(const QString& url)
{
    navigateCalls_.append({url, false});
    if (onNavigate) {
        auto hook = onNavigate;
        hook(url);
    }
}

void FakeBrowser::Navigate2(const QString& url)
{
    navigateCalls_.append({url, true});
    if (onNavigate) {
        auto hook = onNavigate;
        hook(url);
    }
}

void FakeBrowser::GoBack()
{
    ++goBackCount_;
    if (onGoBack) {
        auto hook = onGoBack;
        hook();
    }
}

std::shared_ptr<Document> FakeBrowser::documentAt(const QList<int>& path)
{
    ++documentAtCalls_;
    if (!document_)
        throw EngineError(QStringLiteral("fake browser: no document"));
    std::shared_ptr<FakeDocument> document = document_;
    for (int index : path) {
        if (index < 0 || index >= document->childCount())
            throw EngineError(QStringLiteral("fake browser: no frame %1").arg(index));
        if (document->isRefused(index))
            throw EngineError(QStringLiteral("fake browser: frame %1 refused").arg(index));
        document = document->child(index);
    }
    return document;
}

QStringList FakeBrowser::navigatedUrls() const
{
    QStringList urls;
    for (const NavigateCall& call : navigateCalls_)
        urls << call.url;
    return urls;
}

void FakeBrowser::setDocument(std::shared_ptr<FakeDocument> document)
{
    document_ = std::move(document);
}

std::shared_ptr<FakeDocument> FakeBrowser::fakeDocumentAt(const QList<int>& path) const
{
    std::shared_ptr<FakeDocument> document = document_;
    for (int index : path) {
        if (!document)
            break;
        document = document->child(index);
    }
    return document;
}

void FakeBrowser::complete(const QList<int>& path, const QString& url)
{
    QString address = url;
    if (address.isEmpty()) {
        if (auto document = fakeDocumentAt(path))
            address = document->currentUrl();
    }
    Q_EMIT DocumentComplete(FrameRef(this, path), address);
}

void FakeBrowser::completeAll()
{
    if (!document_)
        return;
    // Collected first, so a handler that replaces the document does not change the
    // events already on their way.
    QList<QPair<QList<int>, QString>> events;
    QList<int> path;
    completionsOf(document_, path, events);
    const QPointer<FakeBrowser> self(this);
    for (const auto& event : events) {
        if (!self)
            return;
        Q_EMIT DocumentComplete(FrameRef(this, event.first), event.second);
    }
}

void FakeBrowser::completionsOf(const std::shared_ptr<FakeDocument>& document, QList<int>& path,
                                QList<QPair<QList<int>, QString>>& out) const
{
    for (int i = 0; i < document->childCount(); ++i) {
        path.append(i);
        completionsOf(document->child(i), path, out);
        path.removeLast();
    }
    out.append({path, document->currentUrl()});
}

void FakeBrowser::load(std::shared_ptr<FakeDocument> document)
{
    const QPointer<FakeBrowser> self(this);
    beforeNavigate(document ? document->currentUrl() : QString());
    if (!self)
        return;
    setDocument(std::move(document));
    completeAll();
}

void FakeBrowser::beforeNavigate(const QString& url)
{
    Q_EMIT BeforeNavigate2(url);
}

void FakeBrowser::setBackAvailable(bool available)
{
    if (available == backAvailable_)
        return;
    backAvailable_ = available;
    Q_EMIT CommandStateChange(2, available);
}

void FakeBrowser::crashRenderer()
{
    Q_EMIT RenderProcessGone();
}

} // namespace brackenly
