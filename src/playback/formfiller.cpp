#include "formfiller.h"

#include "autoclicker.h"
#include "fillhost.h"
#include "formtext.h"
#include "postpairs.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>

namespace brackenly {

namespace {

// The window went away while the fill waited for events.
struct HostGone
{
};

void processEvents(const QPointer<QWidget>& window)
{
    QCoreApplication::processEvents();
    if (!window)
        throw HostGone{};
}

} // namespace

bool RecordedPage::allows(const QString& address) const
{
    return MayFillAt(url, address, frame);
}

void FormFiller::FillDocument(const FrameRef& pDisp, const QString& mode, const QString& recordUrl,
                              const QString& action, const QString& postData)
{
    // Only locals from here on: the owner of this filler may go with its window.
    FillHost& host = host_;
    const QPointer<QWidget> window(host.window());
    const RecordedPage page{recordUrl, false};
    if (!HasOwnOrigin(recordUrl))
        return;
    try {
        // Raises once another document stands where pDisp completed.
        const std::shared_ptr<Document> top = pDisp.document();
        const int frames = top->frameCount();
        if (frames == 0) {
            FormFiller(host).FillForms(mode, *top, page, action, postData);
            return;
        }
        for (int i = 0; i < frames; ++i) {
            try {
                const std::shared_ptr<Document> frame = top->frame(i);
                if (FormFiller(host).FillForms(mode, *frame, {recordUrl, true}, action, postData))
                    return;
            } catch (const std::exception&) {
                // A frame that may not be read: try the next one.
            }
            if (!window)
                return;
        }
        FormFiller(host).FillForms(mode, *top, page, action, postData);
    } catch (const std::exception&) {
        // No document to fill: nothing happens.
    }
}

bool FormFiller::FillForms(const QString& mode, Document& document, const RecordedPage& page,
                           const QString& action, const QString& postData)
{
    if (mode != kFillModeWrite)
        return false;
    // Only locals from here on: the owner of this filler may go with its window.
    FillHost& host = host_;
    const QPointer<QWidget> window(host.window());
    try {
        const PostPairs pairs(postData);
        DomForm form;
        FormResult result = runPass(Pass::FileName, document, page, action, pairs, window, form);
        // A form that matched by file name but was rejected still ends the search.
        if (result == FormResult::NoMatch)
            result = runPass(Pass::PageName, document, page, action, pairs, window, form);
        if (result != FormResult::Filled || !window)
            return false;
        if (!host.autoClickChecked()) {
            document.flush();
            return true;
        }
        // Only the submit click sends the writes itself; the fallback must see them fail here.
        const bool hasSubmit =
            std::any_of(form.elements.cbegin(), form.elements.cend(), [](const DomElement& e) {
                return e.type.compare(QLatin1String("submit"), Qt::CaseInsensitive) == 0;
            });
        if (!hasSubmit)
            document.flush();
        if (!window)
            return false;
        AutoClicker(host).ClickFilledForm(document, form, pairs.PostNames(), page);
        return true;
    } catch (const HostGone&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

FormFiller::FormResult FormFiller::runPass(Pass pass, Document& document, const RecordedPage& page,
                                           const QString& action, const PostPairs& pairs,
                                           const QPointer<QWidget>& window, DomForm& filled)
{
    bool matched = false;
    const DomList<DomForm> forms = document.forms();
    // The document may have gone on to another address since it completed.
    if (!page.allows(forms.url))
        return FormResult::Rejected;
    for (const DomForm& form : forms.items) {
        const QString formAction = actionOf(document, form);
        const bool same = pass == Pass::FileName ? SameFileName(action, formAction)
                                                 : SamePageName(action, formAction);
        if (same) {
            matched = true;
            if (fillFields(document, form, pairs, window)) {
                filled = form;
                return FormResult::Filled;
            }
        }
        processEvents(window);
    }
    return matched ? FormResult::Rejected : FormResult::NoMatch;
}

QString FormFiller::actionOf(Document& document, const DomForm& form)
{
    // A field named "action" hides the attribute; the markup still has it.
    if (form.action != QLatin1String("[object]"))
        return form.action;
    const QString fromMarkup = FindFormAction(document.markup(), form.id);
    return fromMarkup.isEmpty() ? form.action : fromMarkup;
}

bool FormFiller::fillFields(Document& document, const DomForm& form, const PostPairs& pairs,
                            const QPointer<QWidget>& window)
{
    for (qsizetype i = 0; i < form.elements.size(); ++i) {
        const DomElement& element = form.elements.at(i);
        const QString name = element.name.toLower();
        if (i == 0 && !pairs.LookupPostValue(name).found)
            return false;
        applyRule(document, element, name, pairs);
        processEvents(window);
    }
    return true;
}

void FormFiller::applyRule(Document& document, const DomElement& element, const QString& name,
                           const PostPairs& pairs)
{
    const QString type = element.type.toLower();
    if (type == QLatin1String("text") || type == QLatin1String("textarea") ||
        type == QLatin1String("password")) {
        // Not recorded: the field is emptied.
        document.setValue(element.handle, pairs.LookupPostValue(name).value);
    } else if (type == QLatin1String("select-one")) {
        const PostPairs::Lookup recorded = pairs.LookupPostValue(name);
        for (qsizetype o = 0; o < element.options.size(); ++o) {
            if (element.options.at(o).text == recorded.value) {
                document.setOptionSelected(element.handle, int(o), true);
                break;
            }
        }
    } else if (type == QLatin1String("radio") || type == QLatin1String("checkbox")) {
        // Never unchecks; a box that was not recorded keeps its state.
        const PostPairs::Lookup recorded = pairs.LookupPostValue(name);
        if (recorded.found && element.value == recorded.value)
            document.setChecked(element.handle, true);
    } else if (type == QLatin1String("select-multiple")) {
        const PostPairs::Collected recorded = pairs.CollectPostValues(name);
        if (!recorded.found)
            return;
        for (const QString& value : recorded.values) {
            for (qsizetype o = 0; o < element.options.size(); ++o) {
                if (element.options.at(o).value == value)
                    document.setOptionSelected(element.handle, int(o), true);
            }
        }
    }
}

} // namespace brackenly
