#pragma once

#include "dom.h"

#include <QStringList>

namespace brackenly {

class FillHost;
struct RecordedPage;

inline const QString kAutoClickFailedText =
    QStringLiteral("System is unable to do auto-click, please perform click manually!");

// Submits a form that was just filled by clicking a control of its page, as a user would.
class AutoClicker
{
public:
    explicit AutoClicker(FillHost& host) : host_(host) {}

    // Clicks the form's first "submit" element, or else falls back to AutoClickImageButton.
    // A failing submit click raises; the fallback never does.
    void ClickFilledForm(Document& document, const DomForm& form, const QStringList& postNames,
                         const RecordedPage& page);

    // Clicks the first image input with a picture that stands, anywhere in the document,
    // after a text field named in the recording (postNames as recorded, not decoded).
    // Without one, the status bar asks the user to click. Failures, and a document no longer
    // at an address `page` allows, end it quietly.
    void AutoClickImageButton(Document& document, const QStringList& postNames,
                              const RecordedPage& page);

private:
    FillHost& host_;
};

} // namespace brackenly
