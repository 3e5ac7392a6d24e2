#pragma once

#include "browser.h"
#include "dom.h"

#include <QPointer>
#include <QString>

class QWidget;

namespace brackenly {

class FillHost;
class PostPairs;

// Write the recorded values into the page: the only fill mode there is.
inline const QString kFillModeWrite = QStringLiteral("WRITE");

// The page a recording was made on, as a document being filled must still show it (see
// MayFillAt).
struct RecordedPage
{
    QString url;        // the record's Url
    bool frame = false; // the document is a frame of the one that completed
    bool allows(const QString& address) const;
};

// Finds the form a recorded submission came from and writes the recorded values back into
// its fields; with auto click on, submits it. Keeps no state between calls, so a fill started
// while another one waits for events does not disturb it.
class FormFiller
{
public:
    explicit FormFiller(FillHost& host) : host_(host) {}

    // Tries the first level of frames in order, then the top document. Fills only the
    // document that completed as pDisp (and its frames), while it still shows recordUrl.
    // Never raises.
    void FillDocument(const FrameRef& pDisp, const QString& mode, const QString& recordUrl,
                      const QString& action, const QString& postData);

    // True when a form was filled (whether or not it could be submitted). Fills nothing
    // unless the address read with the forms is one `page` allows. Never raises.
    bool FillForms(const QString& mode, Document& document, const RecordedPage& page,
                   const QString& action, const QString& postData);

private:
    enum class FormResult
    {
        NoMatch,
        Rejected,
        Filled
    };
    enum class Pass
    {
        FileName,
        PageName
    };

    // Runs one pass over the forms; a filled form is returned through filled.
    static FormResult runPass(Pass pass, Document& document, const RecordedPage& page,
                              const QString& action, const PostPairs& pairs,
                              const QPointer<QWidget>& window,
                              DomForm& filled);
    // False when the form was rejected (its first field is not recorded).
    static bool fillFields(Document& document, const DomForm& form, const PostPairs& pairs,
                           const QPointer<QWidget>& window);
    static void applyRule(Document& document, const DomElement& element, const QString& name,
                          const PostPairs& pairs);
    static QString actionOf(Document& document, const DomForm& form);

    FillHost& host_;
};

} // namespace brackenly
