#include "autoclicker.h"

#include "fillhost.h"
#include "formfiller.h"

#include <QPointer>
#include <QWidget>

namespace brackenly {

namespace {

bool hasType(const DomElement& element, QLatin1String type)
{
    return element.type.compare(type, Qt::CaseInsensitive) == 0;
}

bool isRecordedName(const QString& name, const QStringList& postNames)
{
    const QString lower = name.toLower();
    for (const QString& recorded : postNames) {
        if (recorded.toLower() == lower)
            return true;
    }
    return false;
}

} // namespace

void AutoClicker::ClickFilledForm(Document& document, const DomForm& form,
                                  const QStringList& postNames, const RecordedPage& page)
{
    for (const DomElement& element : form.elements) {
        if (hasType(element, QLatin1String("submit"))) {
            document.click(element.handle);
            return;
        }
    }
    AutoClickImageButton(document, postNames, page);
}

void AutoClicker::AutoClickImageButton(Document& document, const QStringList& postNames,
                                       const RecordedPage& page)
{
    FillHost& host = host_;
    const QPointer<QWidget> window(host.window());
    try {
        const DomList<DomElement> inputs = document.elementsByTagName(QStringLiteral("INPUT"));
        if (!page.allows(inputs.url))
            return;
        bool seen = false;
        for (const DomElement& input : inputs.items) {
            if (hasType(input, QLatin1String("text"))) {
                seen = seen || isRecordedName(input.name, postNames);
            } else if (hasType(input, QLatin1String("image")) && seen && !input.src.isEmpty()) {
                document.click(input.handle);
                return;
            }
        }
    } catch (const std::exception&) {
        return;
    }
    if (window)
        host.setStatusText(kAutoClickFailedText);
}

} // namespace brackenly
