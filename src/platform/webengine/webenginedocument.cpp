#include "webenginedocument.h"

#include "completedtop.h"
#include "engineerror.h"
#include "webenginebrowser.h"

#include <QJsonArray>
#include <QJsonObject>

namespace brackenly {

namespace {

// The helper's answers are compact: one-letter keys, and arrays for the plentiful items.

ElementId handleFrom(const QJsonValue& value)
{
    return ElementId(value.toDouble());
}

DomElement elementFrom(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    DomElement element;
    element.handle = handleFrom(object.value(QLatin1String("i")));
    element.type = object.value(QLatin1String("t")).toString();
    element.name = object.value(QLatin1String("n")).toString();
    element.value = object.value(QLatin1String("v")).toString();
    element.checked = object.value(QLatin1String("c")).toBool();
    element.src = object.value(QLatin1String("s")).toString();
    const QJsonArray options = object.value(QLatin1String("o")).toArray();
    element.options.reserve(options.size());
    for (const QJsonValue& option : options) {
        const QJsonArray fields = option.toArray();
        element.options.append(
            {fields.at(0).toString(), fields.at(1).toString(), fields.at(2).toBool()});
    }
    return element;
}

QList<DomElement> elementsFrom(const QJsonValue& value)
{
    const QJsonArray array = value.toArray();
    QList<DomElement> elements;
    elements.reserve(array.size());
    for (const QJsonValue& item : array)
        elements.append(elementFrom(item));
    return elements;
}

QJsonObject write(const char* kind, ElementId element)
{
    return {{QLatin1String("k"), QLatin1String(kind)}, {QLatin1String("i"), double(element)}};
}

} // namespace

WebEngineDocument::WebEngineDocument(WebEngineBrowser* browser, QList<int> path, qint64 token,
                                     std::shared_ptr<const CompletedTop> completed)
    : browser_(browser), path_(std::move(path)), token_(token), completed_(std::move(completed))
{
}

const CompletedTop* WebEngineDocument::completed() const
{
    // Queued writes go with the next call, so with writes pending the page is asked.
    if (!completed_ || !completed_->current || browser_.isNull() ||
        browser_->loadGeneration() != completed_->generation || browser_->hasQueuedWrites())
        return nullptr;
    return completed_.get();
}

WebEngineBrowser& WebEngineDocument::browser() const
{
    if (browser_.isNull())
        throw EngineError(QStringLiteral("the browser is gone"));
    return *browser_;
}

QJsonValue WebEngineDocument::call(const QString& op, const QJsonValue& argument)
{
    return browser().call(path_, token_, op, argument);
}

QString WebEngineDocument::url()
{
    return call(QStringLiteral("url")).toString();
}

int WebEngineDocument::frameCount()
{
    if (const CompletedTop* top = completed())
        return top->frames;
    return call(QStringLiteral("frames")).toInt();
}

std::shared_ptr<Document> WebEngineDocument::frame(int index)
{
    if (index < 0)
        throw EngineError(QStringLiteral("there is no frame %1").arg(index));
    // Reached through this document, so a replaced parent fails rather than lending its frame.
    const QJsonValue token = call(QStringLiteral("open"), index);
    return std::make_shared<WebEngineDocument>(&browser(), path_ + QList<int>{index},
                                               qint64(token.toDouble()));
}

QList<DomImage> WebEngineDocument::images()
{
    if (const CompletedTop* top = completed()) {
        QList<DomImage> images;
        images.reserve(top->images.size());
        for (const QString& src : top->images)
            images.append({src});
        return images;
    }
    const QJsonArray array = call(QStringLiteral("images")).toArray();
    QList<DomImage> images;
    images.reserve(array.size());
    for (const QJsonValue& src : array)
        images.append({src.toString()});
    return images;
}

DomImageSources WebEngineDocument::imageSources()
{
    const QJsonArray answer = call(QStringLiteral("sources")).toArray();
    const QJsonArray array = answer.at(1).toArray();
    DomImageSources sources{answer.at(0).toString(), {}};
    sources.items.reserve(array.size());
    for (const QJsonValue& item : array) {
        const QJsonArray fields = item.toArray();
        const QString kind = fields.at(0).toString();
        DomImageSource source;
        source.kind = kind == QLatin1String("s")   ? DomImageSource::Kind::Src
                      : kind == QLatin1String("S") ? DomImageSource::Kind::Srcset
                      : kind == QLatin1String("u") ? DomImageSource::Kind::Lazy
                                                   : DomImageSource::Kind::Background;
        source.value = fields.at(1).toString();
        source.width = fields.at(2).toInt();
        source.height = fields.at(3).toInt();
        sources.items.append(source);
    }
    return sources;
}

DomScroll WebEngineDocument::scrollDown()
{
    const QJsonArray answer = call(QStringLiteral("scroll")).toArray();
    return {answer.at(0).toBool(), answer.at(1).toInt()};
}

QList<DomLink> WebEngineDocument::links()
{
    const QJsonArray array = call(QStringLiteral("links")).toArray();
    QList<DomLink> links;
    links.reserve(array.size());
    for (const QJsonValue& item : array) {
        const QJsonArray fields = item.toArray();
        DomLink link;
        link.handle = handleFrom(fields.at(0));
        link.href = fields.at(1).toString();
        link.innerHtml = fields.at(2).toString();
        link.text = link.href; // a link's default text value is its address
        links.append(link);
    }
    return links;
}

DomList<DomForm> WebEngineDocument::forms()
{
    // The address and the forms, as one answer.
    const QJsonArray answer = call(QStringLiteral("forms")).toArray();
    const QJsonArray array = answer.at(1).toArray();
    DomList<DomForm> forms{answer.at(0).toString(), {}};
    forms.items.reserve(array.size());
    for (const QJsonValue& item : array) {
        const QJsonObject object = item.toObject();
        DomForm form;
        form.handle = handleFrom(object.value(QLatin1String("i")));
        form.action = object.value(QLatin1String("a")).toString();
        form.id = object.value(QLatin1String("d")).toString();
        form.target = object.value(QLatin1String("g")).toString();
        form.elements = elementsFrom(object.value(QLatin1String("e")));
        forms.items.append(form);
    }
    return forms;
}

DomList<DomElement> WebEngineDocument::elementsByTagName(const QString& tag)
{
    const QJsonArray answer = call(QStringLiteral("tags"), tag).toArray();
    return {answer.at(0).toString(), elementsFrom(answer.at(1))};
}

QString WebEngineDocument::markup()
{
    return call(QStringLiteral("markup")).toString();
}

void WebEngineDocument::setValue(ElementId element, const QString& value)
{
    QJsonObject entry = write("v", element);
    entry.insert(QLatin1String("s"), value);
    browser().queueWrite(entry);
}

void WebEngineDocument::setChecked(ElementId element, bool checked)
{
    QJsonObject entry = write("c", element);
    entry.insert(QLatin1String("b"), checked);
    browser().queueWrite(entry);
}

void WebEngineDocument::setOptionSelected(ElementId select, int optionIndex, bool selected)
{
    QJsonObject entry = write("o", select);
    entry.insert(QLatin1String("x"), optionIndex);
    entry.insert(QLatin1String("b"), selected);
    browser().queueWrite(entry);
}

void WebEngineDocument::click(ElementId element)
{
    call(QStringLiteral("click"), double(element));
}

void WebEngineDocument::flush()
{
    WebEngineBrowser& owner = browser();
    if (owner.hasQueuedWrites())
        owner.call(path_, token_, QString());
}

} // namespace brackenly
