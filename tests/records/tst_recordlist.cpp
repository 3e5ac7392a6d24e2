#include "recorditems.h"
#include "recordlist.h"
#include "recordtext.h"

#include <QHeaderView>
#include <QTest>
#include <stdexcept>

using namespace brackenly;

Q_DECLARE_METATYPE(brackenly::Record)

namespace {

Record rec(const QString& session, const QString& url, const QString& type = "Form")
{
    return Record{type, session, url, "act", "a=1", "hdr", "frm"};
}

QStringList names(const QTreeWidget& list)
{
    QStringList result;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        result << list.topLevelItem(i)->text(0);
    return result;
}

QStringList keys(const QTreeWidget& list)
{
    QStringList result;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        result << RecordList::itemKey(list.topLevelItem(i));
    return result;
}

// An item laid out by hand: sub-item keys in the given column order.
QTreeWidgetItem* handMadeItem(const QStringList& subKeys)
{
    auto* item = RecordList::createItem();
    item->setText(0, "hand");
    for (int i = 0; i < subKeys.size(); ++i) {
        item->setText(i + 1, "value of " + subKeys[i]);
        item->setData(i + 1, RecordList::SubItemKeyRole, subKeys[i]);
    }
    return item;
}

} // namespace

class TestRecordList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void columns_data();
    void columns();
    void addRecordStoresFieldsByKey();
    void secondItemOfAKeyStaysKeyless_data();
    void secondItemOfAKeyStaysKeyless();
    void emptyAddressGivesNoKey();
    void removedItemsFreeTheirKey_data();
    void removedItemsFreeTheirKey();
    void reinsertedItemCannotStealAKey();
    void putRecordSequence_data();
    void putRecordSequence();
    void putRecordOverwritesKeyedItemNotDuplicate();
    void previewMatchesPutRecord_data();
    void previewMatchesPutRecord();
    void subItemsAreReachedByKey();
    void writeStopsAtMissingSubItem();
    void readFailsOnMissingSubItem();
    void selectedRecord();
    void sortIgnoresCaseAndPlacesNewItems();
    void bulkLoadHoldsKeyedItems();
    void bulkLoadLandsInBatches();
    void clearDropsHeldItems();

private:
    RecordList* list_ = nullptr;
    RecordCounters counters_;
};

void TestRecordList::init()
{
    list_ = new RecordList;
    list_->resetColumns();
    counters_ = RecordCounters{};
}

void TestRecordList::cleanup()
{
    delete list_;
    list_ = nullptr;
}

void TestRecordList::columns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("width");
    QTest::newRow("1") << 0 << "Record Name" << 233;
    QTest::newRow("2") << 1 << "Record Type" << 80;
    QTest::newRow("3") << 2 << "Destination Address" << 233;
    QTest::newRow("4") << 3 << "Form Action / Originating Address" << 233;
    QTest::newRow("5") << 4 << "Post Data" << 333;
    QTest::newRow("6") << 5 << "Header" << 67;
    QTest::newRow("7") << 6 << "Target Frame" << 67;
}

void TestRecordList::columns()
{
    QFETCH(int, column);
    QFETCH(QString, caption);
    QFETCH(int, width);
    AddRecord(*list_, rec("x", "http://x/"), counters_);
    list_->header()->resizeSection(column, 5);
    list_->resetColumns();
    QCOMPARE(list_->topLevelItemCount(), 0);
    QCOMPARE(list_->columnCount(), 7);
    QCOMPARE(list_->headerItem()->text(column), caption);
    QCOMPARE(list_->header()->sectionSize(column), width);
    QVERIFY(!list_->hasKey("http://x/"));
}

void TestRecordList::addRecordStoresFieldsByKey()
{
    const Record r{"Form", "Name", "http://Host/Page?q=1", "act.asp", "a=1&b=2", "H: v", "top"};
    QVERIFY(AddRecord(*list_, r, counters_));
    QVERIFY(counters_.gbRecordChanged);
    QCOMPARE(counters_.glngNoOfPermanentSession, 0); // only PutRecord and loads count
    QCOMPARE(list_->topLevelItemCount(), 1);
    QTreeWidgetItem* item = list_->topLevelItem(0);
    QCOMPARE(item->text(0), QStringLiteral("Name"));
    QCOMPARE(RecordList::itemKey(item), QStringLiteral("http://host/page"));
    QCOMPARE(list_->findByKey("http://host/page"), item);
    Record back;
    ReadRecordItem(item, back);
    QCOMPARE(back, r);
    // The columns under the captions hold the fields.
    QCOMPARE(item->text(2), r.Url);
    QCOMPARE(item->text(4), r.Postdata);
}

