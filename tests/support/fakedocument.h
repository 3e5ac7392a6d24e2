#pragma once

#include "dom.h"
#include "fakedomtypes.h"
#include "fakeform.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace brackenly {

// An in-memory document for unit tests. Tests build it, hand it to a FakeBrowser, and
// afterwards read what the code under test wrote (writes()) and how many round trips it
// took (calls()). Relative addresses (image src, href, form action) are resolved against
// url() when read, as a real document's model reports them.
//
// Handles are unique across all FakeDocuments, so a handle used on the wrong document, or
// after remove(), raises EngineError like a stale element of the real engine.
class FakeDocument : public Document
{
public:
    explicit FakeDocument(const QString& url = {});
    ~FakeDocument() override;
    FakeDocument(const FakeDocument&) = delete;
    FakeDocument& operator=(const FakeDocument&) = delete;

    static std::shared_ptr<FakeDocument> create(const QString& url = {});

    // ---- building
    void setUrl(const QString& url) { url_ = url; }
    void setMarkup(const QString& markup) { markup_ = markup; }
    FakeForm& addForm(const QString& action = {}, const QString& id = {},
                      const QString& target = {});
    // An input outside any form; it follows everything added so far in document order.
    ElementId addInput(const QString& type, const QString& name, const QString& value = {});
    ElementId addLooseElement(const DomElement& element, const QString& tag = {});
    ElementId addImage(const QString& src);
    // The text of a link defaults to its resolved address, like a real link's text value.
    ElementId addLink(const QString& href, const QString& innerHtml = {},
                      std::optional<QString> text = {});
    std::shared_ptr<FakeDocument> addFrame(const QString& url = {});
    std::shared_ptr<FakeDocument> addFrame(std::shared_ptr<FakeDocument> child);
    // A frame whose document may not be read (cross-origin): frame(i) raises.
    std::shared_ptr<FakeDocument> addRefusedFrame(const QString& url = {});
    void setFrameRefused(int index, bool refused);
    // Removes an element, image, link or form (with its fields); its handle goes stale.
    void remove(ElementId handle);

    // ---- test-side reads: no round trip counted, no fault injected
    QString currentUrl() const { return url_; }
    FakeForm& form(int index);
    int formCount() const { return int(forms_.size()); }
    int childCount() const { return int(frames_.size()); }
    std::shared_ptr<FakeDocument> child(int index) const;
    bool isRefused(int index) const;
    // The handle of the nth element (form field or loose input) with this name; 0 if none.
    ElementId find(const QString& name, int nth = 0) const;
    // The element as the model reports it; raises EngineError for an unknown handle.
    DomElement peek(ElementId handle) const;

    // ---- writes and clicks, in order
    const QList<DomWrite>& writes() const { return writes_; }
    // The same as text: "value user=abc", "checked remember=true", "option s[2]=true",
    // "click go" (unnamed elements as "#<handle>", links by address).
    QStringList writeLog() const;
    void clearWrites() { writes_.clear(); }
    // Runs after a successful click on the handle (e.g. to start a navigation).
    void onClick(ElementId handle, std::function<void()> action);

    // ---- round trips
    int calls(DomCall member) const;
    int totalCalls() const { return totalCalls_; }
    void resetCalls();

    // ---- fault injection (a failing call still counts as a round trip)
    // nth == 0: every later call of the member raises; nth > 0: only the nth call from now.
    void failOn(DomCall member, int nth = 0);
    // After `calls` more successful calls of any member, every call raises (the page went away).
    void failAfter(int calls);
    // Writes and clicks on this element raise (a field that refuses a value).
    void refuseElement(ElementId handle);
    // Runs before every call; throw EngineError from it to fail that call.
    void setFaultHook(std::function<void(DomCall, ElementId)> hook) { hook_ = std::move(hook); }
    void clearFaults();

    // ---- Document
    QString url() override;
    int frameCount() override;
    std::shared_ptr<Document> frame(int index) override;
    QList<DomImage> images() override;
    QList<DomLink> links() override;
    QList<DomForm> forms() override;
    // INPUT, SELECT, TEXTAREA, BUTTON (any case); other tags give an empty list.
    QList<DomElement> elementsByTagName(const QString& tag) override;
    QString markup() override;
    void setValue(ElementId element, const QString& value) override;
    void setChecked(ElementId element, bool checked) override;
    void setOptionSelected(ElementId select, int optionIndex, bool selected) override;
    void click(ElementId element) override;
    void flush() override;

private:
    friend class FakeForm;

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
        QString href;
        QString innerHtml;
        std::optional<QString> text; // none: the resolved address
    };

    struct FailRule
    {
        DomCall member;
        int remaining; // 0: always
    };

    ElementId insertElement(ElementId form, const DomElement& element, const QString& tag);
    void enter(DomCall member, ElementId handle = 0);
    Node& node(ElementId handle);
    const Node* findNode(ElementId handle) const;
    bool exists(ElementId handle) const;
    QString resolve(const QString& address) const;
    DomElement view(const Node& node) const;
    QString describe(ElementId handle) const;
    void record(DomWrite write) { writes_.append(std::move(write)); }
    static void keepOneSelected(DomElement& select);

    QString url_;
    QString markup_;
    std::vector<std::unique_ptr<FakeForm>> forms_;
    std::vector<Node> nodes_; // document order
    QList<QPair<ElementId, QString>> images_;
    std::vector<Link> links_;
    std::vector<Frame> frames_;

    QList<DomWrite> writes_;
    std::map<ElementId, std::function<void()>> clickActions_;

    std::map<DomCall, int> calls_;
    int totalCalls_ = 0;
    std::vector<FailRule> failRules_;
    std::optional<int> budget_;
    QSet<ElementId> refused_;
    std::function<void(DomCall, ElementId)> hook_;
};

} // namespace brackenly
