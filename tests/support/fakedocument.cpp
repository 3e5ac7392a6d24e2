#include "fakedocument.h"

#include "engineerror.h"

#include <QUrl>
#include <algorithm>
#include <atomic>

namespace brackenly {

namespace {

// Element handles and document identities alike: unique across all FakeDocuments.
qint64 nextHandle()
{
    static std::atomic<qint64> next{1};
    return next++;
}

[[noreturn]] void fail(const QString& what)
{
    throw EngineError(QStringLiteral("fake document: ") + what);
}

} // namespace

ElementId FakeForm::addElement(const DomElement& element)
{
    return document_->insertElement(handle, element);
}

FakeDocument::FakeDocument(const QString& url) : url_(url), identity_(nextHandle()) {}

FakeForm& FakeDocument::addForm(const QString& action, const QString& id)
{
    forms_.push_back(std::make_unique<FakeForm>(this, nextHandle(), action, id));
    return *forms_.back();
}

ElementId FakeDocument::insertElement(ElementId form, const DomElement& element)
{
    const QString type = element.type.toLower();
    QString tag = QStringLiteral("INPUT");
    if (type.startsWith(QLatin1String("select")))
        tag = QStringLiteral("SELECT");
    else if (type == QLatin1String("textarea"))
        tag = QStringLiteral("TEXTAREA");
    nodes_.push_back({form, tag, element});
    nodes_.back().element.handle = nextHandle();
    return nodes_.back().element.handle;
}

ElementId FakeDocument::addImage(const QString& src)
{
    images_.push_back({nextHandle(), src, {}});
    return images_.back().handle;
}

ElementId FakeDocument::addLink(const QString& href, const QString& innerHtml)
{
    links_.push_back({nextHandle(), href, innerHtml});
    return links_.back().handle;
}

std::shared_ptr<FakeDocument> FakeDocument::addFrame(const QString& url, bool refused)
{
    frames_.push_back({create(url), refused});
    return frames_.back().document;
}

DomElement FakeDocument::peek(ElementId handle) const
{
    const Node* n = findNode(handle);
    if (!n)
        fail(QStringLiteral("no element %1").arg(handle));
    return view(*n);
}

void FakeDocument::close()
{
    gone_ = true;
    for (const Frame& frame : frames_)
        frame.document->close();
}

void FakeDocument::enter(int member)
{
    if (gone_)
        fail(QStringLiteral("the document is gone"));
    if (failing_.contains(member))
        fail(QStringLiteral("call %1 failed (injected)").arg(member));
    // The batch goes with this call; a write that fails makes the call fail.
    std::vector<std::function<void()>> batch;
    batch.swap(queued_);
    for (const auto& write : batch)
        write();
}

FakeDocument::Node& FakeDocument::writable(ElementId handle)
{
    auto* n = const_cast<Node*>(findNode(handle));
    if (!n)
        fail(QStringLiteral("element %1 is gone").arg(handle));
    return *n;
}

const FakeDocument::Node* FakeDocument::findNode(ElementId handle) const
{
    for (const Node& n : nodes_) {
        if (n.element.handle == handle)
            return &n;
    }
    return nullptr;
}

QString FakeDocument::resolve(const QString& address) const
{
    const QUrl relative(address);
    const QUrl base(url_);
    if (address.isEmpty() || !relative.isRelative() || !base.isValid() || base.isRelative())
        return address;
    return base.resolved(relative).toString(QUrl::FullyEncoded);
}

DomElement FakeDocument::view(const Node& n) const
{
    DomElement element = n.element;
    element.src = resolve(element.src);
    return element;
}

QString FakeDocument::describe(ElementId handle) const
{
    if (const Node* n = findNode(handle); n && !n->element.name.isEmpty())
        return n->element.name;
    for (const Link& l : links_) {
        if (l.handle == handle)
            return resolve(l.href);
    }
    return QStringLiteral("#%1").arg(handle);
}

QString FakeDocument::url()
{
    enter();
    return url_;
}

int FakeDocument::frameCount()
{
    enter();
    return int(frames_.size());
}

std::shared_ptr<Document> FakeDocument::frame(int index)
{
    enter();
    if (index < 0 || size_t(index) >= frames_.size())
        fail(QStringLiteral("no frame %1").arg(index));
    if (frames_[size_t(index)].refused)
        fail(QStringLiteral("frame %1 refused").arg(index));
    return frames_[size_t(index)].document;
}

QList<DomImage> FakeDocument::images()
{
    enter(int(DomCall::Images));
    QList<DomImage> result;
    for (const Link& image : images_)
        result.append({resolve(image.href)});
    return result;
}

DomScroll FakeDocument::scrollDown()
{
    enter();
    const int before = int(images_.size());
    if (!late_.isEmpty())
        addImage(late_.takeFirst());
    return {late_.isEmpty(), before};
}

QList<DomLink> FakeDocument::links()
{
    enter();
    QList<DomLink> result;
    for (const Link& l : links_)
        result.append({l.handle, resolve(l.href), l.innerHtml, resolve(l.href)});
    return result;
}

DomList<DomForm> FakeDocument::forms()
{
    enter();
    DomList<DomForm> result{url_, {}};
    for (const auto& f : forms_) {
        DomForm form{f->handle, {}, f->id, {}, {}};
        bool shadowed = false;
        for (const Node& n : nodes_) {
            if (n.form != form.handle)
                continue;
            // A field named "action" hides the attribute of a real form.
            shadowed = shadowed || n.element.name == QLatin1String("action");
            form.elements.append(view(n));
        }
        if (shadowed)
            form.action = QStringLiteral("[object]");
        else
            form.action = f->action.isEmpty() ? url_ : resolve(f->action);
        result.items.append(form);
    }
    return result;
}

DomList<DomElement> FakeDocument::elementsByTagName(const QString& tag)
{
    enter();
    DomList<DomElement> result{url_, {}};
    for (const Node& n : nodes_) {
        if (n.tag == tag.toUpper())
            result.items.append(view(n));
    }
    return result;
}

QString FakeDocument::markup()
{
    enter();
    return markup_;
}

void FakeDocument::queue(std::function<void()> write)
{
    if (gone_)
        fail(QStringLiteral("the document is gone"));
    queued_.push_back(std::move(write));
}

void FakeDocument::setValue(ElementId element, const QString& value)
{
    queue([this, element, value] {
        writable(element).element.value = value;
        log_ << QStringLiteral("value %1=%2").arg(describe(element), value);
    });
}

void FakeDocument::setChecked(ElementId element, bool checked)
{
    queue([this, element, checked] {
        writable(element).element.checked = checked;
        log_ << QStringLiteral("checked %1=%2").arg(describe(element), checked ? "true" : "false");
    });
}

void FakeDocument::setOptionSelected(ElementId select, int optionIndex, bool selected)
{
    queue([this, select, optionIndex, selected] {
        Node& n = writable(select);
        QList<DomOption>& options = n.element.options;
        if (n.tag != QLatin1String("SELECT") || optionIndex < 0 || optionIndex >= options.size())
            fail(QStringLiteral("element %1 has no option %2").arg(select).arg(optionIndex));
        options[optionIndex].selected = selected;
        log_ << QStringLiteral("option %1[%2]=%3")
                    .arg(describe(select))
                    .arg(optionIndex)
                    .arg(selected ? "true" : "false");
    });
}

void FakeDocument::click(ElementId element)
{
    enter();
    const auto has = [element](const std::vector<Link>& list) {
        return std::any_of(list.cbegin(), list.cend(),
                           [element](const Link& l) { return l.handle == element; });
    };
    const bool known = findNode(element) || has(images_) || has(links_);
    if (!known)
        fail(QStringLiteral("element %1 cannot be clicked").arg(element));
    log_ << QStringLiteral("click %1").arg(describe(element));
    if (const auto run = clickActions_.value(element))
        run();
}

void FakeDocument::flush()
{
    enter();
}

} // namespace brackenly
