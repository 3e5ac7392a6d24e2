#include "recorditems.h"

#include "recordlist.h"
#include "recordtext.h"

#include <QTreeWidgetItem>
#include <stdexcept>

namespace brackenly {

namespace {

struct SubItemField
{
    const QString& key;
    QString Record::*field;
};

// The six sub-items in list order.
const SubItemField kSubItems[] = {
    {kFieldType, &Record::Type},     {kFieldUrl, &Record::Url},
    {kFieldAction, &Record::Action}, {kFieldPostdata, &Record::Postdata},
    {kFieldHeader, &Record::Header}, {kFieldFrame, &Record::Frame},
};

QString generatedName(qint32 id)
{
    return QStringLiteral("Session") + QString::number(id);
}

} // namespace

bool AddRecord(RecordList& list, const Record& record, RecordCounters& counters,
               const QString& file)
{
    counters.gbRecordChanged = true;
    QTreeWidgetItem* item = RecordList::createItem();
    item->setText(0, record.Session);
    if (!file.isEmpty())
        item->setData(0, RecordList::FileRole, file);
    int column = 1;
    for (const SubItemField& sub : kSubItems) {
        item->setText(column, record.*sub.field);
        item->setData(column, RecordList::SubItemKeyRole, sub.key);
        ++column;
    }
    // The item is complete before it enters the list, so a sorted list places it once.
    const QString key = MakeRecordKey(record.Url);
    const bool keyFree = !list.hasKey(key);
    if (keyFree && !key.isEmpty())
        item->setData(0, RecordList::KeyRole, key);
    list.appendItem(item);
    return keyFree;
}

bool PutRecord(RecordList& list, const QString& key, Record& record, RecordCounters& counters,
               const QString& file)
{
    if (QTreeWidgetItem* item = list.findByKey(key)) {
        WriteRecordItem(item, record);
        if (!file.isEmpty())
            item->setData(0, RecordList::FileRole, file);
        return true;
    }
    if (record.Session == kSysgenName) {
        ++counters.lngBookmarkId;
        record.Session = generatedName(counters.lngBookmarkId);
    }
    AddRecord(list, record, counters, file);
    ++counters.glngNoOfPermanentSession;
    return false;
}

QString PreviewSessionName(const RecordList& list, const QString& key, const Record& record,
                           const RecordCounters& counters)
{
    if (record.Session != kSysgenName)
        return record.Session;
    if (const QTreeWidgetItem* item = list.findByKey(key))
        return item->text(0);
    return generatedName(counters.lngBookmarkId + 1);
}

void WriteRecordItem(QTreeWidgetItem* item, Record& record)
{
    if (!item)
        return;
    if (record.Session != kSysgenName)
        item->setText(0, record.Session);
    else
        record.Session = item->text(0);
    for (const SubItemField& sub : kSubItems) {
        const int column = RecordList::subItemColumn(item, sub.key);
        if (column < 0)
            return;
        item->setText(column, record.*sub.field);
    }
}

void ReadRecordItem(const QTreeWidgetItem* item, Record& record)
{
    if (!item)
        throw std::runtime_error("ReadRecordItem: no item");
    Record read;
    read.Session = item->text(0);
    for (const SubItemField& sub : kSubItems) {
        const int column = RecordList::subItemColumn(item, sub.key);
        if (column < 0)
            throw std::runtime_error("ReadRecordItem: missing sub-item");
        read.*sub.field = item->text(column);
    }
    record = read;
}

bool GetSelectedRecord(const RecordList& list, Record& record)
{
    const QTreeWidgetItem* item = list.selectedRecordItem();
    if (!item)
        return false;
    ReadRecordItem(item, record);
    return true;
}

} // namespace brackenly
