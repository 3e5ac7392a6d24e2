#pragma once

#include "record.h"

class QTreeWidgetItem;

namespace brackenly {

class RecordList;

// The window state the record list operations touch; each window owns one set.
struct RecordCounters
{
    bool gbRecordChanged = false;
    qint32 lngBookmarkId = 0;            // generated names handed out so far
    qint32 glngNoOfPermanentSession = 0; // permanent records loaded, appended or deleted
};

// Appends an item holding the record; its key is MakeRecordKey(Url). False when another
// item already holds that key: the new item then stays in the list without a key.
// A permanent record's item also keeps the path of its session file.
bool AddRecord(RecordList& list, const Record& record, RecordCounters& counters,
               const QString& file = QString());

// Overwrites the item with that key (true) or appends the record (false), generating a
// name for a "*sysgen*" Session. record.Session is handed back as the item's name.
bool PutRecord(RecordList& list, const QString& key, Record& record, RecordCounters& counters,
               const QString& file = QString());

// The name PutRecord would give the record, changing nothing.
QString PreviewSessionName(const RecordList& list, const QString& key, const Record& record,
                           const RecordCounters& counters);

// Overwrites the item's text (unless Session is "*sysgen*", which then takes the item's
// name) and its six sub-items. Stops quietly at a missing sub-item. The key is untouched.
void WriteRecordItem(QTreeWidgetItem* item, Record& record);

// Reads the item's text and its six sub-items by key. Throws std::runtime_error when a
// sub-item is missing.
void ReadRecordItem(const QTreeWidgetItem* item, Record& record);

// Reads the selected item; false, record untouched, when nothing is selected.
bool GetSelectedRecord(const RecordList& list, Record& record);

} // namespace brackenly