void TestRecordList::secondItemOfAKeyStaysKeyless_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("same address") << "http://a/x"
                                  << "http://a/x";
    QTest::newRow("letter case") << "http://a/x"
                                 << "HTTP://A/X";
    QTest::newRow("query part") << "http://a/x?1"
                                << "http://a/x?2";
}

void TestRecordList::secondItemOfAKeyStaysKeyless()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QVERIFY(AddRecord(*list_, rec("one", first), counters_));
    counters_.gbRecordChanged = false;
    QVERIFY(!AddRecord(*list_, rec("two", second), counters_));
    QVERIFY(counters_.gbRecordChanged);
    QCOMPARE(names(*list_), (QStringList{"one", "two"}));
    QCOMPARE(keys(*list_), (QStringList{"http://a/x", ""}));
    QCOMPARE(list_->findByKey("http://a/x")->text(0), QStringLiteral("one"));
    Record back;
    ReadRecordItem(list_->topLevelItem(1), back);
    QCOMPARE(back.Url, second);
}

void TestRecordList::emptyAddressGivesNoKey()
{
    QVERIFY(AddRecord(*list_, rec("a", ""), counters_));
    QVERIFY(AddRecord(*list_, rec("b", "?only-query"), counters_));
    QCOMPARE(keys(*list_), (QStringList{"", ""}));
    QVERIFY(!list_->findByKey(""));
}

void TestRecordList::removedItemsFreeTheirKey_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("delete") << 0;
    QTest::newRow("take") << 1;
    QTest::newRow("clear") << 2;
}

void TestRecordList::removedItemsFreeTheirKey()
{
    QFETCH(int, how);
    QVERIFY(AddRecord(*list_, rec("a", "http://a/"), counters_));
    QVERIFY(AddRecord(*list_, rec("b", "http://b/"), counters_));
    QTreeWidgetItem* taken = nullptr;
    if (how == 0)
        delete list_->topLevelItem(0);
    else if (how == 1)
        taken = list_->takeTopLevelItem(0);
    else
        list_->clear();
    QVERIFY(!list_->hasKey("http://a/"));
    QVERIFY(AddRecord(*list_, rec("a2", "http://a/"), counters_));
    QCOMPARE(list_->findByKey("http://a/")->text(0), QStringLiteral("a2"));
    QCOMPARE(list_->hasKey("http://b/"), how != 2);
    delete taken;
    QCOMPARE(list_->findByKey("http://a/")->text(0), QStringLiteral("a2"));
}

void TestRecordList::reinsertedItemCannotStealAKey()
{
    QVERIFY(AddRecord(*list_, rec("a", "http://a/"), counters_));
    QTreeWidgetItem* taken = list_->takeTopLevelItem(0);
    QVERIFY(AddRecord(*list_, rec("a2", "http://a/"), counters_));
    list_->addTopLevelItem(taken);
    QCOMPARE(keys(*list_), (QStringList{"http://a/", ""}));
    QCOMPARE(list_->findByKey("http://a/")->text(0), QStringLiteral("a2"));
}

void TestRecordList::putRecordSequence_data()
{
    QTest::addColumn<QList<Record>>("puts");
    QTest::addColumn<QList<bool>>("results");
    QTest::addColumn<QStringList>("handedBack");
    QTest::addColumn<QStringList>("itemNames");
    QTest::addColumn<int>("bookmark");
    QTest::addColumn<int>("count");

    const QString sys = kSysgenName;
    QTest::newRow("two generated names, then a kept one")
        << QList<Record>{rec(sys, "http://a/"), rec(sys, "http://b/"), rec(sys, "http://A/?x")}
        << QList<bool>{false, false, true} << QStringList{"Session1", "Session2", "Session1"}
        << QStringList{"Session1", "Session2"} << 2 << 2;
    QTest::newRow("named records do not use the counter")
        << QList<Record>{rec("Mine", "http://a/"), rec(sys, "http://b/")}
        << QList<bool>{false, false} << QStringList{"Mine", "Session1"}
        << QStringList{"Mine", "Session1"} << 1 << 2;
    QTest::newRow("overwrite renames the item")
        << QList<Record>{rec(sys, "http://a/"), rec("Renamed", "http://a/")}
        << QList<bool>{false, true} << QStringList{"Session1", "Renamed"} << QStringList{"Renamed"}
        << 1 << 1;
    QTest::newRow("counter keeps rising after a rename")
        << QList<Record>{rec(sys, "http://a/"), rec("Session2", "http://a/"), rec(sys, "http://b/")}
        << QList<bool>{false, true, false} << QStringList{"Session1", "Session2", "Session2"}
        << QStringList{"Session2", "Session2"} << 2 << 2;
    QTest::newRow("empty key always appends")
        << QList<Record>{rec(sys, ""), rec(sys, "")} << QList<bool>{false, false}
        << QStringList{"Session1", "Session2"} << QStringList{"Session1", "Session2"} << 2 << 2;
}

