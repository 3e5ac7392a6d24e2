#pragma once

#include "dom.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace brackenly {

class FakeDocument;

// Builder handle of one form of a FakeDocument; lives as long as its document. The adders
// append to the form's fields and to the document order.
class FakeForm
{
public:
    FakeForm(FakeDocument* document, ElementId handle, QString action, QString id)
        : handle(handle), action(std::move(action)), id(std::move(id)), document_(document)
    {
    }
    FakeForm(const FakeForm&) = delete;
    FakeForm& operator=(const FakeForm&) = delete;

    // Any field; the tag follows the type (select-* SELECT, textarea TEXTAREA, else INPUT).
    ElementId addElement(const DomElement& element);
    ElementId add(const QString& type, const QString& name, const QString& value = {},
                  bool checked = false)
    {
        return addElement({0, type, name, value, checked, {}, {}});
    }
    // Options as {text, value[, selected]}.
    ElementId addSelect(const QString& name, const QList<DomOption>& options, bool multiple = false)
    {
        return addElement(
            {0, multiple ? "select-multiple" : "select-one", name, {}, false, {}, options});
    }

    const ElementId handle;
    // The action as written: relative ones resolve against the document's address, "" reads
    // as it.
    const QString action, id;

private:
    FakeDocument* document_;
};

// The members of Document that a test can make fail.
enum class DomCall
{
    Images,
};

// An in-memory document for unit tests. Tests build it, hand it to a FakeBrowser, and
// afterwards read what the code under test wrote (writeLog(), peek()). As on the real
// engine, writes wait until the next read, click or flush() and only then reach the page,
// and a document whose browser has shown another one (or an error page) fails every call.
// Relative addresses resolve against url() when read. Handles are unique across all
// FakeDocuments, so one used on the wrong document fails like a stale element.
class FakeDocument : public Document
{
public:
    explicit FakeDocument(const QString& url = {});
    FakeDocument(const FakeDocument&) = delete;
    FakeDocument& operator=(const FakeDocument&) = delete;

    static std::shared_ptr<FakeDocument> create(const QString& url = {})
    {
        return std::make_shared<FakeDocument>(url);
    }
    // What a failed load shows: it completes, but has no document to read.
    static std::shared_ptr<FakeDocument> errorPage(const QString& url)
    {
        auto page = create(url);
        page->gone_ = true;
        return page;
    }

    // ---- building
    void setMarkup(const QString& markup) { markup_ = markup; }
    // The address the document now shows (a script changed it); completions keep the old.
    void setUrl(const QString& url) { url_ = url; }
    // Unique among all FakeDocuments: what a completion's browser object is tied to.
    qint64 identity() const { return identity_; }
    FakeForm& addForm(const QString& action = {}, const QString& id = {});
    // An element outside any form; it follows everything added so far in document order.
    ElementId addLooseElement(const DomElement& element) { return insertElement(0, element); }
    ElementId addImage(const QString& src);
    ElementId addLink(const QString& href, const QString& innerHtml = {});
    // A refused frame's document may not be read (cross-origin): frame(i) raises.
    std::shared_ptr<FakeDocument> addFrame(const QString& url = {}, bool refused = false);
    std::shared_ptr<FakeDocument> addRefusedFrame(const QString& url = {})
    {
        return addFrame(url, true);
    }

    // ---- test-side reads: what the page shows now, queued writes not included
    DomElement peek(ElementId handle) const;
    // Writes as they reached the page, and clicks, in order: "value user=abc",
    // "checked remember=true", "option s[2]=true", "click go" (links by address).
    const QStringList& writeLog() const { return log_; }
    // Runs after a successful click on the handle (e.g. to start a navigation).
    void onClick(ElementId handle, std::function<void()> action)
    {
        clickActions_[handle] = std::move(action);
    }
    // Images a lazy page adds as it is scrolled: one a scrollDown, which is at the end once
    // none is left.
    void addLateImages(const QStringList& srcs) { late_ += srcs; }
    // Every later call of the member raises.
    void failOn(DomCall member) { failing_.insert(int(member)); }
    // Its browser shows another document now: this one and its frames fail from here on.
    void close();

    // ---- Document
    QString url() override;
    int frameCount() override;
    std::shared_ptr<Document> frame(int index) override;
    QList<DomImage> images() override;
    QList<DomLink> links() override;
    DomList<DomForm> forms() override;
    DomList<DomElement> elementsByTagName(const QString& tag) override;
    QString markup() override;
    void setValue(ElementId element, const QString& value) override;
    void setChecked(ElementId element, bool checked) override;
    void setOptionSelected(ElementId select, int optionIndex, bool selected) override;
    void click(ElementId element) override;
    void flush() override;
    DomScroll scrollDown() override;

private:
    friend class FakeForm;
    friend class FakeBrowser;

    struct Node
    {
        ElementId form = 0; // 0: outside any form
        QString tag;        // upper case
        DomElement element;
    };
    struct Frame
    {
        std::shared_ptr<FakeDocument> document;
        bool refused = false;
    };
    struct Link // images too, with their src as href
    {
        ElementId handle = 0;
        QString href, innerHtml;
    };

    ElementId insertElement(ElementId form, const DomElement& element);
    // Raises for a closed document or an injected fault; sends queued writes first.
    void enter(int member = -1);
    Node& writable(ElementId handle);
    const Node* findNode(ElementId handle) const;
    QString resolve(const QString& address) const;
    DomElement view(const Node& node) const;
    QString describe(ElementId handle) const;
    // Writes wait for the next read, click or flush.
    void queue(std::function<void()> write);

    QString url_;
    qint64 identity_;
    QString markup_;
    std::vector<std::unique_ptr<FakeForm>> forms_;
    std::vector<Node> nodes_; // document order
    std::vector<Link> images_, links_;
    std::vector<Frame> frames_;

    QStringList log_;
    QHash<ElementId, std::function<void()>> clickActions_;
    QStringList late_;
    std::vector<std::function<void()>> queued_;
    QSet<int> failing_;
    bool gone_ = false;
};

} // namespace brackenly
