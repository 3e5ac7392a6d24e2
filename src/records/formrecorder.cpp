#include "formrecorder.h"

#include "recorditems.h"
#include "recordlist.h"
#include "recordtext.h"

#include <QAction>

namespace brackenly {

Record RecordFromSubmission(const FormSubmission& submission)
{
    Record record;
    record.Type = QStringLiteral("Form");
    record.Session = kSysgenName;
    record.Url = submission.url;
    record.Action = submission.action;
    record.Postdata = EncodePostData(submission.fields);
    record.Frame = submission.target;
    return record;
}

FormRecorder::FormRecorder(Browser& browser, QAction& autoRecord, RecordList& temporary,
                           RecordCounters& counters, QObject* parent)
    : QObject(parent), autoRecord_(&autoRecord), temporary_(&temporary), counters_(counters)
{
    connect(&browser, &Browser::FormSubmitted, this, &FormRecorder::record);
}

void FormRecorder::record(const FormSubmission& submission)
{
    if (autoRecord_.isNull() || temporary_.isNull() || !autoRecord_->isChecked())
        return;
    // A second submission of the same page stays in the list without a key, as AddRecord
    // leaves every duplicate.
    AddRecord(*temporary_, RecordFromSubmission(submission), counters_);
}

} // namespace brackenly
