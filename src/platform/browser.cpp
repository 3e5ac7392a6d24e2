#include "browser.h"

#include "engineerror.h"

namespace brackenly {

FrameRef::FrameRef(Browser* browser, QList<int> path, qint64 identity)
    : browser_(browser), path_(std::move(path)), identity_(identity)
{
}

std::shared_ptr<Document> FrameRef::document() const
{
    if (browser_.isNull())
        throw EngineError(QStringLiteral("the browser is gone"));
    return browser_->documentAt(path_, identity_);
}

} // namespace brackenly
