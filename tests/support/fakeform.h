#pragma once

#include "dom.h"

#include <QList>
#include <QString>

namespace brackenly {

class FakeDocument;

// Builder handle of one form of a FakeDocument. Lives as long as its document; the
// adders append to the form's fields and to the document order and return the handle.
class FakeForm
{
public:
    FakeForm(FakeDocument* document, ElementId handle, QString action, QString id, QString target);
    FakeForm(const FakeForm&) = delete;
    FakeForm& operator=(const FakeForm&) = delete;

    ElementId handle() const { return handle_; }
    // The action as written; relative ones resolve against the document's address, an empty
    // one reads as the document's address (as a real form's action does).
    QString actionAttribute() const { return action_; }
    QString id() const { return id_; }
    QString target() const { return target_; }
    FakeForm& setAction(const QString& action);
    FakeForm& setId(const QString& id);
    FakeForm& setTarget(const QString& target);

    // Any field; an empty tag is taken from the type (select-* -> SELECT, textarea ->
    // TEXTAREA, everything else INPUT).
    ElementId add(const QString& type, const QString& name, const QString& value = {});
    ElementId addElement(const DomElement& element, const QString& tag = {});

    ElementId addText(const QString& name, const QString& value = {});
    ElementId addPassword(const QString& name, const QString& value = {});
    ElementId addHidden(const QString& name, const QString& value = {});
    ElementId addTextarea(const QString& name, const QString& value = {});
    ElementId addCheckbox(const QString& name, const QString& value = QStringLiteral("on"),
                          bool checked = false);
    ElementId addRadio(const QString& name, const QString& value, bool checked = false);
    // Options as {text, value[, selected]}. A single-choice list with nothing selected shows
    // its first option selected, as a real one does.
    ElementId addSelect(const QString& name, const QList<DomOption>& options,
                        bool multiple = false);
    ElementId addSubmit(const QString& name = {}, const QString& value = QStringLiteral("Submit"));
    // An image input; "" src is one without a picture. Not listed in forms() elements (a
    // real form's elements leave image inputs out), only in elementsByTagName("INPUT").
    ElementId addImageButton(const QString& name, const QString& src);
    ElementId addButton(const QString& name, const QString& value = {});

private:
    FakeDocument* document_;
    ElementId handle_;
    QString action_;
    QString id_;
    QString target_;
};

} // namespace brackenly
