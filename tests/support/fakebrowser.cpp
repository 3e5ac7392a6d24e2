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

void FakeBrowser::Navigate(const QString& url)
{
    navigated_ << url;
    if (const auto hook = onNavigate) // a copy: the hook may replace itself
        hook(url);
}

std::shared_ptr<Document> FakeBrowser::documentAt(const QList<int>& path, qint64 identity)
{
    if (!document_)
        throw EngineError(QStringLiteral("fake browser: no document"));
    std::shared_ptr<FakeDocument> document = document_;
    for (int index : path) {
        if (index < 0 || size_t(index) >= document->frames_.size() ||
            document->frames_[size_t(index)].refused)
            throw EngineError(QStringLiteral("fake browser: no frame %1").arg(index));
        document = document->frames_[size_t(index)].document;
    }
    if (identity != 0 && document->identity() != identity)
        throw EngineError(QStringLiteral("fake browser: the document was replaced"));
    return document;
}

void FakeBrowser::setDocument(std::shared_ptr<FakeDocument> document)
{
    if (document_ && document_ != document)
        document_->close();
    document_ = std::move(document);
}

void FakeBrowser::complete(const QList<int>& path, const QString& url)
{
    const auto document = std::static_pointer_cast<FakeDocument>(documentAt(path));
    Q_EMIT DocumentComplete(FrameRef(this, path, document->identity()),
                            url.isEmpty() ? document_->url_ : url);
}

void FakeBrowser::completeAll()
{
    // Collected first, so a handler that replaces the document does not change the
    // events already on their way.
    QList<std::pair<FrameRef, QString>> events;
    const std::function<void(const FakeDocument&, QList<int>)> collect =
        [&](const FakeDocument& document, QList<int> path) {
            for (size_t i = 0; i < document.frames_.size(); ++i)
                collect(*document.frames_[i].document, path + QList<int>{int(i)});
            events.append({FrameRef(this, path, document.identity()), document.url_});
        };
    if (document_)
        collect(*document_, {});
    const QPointer<FakeBrowser> self(this);
    for (const auto& event : events) {
        if (!self)
            return;
        Q_EMIT DocumentComplete(event.first, event.second);
    }
}

void FakeBrowser::load(std::shared_ptr<FakeDocument> document)
{
    const QPointer<FakeBrowser> self(this);
    beforeNavigate(document ? document->url_ : QString());
    if (!self)
        return;
    setDocument(std::move(document));
    completeAll();
}

void FakeBrowser::setBackAvailable(bool available)
{
    if (available == backAvailable_)
        return;
    backAvailable_ = available;
    Q_EMIT CommandStateChange(2, available);
}

} // namespace brackenly
