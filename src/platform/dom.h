#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace brackenly {

// Handle of a live element in its document. It stays valid while the element lives;
// using it after the element or its document is gone raises EngineError.
using ElementId = qint64;

struct DomImage
{
    QString src; // resolved address
};

// What a run that also saves the images of today's pages decides on, as the document has
// it: the decisions are the harvest's (ModernImages).
struct DomImageSource
{
    enum class Kind
    {
        Src,        // img.src, resolved
        Srcset,     // a srcset or data-srcset attribute as written
        Lazy,       // a data-src, data-original or data-lazy-src attribute as written
        Background, // a computed background-image value
    };
    Kind kind = Kind::Src;
    QString value;
    int width = 0; // Src: the loaded picture's size; 0 while it has none
    int height = 0;
};

struct DomImageSources
{
    QString base;                // the document's base address, for the values as written
    QList<DomImageSource> items; // document order
};

// One step down a document: whether its end is reached now, and how many different image
// addresses it showed just before the step.
struct DomScroll
{
    bool atEnd = true;
    int images = 0;
};

struct DomLink
{
    ElementId handle = 0;
    QString href;      // resolved address
    QString innerHtml; // inner markup as written
    QString text;      // the link's default text value: its resolved address
};

struct DomOption
{
    QString text;
    QString value;
    bool selected = false;
};

struct DomElement
{
    ElementId handle = 0;
    QString type; // HTML type, any letter case ("text", "select-one", ...)
    QString name;
    QString value;
    bool checked = false;
    QString src; // image inputs: resolved address of the picture, "" without one
    QList<DomOption> options;
};

struct DomForm
{
    ElementId handle = 0;
    QString action; // "[object]" when a field named "action" hides the attribute
    QString id;
    QString target;             // target frame name
    QList<DomElement> elements; // field order
};

// Items read in one round trip, with the address their document had at that moment.
template <typename Item> struct DomList
{
    QString url;
    QList<Item> items;
};

// One document (the top one or a frame's), read and written through the engine.
// Collection reads cost one engine round trip each, however many items they hold.
// Every member may raise EngineError.
class Document
{
public:
    virtual ~Document() = default;

    virtual QString url() = 0;
    virtual int frameCount() = 0;
    // The document of frame i of this document; raises for a refused frame.
    virtual std::shared_ptr<Document> frame(int index) = 0;

    virtual QList<DomImage> images() = 0;
    virtual QList<DomLink> links() = 0;
    // Every image source of the document in one round trip. A document that knows only
    // img.src gives those.
    virtual DomImageSources imageSources()
    {
        DomImageSources sources{url(), {}};
        for (const DomImage& image : images())
            sources.items.append({DomImageSource::Kind::Src, image.src});
        return sources;
    }
    // Scrolls one screen further down, and each element that scrolls on its own; a document
    // that cannot scroll is at its end.
    virtual DomScroll scrollDown() { return {}; }
    // The forms with the controls a form submits (input, button, select, textarea) as elements.
    virtual DomList<DomForm> forms() = 0;
    // getElementsByTagName: every element of that tag in document order ("INPUT").
    virtual DomList<DomElement> elementsByTagName(const QString& tag) = 0;
    // documentElement.innerHTML: the markup of the whole document.
    virtual QString markup() = 0;

    // Writes act as a user's edit would (the page sees input and change events).
    // They may be batched: a failure can surface at the next read, click or flush().
    virtual void setValue(ElementId element, const QString& value) = 0;
    virtual void setChecked(ElementId element, bool checked) = 0;
    virtual void setOptionSelected(ElementId select, int optionIndex, bool selected) = 0;
    // Acts as the user's click; may navigate or raise NewWindow2.
    virtual void click(ElementId element) = 0;
    // Sends pending writes now.
    virtual void flush() = 0;
};

} // namespace brackenly
