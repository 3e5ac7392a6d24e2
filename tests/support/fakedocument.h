#pragma once

#include "dom.h"
#include "fakeform.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace brackenly {

// The members of Document, for counting round trips and injecting faults.
enum class DomCall
{
    Url,
    FrameCount,
    Frame,
    Images,
    Links,
    Forms,
    ElementsByTagName,
    Markup,
    SetValue,
    SetChecked,
    SetOptionSelected,
    Click,
    Flush,
};

// An in-memory document for unit tests. Tests build it, hand it to a FakeBrowser, and
// afterwards read what the code under test wrote (writeLog()) and how many round trips it
// took (calls()). Relative addresses (image src, href, form action) are resolved against
// url() when read, as a real document's model reports them. Handles are unique across all
// FakeDocuments, so one used on the wrong document raises EngineError like a stale element.
class FakeDocument : public Document
{
public:
    explicit FakeDocument(const QString& url = {}) : url_(url) {}
    FakeDocument(const FakeDocument&) = delete;
    FakeDocument& operator=(const FakeDocument&) = delete;

    static std::shared_ptr<FakeDocument> create(const QString& url = {})
    {
        return std::make_shared<FakeDocument>(url);
    }

    // ---- building
    void setMarkup(const QString& markup) { markup_ = markup; }
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

    // ---- test-side reads: no round trip counted, no fault injected
    // The handle of the nth element with this name; 0 if none.
    ElementId find(const QString& name, int nth = 0) const;
    // The element as the model reports it; raises EngineError for an unknown handle.
    DomElement peek(ElementId handle) const;

    // Writes and clicks in order: "value user=abc", "checked remember=true",
    // "option s[2]=true", "click go" (unnamed elements as "#<handle>", links by address).
    const QStringList& writeLog() const { return log_; }
    // Runs after a successful click on the handle (e.g. to start a navigation).
    void onClick(ElementId handle, std::function<void()> action)
    {
        clickActions_[handle] = std::move(action);
    }

    int calls(DomCall member) const { return calls_.value(int(member)); }

    // ---- fault injection (a failing call still counts as a round trip)
    // nth == 0: every later call of the member raises; nth > 0: only the nth call from now.
    void failOn(DomCall member, int nth = 0) { failRules_.push_back({member, std::max(0, nth)}); }
    // Writes and clicks on this element raise (a field that refuses a value).
    void refuseElement(ElementId handle) { refused_.insert(handle); }

    // ---- Document
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
    struct Link
    {
        ElementId handle = 0;
        QString href, innerHtml;
    };
    struct FailRule
    {
        DomCall member;
        int remaining; // 0: always
    };

    ElementId insertElement(ElementId form, const DomElement& element);
    // Counts the call and raises an injected fault.
    void enter(DomCall member);
    // The writable element; raises for an unknown or refused one.
    Node& writable(ElementId handle);
    const Node* findNode(ElementId handle) const;
    QString resolve(const QString& address) const;
    DomElement view(const Node& node) const;
    QString describe(ElementId handle) const;

    QString url_;
    QString markup_;
    std::vector<std::unique_ptr<FakeForm>> forms_;
    std::vector<Node> nodes_; // document order
    QList<QPair<ElementId, QString>> images_;
    std::vector<Link> links_;
    std::vector<Frame> frames_;

    QStringList log_;
    QHash<ElementId, std::function<void()>> clickActions_;

    QHash<int, int> calls_;
    std::vector<FailRule> failRules_;
    QSet<ElementId> refused_;
};

} // namespace brackenly