void TestRecordList::putRecordSequence()
{
    QFETCH(QList<Record>, puts);
    QFETCH(QList<bool>, results);
    QFETCH(QStringList, handedBack);
    QFETCH(QStringList, itemNames);
    QFETCH(int, bookmark);
    QFETCH(int, count);
    for (int i = 0; i < puts.size(); ++i) {
        Record r = puts[i];
        QCOMPARE(PutRecord(*list_, MakeRecordKey(r.Url), r, counters_), results[i]);
        QCOMPARE(r.Session, handedBack[i]);
    }
    QCOMPARE(names(*list_), itemNames);
    QCOMPARE(counters_.lngBookmarkId, bookmark);
    QCOMPARE(counters_.glngNoOfPermanentSession, count);
}

void TestRecordList::putRecordOverwritesKeyedItemNotDuplicate()
{
    QVERIFY(AddRecord(*list_, rec("keyed", "http://a/1"), counters_));
    QVERIFY(!AddRecord(*list_, rec("dup", "http://a/1?q"), counters_));
    Record r{"Link", "new", "http://A/1?z", "x", "y", "z", "w"};
    QVERIFY(PutRecord(*list_, MakeRecordKey(r.Url), r, counters_));
    Record first;
    ReadRecordItem(list_->topLevelItem(0), first);
    QCOMPARE(first, r);
    QCOMPARE(list_->topLevelItem(1)->text(0), QStringLiteral("dup"));
    QCOMPARE(RecordList::itemKey(list_->topLevelItem(0)), QStringLiteral("http://a/1"));
}

void TestRecordList::previewMatchesPutRecord_data()
{
    QTest::addColumn<Record>("record");
    QTest::newRow("generated") << rec(kSysgenName, "http://new/");
    QTest::newRow("kept") << rec(kSysgenName, "http://old/");
    QTest::newRow("named over existing") << rec("N", "http://old/");
    QTest::newRow("named new") << rec("N", "http://new/");
}

void TestRecordList::previewMatchesPutRecord()
{
    QFETCH(Record, record);
    counters_.lngBookmarkId = 41;
    QVERIFY(AddRecord(*list_, rec("Old", "http://old/"), counters_));
    const QString key = MakeRecordKey(record.Url);
    const QString preview = PreviewSessionName(*list_, key, record, counters_);
    QCOMPARE(counters_.lngBookmarkId, 41);
    PutRecord(*list_, key, record, counters_);
    QCOMPARE(preview, record.Session);
}

void TestRecordList::subItemsAreReachedByKey()
{
    // Sub-items in another column order still read and write by their keys.
    QTreeWidgetItem* item = handMadeItem({"Frame", "Header", "Postdata", "Action", "Url", "Type"});
    list_->addTopLevelItem(item);
    Record r;
    ReadRecordItem(item, r);
    QCOMPARE(r.Type, QStringLiteral("value of Type"));
    QCOMPARE(r.Frame, QStringLiteral("value of Frame"));
    Record w{"T", "S", "U", "A", "P", "H", "F"};
    WriteRecordItem(item, w);
    QCOMPARE(item->text(0), QStringLiteral("S"));
    QCOMPARE(item->text(1), QStringLiteral("F"));
    QCOMPARE(item->text(6), QStringLiteral("T"));
}

void TestRecordList::writeStopsAtMissingSubItem()
{
    QTreeWidgetItem* item = handMadeItem({"Type", "Url", "Postdata", "Header", "Frame"});
    list_->addTopLevelItem(item);
    Record w{"T", kSysgenName, "U", "A", "P", "H", "F"};
    WriteRecordItem(item, w);
    QCOMPARE(w.Session, QStringLiteral("hand")); // "*sysgen*" takes the item's name
    QCOMPARE(item->text(1), QStringLiteral("T"));
    QCOMPARE(item->text(2), QStringLiteral("U"));
    // "Action" is missing: the fields after it stay as they were.
    QCOMPARE(item->text(3), QStringLiteral("value of Postdata"));
    QCOMPARE(item->text(5), QStringLiteral("value of Frame"));
}

