#pragma once

#include "dom.h"

#include <QJsonValue>
#include <QPointer>
#include <memory>

namespace brackenly {

class WebEngineBrowser;
struct CompletedTop;

// A document of a WebEngineBrowser: the frame path from the top and the identity the helper
// gave the document when it was first reached. Once the path leads to another document
// (the frame or the page navigated) every call fails.
class WebEngineDocument : public Document
{
public:
    // `completed`: what the page reported of this document with its completion, read
    // instead of asking while that completion is being handled.
    WebEngineDocument(WebEngineBrowser* browser, QList<int> path, qint64 token,
                      std::shared_ptr<const CompletedTop> completed = nullptr);

    const QList<int>& path() const { return path_; }

    QString url() override;
    int frameCount() override;
    std::shared_ptr<Document> frame(int index) override;

    QList<DomImage> images() override;
    QList<DomLink> links() override;
    DomImageSources imageSources() override;
    DomScroll scrollDown() override;
    DomList<DomForm> forms() override;
    DomList<DomElement> elementsByTagName(const QString& tag) override;
    QString markup() override;

    void setValue(ElementId element, const QString& value) override;
    void setChecked(ElementId element, bool checked) override;
    void setOptionSelected(ElementId select, int optionIndex, bool selected) override;
    void click(ElementId element) override;
    void flush() override;

private:
    WebEngineBrowser& browser() const;
    QJsonValue call(const QString& op, const QJsonValue& argument = QJsonValue());
    const CompletedTop* completed() const;

    QPointer<WebEngineBrowser> browser_;
    QList<int> path_;
    qint64 token_;
    std::shared_ptr<const CompletedTop> completed_;
};

} // namespace brackenly
