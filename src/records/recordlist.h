#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QTreeWidget>

namespace brackenly {

// Field names: the sub-item keys of a list item and the element names of a session file.
inline const QString kFieldType = QStringLiteral("Type");
inline const QString kFieldUrl = QStringLiteral("Url");
inline const QString kFieldAction = QStringLiteral("Action");
inline const QString kFieldPostdata = QStringLiteral("Postdata");
inline const QString kFieldHeader = QStringLiteral("Header");
inline const QString kFieldFrame = QStringLiteral("Frame");

// A record list in report view. Column 0 is the item's own text (the record name); the
// other columns are sub-items, each carrying its key (a field name) as data.
// Items are keyed: a key is accepted once per list, an empty key means "no key".
// Remove items any Qt way (delete, take, clear): the key index follows.
class RecordList : public QTreeWidget
{
    Q_OBJECT
public:
    static constexpr int KeyRole = Qt::UserRole + 1;
    static constexpr int SubItemKeyRole = Qt::UserRole + 2;
    static constexpr int FileRole = Qt::UserRole + 3; // a permanent record's session file
    static constexpr int kColumnCount = 7;

    explicit RecordList(QWidget* parent = nullptr);
    ~RecordList() override;

    // Removes every item and column, then adds the seven record columns with their widths.
    void resetColumns();
    // Adds the seven record columns unless the list has them; the items stay.
    void ensureColumns();
    static QString columnCaption(int column);
    static int columnWidthTwips(int column);

    // A new, empty item of the kind this list sorts; the caller adds it with appendItem.
    static QTreeWidgetItem* createItem();
    // Appends, or inserts at its place while the list is kept sorted. An item that
    // already carries a key that another item holds loses its key.
    void appendItem(QTreeWidgetItem* item);

    QTreeWidgetItem* findByKey(const QString& key) const;
    bool hasKey(const QString& key) const;
    static QString itemKey(const QTreeWidgetItem* item);
    // False when another item of this list holds the key; the item then keeps no key.
    bool setItemKey(QTreeWidgetItem* item, const QString& key);

    // The column of the item's sub-item with that key, or -1.
    static int subItemColumn(const QTreeWidgetItem* item, const QString& key);

    // The selected item, or nullptr.
    QTreeWidgetItem* selectedRecordItem() const;

    // Sorts by the column and keeps the list sorted from now on (items appended later go
    // to their place). Text is compared without regard to letter case.
    void sortRecords(int column, Qt::SortOrder order);
    bool isSorted() const { return sorted_; }
    int sortKey() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return order_; }
    // Rises whenever items leave the list; lets a handler that ran events notice.
    quint64 removalCount() const { return removals_; }

    // A bulk load: appended items are held and land in batches (at most every
    // kBatchIntervalMs, each growing the list by half, and at the end), unsorted; ending it
    // sorts once. Every new row makes the view lay out all rows again, so landing them one
    // by one costs O(n^2).
    // A held item is already keyed: findByKey and hasKey see it.
    void beginBulkLoad();
    void endBulkLoad();
    bool isBulkLoading() const { return bulk_; }
    static constexpr int kBatchIntervalMs = 200;

private:
    void forgetRows(const QModelIndex& parent, int first, int last);
    void adoptRows(const QModelIndex& parent, int first, int last);
    qsizetype sortedPosition(const QTreeWidgetItem* item) const;

    QHash<QString, QTreeWidgetItem*> keys_;
    void landHeldItems();
    void dropHeldItems();

    quint64 removals_ = 0;
    QList<QTreeWidgetItem*> held_;
    QElapsedTimer sinceLanding_;
    bool bulk_ = false;
    bool sorted_ = false;
    int sortColumn_ = 0;
    // The first sort flips this, so a fresh list shows ascending first.
    Qt::SortOrder order_ = Qt::DescendingOrder;
};

} // namespace brackenly
