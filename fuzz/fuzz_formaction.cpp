// FindFormAction and ExtractFormAction: an action written into a form tag, quoted or not,
// is read back exactly, and the form is found by its id behind any markup without forms.

#include "formtext.h"
#include "fuzztext.h"

using namespace brackenly;
using namespace brackenly::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList texts = InputTexts(data, size, 4);
    const QString& before = texts.at(0); // markup before the form
    const QString& action = texts.at(1);
    const QString& id = texts.at(2);
    const ExactText markup(texts.at(3));

    // Anything at all: a found action is text of the markup.
    const QString any = FindFormAction(markup.str(), id);
    FUZZ_CHECK(markup.str().contains(any), markup.str());
    const QString anyTag = ExtractFormAction(markup.str());
    FUZZ_CHECK(markup.str().contains(anyTag), markup.str());

    if (action.contains(u'"') || action.contains(u'>'))
        return 0;
    const ExactText quoted(QStringLiteral("<form method=post action=\"") + action +
                           QStringLiteral("\">"));
    FUZZ_CHECK(ExtractFormAction(quoted.str()) == action, quoted.str());
    if (!action.contains(u' ') && !action.startsWith(u'\'')) {
        const ExactText bare(QStringLiteral("<FORM action=") + action + QStringLiteral(" id=f>"));
        FUZZ_CHECK(ExtractFormAction(bare.str()) == action, bare.str());
    }

    // An id holding "action=" would be read as the attribute: the tag is searched as text.
    if (before.contains(QLatin1String("<form "), Qt::CaseInsensitive) || id.contains(u'"') ||
        id.contains(u'>') || id.contains(QLatin1String("action="), Qt::CaseInsensitive))
        return 0;
    const ExactText page(before + QStringLiteral("<form name=x id=\"") + id +
                         QStringLiteral("\" action=\"") + action + QStringLiteral("\"></form>"));
    FUZZ_CHECK(FindFormAction(page.str(), id) == action, page.str());
    return 0;
}
