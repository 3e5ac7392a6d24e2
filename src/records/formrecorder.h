#pragma once

#include "browser.h"
#include "record.h"

#include <QObject>
#include <QPointer>

class QAction;

namespace brackenly {

class RecordList;
struct RecordCounters;

// The temporary record of a submitted form: a "Form" record named later ("*sysgen*"), at
// the address of the document that holds the form, with its fields as post data.
Record RecordFromSubmission(const FormSubmission& submission);

// Appends every form submission of a browser to the temporary list while the window's
// "Auto Record Form" mark is checked.
class FormRecorder : public QObject
{
    Q_OBJECT
public:
    // The browser, the mark and the list must outlive the recorder or be deleted before it
    // (a deleted one stops the recording); counters belong to the list's window.
    FormRecorder(Browser& browser, QAction& autoRecord, RecordList& temporary,
                 RecordCounters& counters, QObject* parent = nullptr);

private:
    void record(const FormSubmission& submission);

    QPointer<QAction> autoRecord_;
    QPointer<RecordList> temporary_;
    RecordCounters& counters_;
};

} // namespace brackenly
