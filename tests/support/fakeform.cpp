#include "fakeform.h"

#include "fakedocument.h"

namespace brackenly {

ElementId FakeForm::addElement(const DomElement& element)
{
    return document_->insertElement(handle_, element);
}

ElementId FakeForm::add(const QString& type, const QString& name, const QString& value,
                        bool checked)
{
    DomElement element;
    element.type = type;
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

} // namespace brackenly