void TestRecordList::readFailsOnMissingSubItem()
{
    QTreeWidgetItem* item = handMadeItem({"Type", "Url", "Action", "Postdata", "Header"});
    list_->addTopLevelItem(item);
    const Record before = rec("keep", "http://keep/");
    Record r = before;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, ReadRecordItem(item, r));
    QCOMPARE(r, before);
    list_->setCurrentItem(item);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, GetSelectedRecord(*list_, r));
}

void TestRecordList::selectedRecord()
{
    const Record before = rec("untouched", "http://u/");
    Record r = before;
    QVERIFY(!GetSelectedRecord(*list_, r));
    AddRecord(*list_, rec("a", "http://a/"), counters_);
    AddRecord(*list_, rec("b", "http://b/"), counters_);
    QVERIFY(!GetSelectedRecord(*list_, r));
    QCOMPARE(r, before);
    list_->setCurrentItem(list_->topLevelItem(1));
    QVERIFY(GetSelectedRecord(*list_, r));
    QCOMPARE(r, rec("b", "http://b/"));
    list_->clearSelection();
    QVERIFY(!GetSelectedRecord(*list_, r));
}

void TestRecordList::sortIgnoresCaseAndPlacesNewItems()
{
    for (const char* n : {"delta", "Alpha", "charlie", "Bravo"})
        AddRecord(*list_, rec(n, QStringLiteral("http://") + n), counters_);
    list_->sortRecords(0, Qt::AscendingOrder);
    QCOMPARE(names(*list_), (QStringList{"Alpha", "Bravo", "charlie", "delta"}));
    AddRecord(*list_, rec("beta", "http://beta"), counters_);
    QCOMPARE(names(*list_), (QStringList{"Alpha", "beta", "Bravo", "charlie", "delta"}));
    list_->sortRecords(0, Qt::DescendingOrder);
    AddRecord(*list_, rec("Echo", "http://echo"), counters_);
    AddRecord(*list_, rec("aardvark", "http://aa"), counters_);
    QCOMPARE(names(*list_),
             (QStringList{"Echo", "delta", "charlie", "Bravo", "beta", "Alpha", "aardvark"}));
    // Another column: the Url column.
    list_->sortRecords(2, Qt::AscendingOrder);
    QCOMPARE(list_->topLevelItem(0)->text(2), QStringLiteral("http://aa"));
    QVERIFY(list_->findByKey("http://echo"));
}

void TestRecordList::bulkLoadHoldsKeyedItems()
{
    list_->sortRecords(0, Qt::AscendingOrder);
    list_->beginBulkLoad();
    for (const char* n : {"c", "a", "b"})
        QVERIFY(AddRecord(*list_, rec(n, QStringLiteral("http://") + n), counters_));
    // Held items are keyed already: a duplicate is refused and PutRecord finds them.
    QVERIFY(!AddRecord(*list_, rec("dup", "http://A"), counters_));
    Record r = rec(kSysgenName, "http://b?x");
    QVERIFY(PutRecord(*list_, MakeRecordKey(r.Url), r, counters_));
    QCOMPARE(r.Session, QStringLiteral("b"));
    list_->endBulkLoad();
    QCOMPARE(names(*list_), (QStringList{"a", "b", "c", "dup"}));
    QCOMPARE(keys(*list_), (QStringList{"http://a", "http://b", "http://c", ""}));
    QCOMPARE(list_->findByKey("http://b")->text(2), QStringLiteral("http://b?x"));
    // Once the load is over, appends go straight to their sorted place.
    AddRecord(*list_, rec("B2", "http://b2"), counters_);
    QCOMPARE(names(*list_), (QStringList{"a", "b", "B2", "c", "dup"}));
}

void TestRecordList::bulkLoadLandsInBatches()
{
    list_->beginBulkLoad();
    AddRecord(*list_, rec("first", "http://1"), counters_);
    QCOMPARE(list_->topLevelItemCount(), 0);
    QTest::qWait(RecordList::kBatchIntervalMs + 50);
    AddRecord(*list_, rec("second", "http://2"), counters_);
    QCOMPARE(names(*list_), (QStringList{"first", "second"}));
    list_->endBulkLoad();
    QCOMPARE(list_->topLevelItemCount(), 2);
}

void TestRecordList::clearDropsHeldItems()
{
    list_->beginBulkLoad();
    AddRecord(*list_, rec("held", "http://h"), counters_);
    list_->resetColumns();
    QVERIFY(!list_->hasKey("http://h"));
    QVERIFY(AddRecord(*list_, rec("again", "http://h"), counters_));
    list_->endBulkLoad();
    QCOMPARE(names(*list_), QStringList{"again"});
}

QTEST_MAIN(TestRecordList)
#include "tst_recordlist.moc"
