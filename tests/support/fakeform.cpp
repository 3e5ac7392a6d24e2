#include "fakeform.h"

#include "fakedocument.h"

namespace brackenly {

FakeForm::FakeForm(FakeDocument* document, ElementId handle, QString action, QString id,
                   QString target)
    : document_(document), handle_(handle), action_(std::move(action)), id_(std::move(id)),
      target_(std::move(target))
{
}

FakeForm& FakeForm::setAction(const QString& action)
{
    action_ = action;
    return *this;
}

FakeForm& FakeForm::setId(const QString& id)
{
    id_ = id;
    return *this;
}

FakeForm& FakeForm::setTarget(const QString& target)
{
    target_ = target;
    return *this;
}

ElementId FakeForm::add(const QString& type, const QString& name, const QString& value)
{
    DomElement element;
    element.type = type;
    element.name = name;
    element.value = value;
    return addElement(element);
}

ElementId FakeForm::addElement(const DomElement& element, const QString& tag)
{
    return document_->insertElement(handle_, element, tag);
}

ElementId FakeForm::addText(const QString& name, const QString& value)
{
    return add(QStringLiteral("text"), name, value);
}

ElementId FakeForm::addPassword(const QString& name, const QString& value)
{
    return add(QStringLiteral("password"), name, value);
}

ElementId FakeForm::addHidden(const QString& name, const QString& value)
{
    return add(QStringLiteral("hidden"), name, value);
}

ElementId FakeForm::addTextarea(const QString& name, const QString& value)
{
    return add(QStringLiteral("textarea"), name, value);
}

ElementId FakeForm::addCheckbox(const QString& name, const QString& value, bool checked)
{
    DomElement element;
    element.type = QStringLiteral("checkbox");
    element.name = name;
    element.value = value;
    element.checked = checked;
    return addElement(element);
}

ElementId FakeForm::addRadio(const QString& name, const QString& value, bool checked)
{
    DomElement element;
    element.type = QStringLiteral("radio");
    element.name = name;
    element.value = value;
    element.checked = checked;
    return addElement(element);
}

ElementId FakeForm::addSelect(const QString& name, const QList<DomOption>& options, bool multiple)
{
    DomElement element;
    element.type = multiple ? QStringLiteral("select-multiple") : QStringLiteral("select-one");
    element.name = name;
    element.options = options;
    return addElement(element);
}

ElementId FakeForm::addSubmit(const QString& name, const QString& value)
{
    return add(QStringLiteral("submit"), name, value);
}

ElementId FakeForm::addImageButton(const QString& name, const QString& src)
{
    DomElement element;
    element.type = QStringLiteral("image");
    element.name = name;
    element.src = src;
    return addElement(element);
}

ElementId FakeForm::addButton(const QString& name, const QString& value)
{
    return add(QStringLiteral("button"), name, value);
}

} // namespace brackenly
