#include "fakedocument.h"

#include "engineerror.h"

#include <QUrl>
#include <algorithm>
#include <atomic>

namespace brackenly {

namespace {

ElementId nextHandle()
{
    static std::atomic<ElementId> next{1000};
    return next++;
}

QString tagFor(const DomElement& element, const QString& tag)
{
    if (!tag.isEmpty())
        return tag.toUpper();
    const QString type = element.type.toLower();
    if (type.startsWith(QLatin1String("select")))
        return QStringLiteral("SELECT");
    if (type == QLatin1String("textarea"))
        return QStringLiteral("TEXTAREA");
    return QStringLiteral("INPUT");
}

bool isType(const DomElement& element, QLatin1String type)
{
    return element.type.compare(type, Qt::CaseInsensitive) == 0;
}

[[noreturn]] void fail(const QString& what)
{
    throw EngineError(QStringLiteral("fake document: ") + what);
}

} // namespace

FakeDocument::FakeDocument(const QString& url) : url_(url) {}

FakeDocument::~FakeDocument() = default;

std::shared_ptr<FakeDocument> FakeDocument::create(const QString& url)
{
    return std::make_shared<FakeDocument>(url);
}

FakeForm& FakeDocument::addForm(const QString& action, const QString& id, const QString& target)
{
    forms_.push_back(std::make_unique<FakeForm>(this, nextHandle(), action, id, target));
    return *forms_.back();
}

ElementId FakeDocument::addInput(const QString& type, const QString& name, const QString& value)
{
    DomElement element;
    element.type = type;
    element.name = name;
    element.value = value;
    return addLooseElement(element);
}

ElementId FakeDocument::addLooseElement(const DomElement& element, const QString& tag)
{
    return insertElement(0, element, tag);
}

ElementId FakeDocument::insertElement(ElementId form, const DomElement& element, const QString& tag)
{
    Node node{form, tagFor(element, tag), element};
    node.element.handle = nextHandle();
    if (isType(node.element, QLatin1String("select-one")))
        keepOneSelected(node.element);
    nodes_.push_back(node);
    return node.element.handle;
}

ElementId FakeDocument::addImage(const QString& src)
{
    const ElementId handle = nextHandle();
    images_.append({handle, src});
    return handle;
}

ElementId FakeDocument::addLink(const QString& href, const QString& innerHtml,
                                std::optional<QString> text)
{
    const ElementId handle = nextHandle();
    links_.push_back({handle, href, innerHtml, std::move(text)});
    return handle;
}

std::shared_ptr<FakeDocument> FakeDocument::addFrame(const QString& url)
{
    return addFrame(create(url));
}

std::shared_ptr<FakeDocument> FakeDocument::addFrame(std::shared_ptr<FakeDocument> child)
{
    frames_.push_back({child, false});
    return child;
}

std::shared_ptr<FakeDocument> FakeDocument::addRefusedFrame(const QString& url)
{
    auto child = addFrame(url);
    frames_.back().refused = true;
    return child;
}

void FakeDocument::setFrameRefused(int index, bool refused)
{
    frames_.at(size_t(index)).refused = refused;
}

void FakeDocument::remove(ElementId handle)
{
    auto form = std::find_if(forms_.begin(), forms_.end(),
                             [&](const auto& f) { return f->handle() == handle; });
    if (form != forms_.end()) {
        std::erase_if(nodes_, [&](const Node& n) { return n.form == handle; });
        forms_.erase(form);
        return;
    }
    const auto before = nodes_.size() + size_t(images_.size()) + links_.size();
    std::erase_if(nodes_, [&](const Node& n) { return n.element.handle == handle; });
    images_.removeIf([&](const auto& image) { return image.first == handle; });
    std::erase_if(links_, [&](const Link& l) { return l.handle == handle; });
    if (before == nodes_.size() + size_t(images_.size()) + links_.size())
        fail(QStringLiteral("no element %1 to remove").arg(handle));
}

FakeForm& FakeDocument::form(int index)
{
    return *forms_.at(size_t(index));
}

std::shared_ptr<FakeDocument> FakeDocument::child(int index) const
{
    if (index < 0 || size_t(index) >= frames_.size())
        return nullptr;
    return frames_[size_t(index)].document;
}

bool FakeDocument::isRefused(int index) const
{
    return frames_.at(size_t(index)).refused;
}

ElementId FakeDocument::find(const QString& name, int nth) const
{
    for (const Node& n : nodes_) {
        if (n.element.name == name && nth-- == 0)
            return n.element.handle;
    }
    return 0;
}

DomElement FakeDocument::peek(ElementId handle) const
{
    const Node* n = findNode(handle);
    if (!n)
        fail(QStringLiteral("no element %1").arg(handle));
    return view(*n);
}

QStringList FakeDocument::writeLog() const
{
    QStringList log;
    for (const DomWrite& w : writes_) {
        const QString who = describe(w.handle);
        const QString flag = w.flag ? QStringLiteral("true") : QStringLiteral("false");
        switch (w.what) {
        case DomWrite::Value:
            log << QStringLiteral("value %1=%2").arg(who, w.value);
            break;
        case DomWrite::Checked:
            log << QStringLiteral("checked %1=%2").arg(who, flag);
            break;
        case DomWrite::OptionSelected:
            log << QStringLiteral("option %1[%2]=%3").arg(who).arg(w.option).arg(flag);
            break;
        case DomWrite::Click:
            log << QStringLiteral("click %1").arg(who);
            break;
        }
    }
    return log;
}

void FakeDocument::onClick(ElementId handle, std::function<void()> action)
{
    clickActions_[handle] = std::move(action);
}

int FakeDocument::calls(DomCall member) const
{
    const auto it = calls_.find(member);
    return it == calls_.end() ? 0 : it->second;
}

void FakeDocument::resetCalls()
{
    calls_.clear();
    totalCalls_ = 0;
}

void FakeDocument::failOn(DomCall member, int nth)
{
    failRules_.push_back({member, std::max(0, nth)});
}

void FakeDocument::failAfter(int calls)
{
    budget_ = std::max(0, calls);
}

void FakeDocument::refuseElement(ElementId handle)
{
    refused_.insert(handle);
}

void FakeDocument::clearFaults()
{
    failRules_.clear();
    budget_.reset();
    refused_.clear();
    hook_ = nullptr;
}

void FakeDocument::enter(DomCall member, ElementId handle)
{
    ++calls_[member];
    ++totalCalls_;
    if (hook_) {
        auto hook = hook_;
        hook(member, handle);
    }
    for (auto it = failRules_.begin(); it != failRules_.end(); ++it) {
        if (it->member != member)
            continue;
        if (it->remaining == 0)
            fail(QStringLiteral("%1 failed (injected)").arg(QLatin1String(domCallName(member))));
        if (--it->remaining == 0) {
            failRules_.erase(it);
            fail(QStringLiteral("%1 failed (injected)").arg(QLatin1String(domCallName(member))));
        }
    }
    if (budget_) {
        if (*budget_ == 0)
            fail(QStringLiteral("the page is gone (injected)"));
        --*budget_;
    }
}

FakeDocument::Node& FakeDocument::node(ElementId handle)
{
    for (Node& n : nodes_) {
        if (n.element.handle == handle)
            return n;
    }
    fail(QStringLiteral("no element %1").arg(handle));
}

const FakeDocument::Node* FakeDocument::findNode(ElementId handle) const
{
    for (const Node& n : nodes_) {
        if (n.element.handle == handle)
            return &n;
    }
    return nullptr;
}

bool FakeDocument::exists(ElementId handle) const
{
    return findNode(handle) ||
           std::any_of(images_.begin(), images_.end(),
                       [&](const auto& image) { return image.first == handle; }) ||
           std::any_of(links_.begin(), links_.end(),
                       [&](const Link& l) { return l.handle == handle; });
}

QString FakeDocument::resolve(const QString& address) const
{
    if (address.isEmpty())
        return address;
    const QUrl relative(address);
    const QUrl base(url_);
    if (!relative.isRelative() || !base.isValid() || base.isRelative())
        return address;
    return base.resolved(relative).toString(QUrl::FullyEncoded);
}

DomElement FakeDocument::view(const Node& n) const
{
    DomElement element = n.element;
    element.src = resolve(element.src);
    if (n.tag == QLatin1String("SELECT")) {
        const auto selected = std::find_if(element.options.cbegin(), element.options.cend(),
                                           [](const DomOption& o) { return o.selected; });
        element.value = selected == element.options.cend() ? QString() : selected->value;
    }
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

// A single-choice list always shows one option selected: the first one when none is.
void FakeDocument::keepOneSelected(DomElement& select)
{
    if (select.options.isEmpty())
        return;
    if (std::none_of(select.options.cbegin(), select.options.cend(),
                     [](const DomOption& o) { return o.selected; }))
        select.options.first().selected = true;
}

QString FakeDocument::url()
{
    enter(DomCall::Url);
    return url_;
}

int FakeDocument::frameCount()
{
    enter(DomCall::FrameCount);
    return int(frames_.size());
}

std::shared_ptr<Document> FakeDocument::frame(int index)
{
    enter(DomCall::Frame);
    if (index < 0 || size_t(index) >= frames_.size())
        fail(QStringLiteral("no frame %1").arg(index));
    if (frames_[size_t(index)].refused)
        fail(QStringLiteral("frame %1 refused").arg(index));
    return frames_[size_t(index)].document;
}

QList<DomImage> FakeDocument::images()
{
    enter(DomCall::Images);
    QList<DomImage> result;
    for (const auto& image : images_)
        result.append({resolve(image.second)});
    return result;
}

QList<DomLink> FakeDocument::links()
{
    enter(DomCall::Links);
    QList<DomLink> result;
    for (const Link& l : links_) {
        const QString href = resolve(l.href);
        result.append({l.handle, href, l.innerHtml, l.text.value_or(href)});
    }
    return result;
}

QList<DomForm> FakeDocument::forms()
{
    enter(DomCall::Forms);
    QList<DomForm> result;
    for (const auto& f : forms_) {
        DomForm form;
        form.handle = f->handle();
        form.id = f->id();
        form.target = f->target();
        bool shadowed = false;
        for (const Node& n : nodes_) {
            if (n.form != form.handle)
                continue;
            // A field named "action" hides the attribute of a real form.
            shadowed = shadowed || n.element.name == QLatin1String("action");
            // A real form's elements leave image inputs out.
            if (n.tag == QLatin1String("INPUT") && isType(n.element, QLatin1String("image")))
                continue;
            form.elements.append(view(n));
        }
        if (shadowed)
            form.action = QStringLiteral("[object]");
        else
            form.action = f->actionAttribute().isEmpty() ? url_ : resolve(f->actionAttribute());
        result.append(form);
    }
    return result;
}

QList<DomElement> FakeDocument::elementsByTagName(const QString& tag)
{
    enter(DomCall::ElementsByTagName);
    const QString wanted = tag.toUpper();
    QList<DomElement> result;
    for (const Node& n : nodes_) {
        if (n.tag == wanted)
            result.append(view(n));
    }
    return result;
}

QString FakeDocument::markup()
{
    enter(DomCall::Markup);
    return markup_;
}

void FakeDocument::setValue(ElementId element, const QString& value)
{
    enter(DomCall::SetValue, element);
    Node& n = node(element);
    if (refused_.contains(element))
        fail(QStringLiteral("element %1 refused the value").arg(element));
    if (n.tag == QLatin1String("SELECT")) {
        // A list's value selects the first option with that value, or none.
        bool found = false;
        for (DomOption& option : n.element.options) {
            option.selected = !found && option.value == value;
            found = found || option.selected;
        }
    } else {
        n.element.value = value;
    }
    record({element, DomWrite::Value, value, false, -1});
}

void FakeDocument::setChecked(ElementId element, bool checked)
{
    enter(DomCall::SetChecked, element);
    Node& n = node(element);
    if (refused_.contains(element))
        fail(QStringLiteral("element %1 refused the check").arg(element));
    if (n.tag == QLatin1String("INPUT")) {
        // Checking a radio button unchecks the rest of its group (same form, same name).
        if (checked && isType(n.element, QLatin1String("radio")) && !n.element.name.isEmpty()) {
            for (Node& other : nodes_) {
                if (other.form == n.form && other.element.name == n.element.name &&
                    isType(other.element, QLatin1String("radio")))
                    other.element.checked = false;
            }
        }
        n.element.checked = checked;
    }
    record({element, DomWrite::Checked, {}, checked, -1});
}

void FakeDocument::setOptionSelected(ElementId select, int optionIndex, bool selected)
{
    enter(DomCall::SetOptionSelected, select);
    Node& n = node(select);
    if (refused_.contains(select))
        fail(QStringLiteral("element %1 refused the selection").arg(select));
    if (n.tag != QLatin1String("SELECT"))
        fail(QStringLiteral("element %1 has no options").arg(select));
    QList<DomOption>& options = n.element.options;
    if (optionIndex < 0 || optionIndex >= options.size())
        fail(QStringLiteral("element %1 has no option %2").arg(select).arg(optionIndex));
    const bool single = !isType(n.element, QLatin1String("select-multiple"));
    if (selected && single) {
        for (DomOption& option : options)
            option.selected = false;
    }
    options[optionIndex].selected = selected;
    if (isType(n.element, QLatin1String("select-one")))
        keepOneSelected(n.element);
    record({select, DomWrite::OptionSelected, {}, selected, optionIndex});
}

void FakeDocument::click(ElementId element)
{
    enter(DomCall::Click, element);
    if (!exists(element))
        fail(QStringLiteral("no element %1").arg(element));
    if (refused_.contains(element))
        fail(QStringLiteral("element %1 refused the click").arg(element));
    record({element, DomWrite::Click, {}, false, -1});
    const auto action = clickActions_.find(element);
    if (action != clickActions_.end()) {
        auto run = action->second;
        run();
    }
}

void FakeDocument::flush()
{
    enter(DomCall::Flush);
}

} // namespace brackenly
