#pragma once

#include "dom.h"

#include <QList>
#include <QString>

namespace brackenly {

class FakeDocument;

// Builder handle of one form of a FakeDocument; lives as long as its document. The adders
// append to the form's fields and to the document order.
class FakeForm
{
public:
    FakeForm(FakeDocument* document, ElementId handle, QString action, QString id)
        : document_(document), handle_(handle), action_(std::move(action)), id_(std::move(id))
    {
    }
    FakeForm(const FakeForm&) = delete;
    FakeForm& operator=(const FakeForm&) = delete;

    ElementId handle() const { return handle_; }
    // As written: relative ones resolve against the document's address, "" reads as it.
    QString action() const { return action_; }
    QString id() const { return id_; }

    // Any field; the tag follows the type (select-* SELECT, textarea TEXTAREA, else INPUT).
    ElementId addElement(const DomElement& element);
    ElementId add(const QString& type, const QString& name, const QString& value = {},
                  bool checked = false);
    // Options as {text, value[, selected]}. A single-choice list with nothing selected shows
    // its first option selected, as a real one does.
    ElementId addSelect(const QString& name, const QList<DomOption>& options,
                        bool multiple = false);

private:
    FakeDocument* document_;
    ElementId handle_;
    QString action_;
    QString id_;
};

} // namespace brackenly
