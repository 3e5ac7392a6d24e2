#pragma once

#include "dom.h"

#include <QJsonValue>
#include <QPointer>

namespace brackenly {

class WebEngineBrowser;

// A document of a WebEngineBrowser: the frame path from the top and the identity the helper
// gave the document when it was first reached. Once the path leads to another document
// (the frame or the page navigated) every call fails.
class WebEngineDocument : public Document
{
public:
    WebEngineDocument(WebEngineBrowser* browser, QList<int> path, qint64 token);

    const QList<int>& path() const { return path_; }

    QString url() override;
    int frameCount() override;
    std::shared_ptr<Document> frame(int index) override;

    QList<DomImage> images() override;
    QList<DomLink> links() override;
    QList<DomForm> forms() override;
    QList<DomElement> elementsByTagName(const QString& tag) override;
    QString markup() override;

    void setValue(ElementId element, const QString& value) override;
    void setChecked(ElementId element, bool checked) override;
    void setOptionSelected(ElementId select, int optionIndex, bool selected) override;
    void click(ElementId element) override;
    void flush() override;

private:
    WebEngineBrowser& browser() const;
    QJsonValue call(const QString& op, const QJsonValue& argument = QJsonValue());

    QPointer<WebEngineBrowser> browser_;
    QList<int> path_;
    qint64 token_;
};

} // namespace brackenly
