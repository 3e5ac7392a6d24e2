#include "recordlist.h"

#include "twips.h"

#include <QHeaderView>
#include <utility>

namespace brackenly {

namespace {

struct RecordColumn
{
    const char* caption;
    int widthTwips;
};

constexpr RecordColumn kColumns[RecordList::kColumnCount] = {
    {"Record Name", 3500},         {"Record Type", 1200},
    {"Destination Address", 3500}, {"Form Action / Originating Address", 3500},
    {"Post Data", 5000},           {"Header", 1000},
    {"Target Frame", 1000},
};

bool textLess(const QTreeWidgetItem& a, const QTreeWidgetItem& b, int column)
{
    return QString::compare(a.text(column), b.text(column), Qt::CaseInsensitive) < 0;
}

// Sorts by the view's sort column, ignoring letter case like the platform's list views.
class RecordItem : public QTreeWidgetItem
{
public:
    RecordItem() : QTreeWidgetItem(UserType) {}
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const QTreeWidget* view = treeWidget();
        return textLess(*this, other, view ? view->sortColumn() : 0);
    }
};

} // namespace

RecordList::RecordList(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps layout cheap with 100,000 rows
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsClickable(false);
    header()->setStretchLastSection(false);

    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, &RecordList::forgetRows);
    connect(model(), &QAbstractItemModel::rowsInserted, this, &RecordList::adoptRows);
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        dropHeldItems();
        keys_.clear();
        ++removals_;
    });
}

RecordList::~RecordList()
{
    // The model outlives this part of the object; its removals must not reach keys_.
    model()->disconnect(this);
    qDeleteAll(held_);
}

void RecordList::resetColumns()
{
    clear();
    setColumnCount(0);
    ensureColumns();
}

void RecordList::ensureColumns()
{
    if (columnCount() == kColumnCount && headerItem()->text(0) == columnCaption(0))
        return;
    setColumnCount(kColumnCount);
    QStringList captions;
    for (const RecordColumn& c : kColumns)
        captions << QString::fromLatin1(c.caption);
    setHeaderLabels(captions);
    for (int i = 0; i < kColumnCount; ++i)
        header()->resizeSection(i, twips::toPixels(kColumns[i].widthTwips));
}

QString RecordList::columnCaption(int column)
{
    if (column < 0 || column >= kColumnCount)
        return {};
    return QString::fromLatin1(kColumns[column].caption);
}

int RecordList::columnWidthTwips(int column)
{
    if (column < 0 || column >= kColumnCount)
        return 0;
    return kColumns[column].widthTwips;
}

QTreeWidgetItem* RecordList::createItem()
{
    return new RecordItem;
}

void RecordList::appendItem(QTreeWidgetItem* item)
{
    if (bulk_) {
        const QString key = itemKey(item);
        if (!key.isEmpty()) {
            if (keys_.contains(key))
                item->setData(0, KeyRole, QVariant());
            else
                keys_.insert(key, item);
        }
        held_.append(item);
        // Each landing lays out every row again, so a batch must also grow the list by
        // half: the layout work of a whole load then stays proportional to its size.
        if (sinceLanding_.hasExpired(kBatchIntervalMs) && held_.size() * 2 >= topLevelItemCount())
            landHeldItems();
    } else if (sorted_) {
        insertTopLevelItem(int(sortedPosition(item)), item);
    } else {
        addTopLevelItem(item);
    }
}

void RecordList::landHeldItems()
{
    sinceLanding_.start();
    if (held_.isEmpty())
        return;
    const QList<QTreeWidgetItem*> batch = std::exchange(held_, {});
    addTopLevelItems(batch);
}

void RecordList::dropHeldItems()
{
    const QList<QTreeWidgetItem*> dropped = std::exchange(held_, {});
    for (QTreeWidgetItem* item : dropped) {
        const QString key = itemKey(item);
        if (!key.isEmpty() && keys_.value(key) == item)
            keys_.remove(key);
        delete item;
    }
}

qsizetype RecordList::sortedPosition(const QTreeWidgetItem* item) const
{
    // First item the new one sorts before; equal texts keep insertion order.
    qsizetype lo = 0;
    qsizetype hi = topLevelItemCount();
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        const QTreeWidgetItem* other = topLevelItem(int(mid));
        const bool before = order_ == Qt::AscendingOrder ? textLess(*item, *other, sortColumn_)
                                                         : textLess(*other, *item, sortColumn_);
        if (before)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

QTreeWidgetItem* RecordList::findByKey(const QString& key) const
{
    if (key.isEmpty())
        return nullptr;
    return keys_.value(key, nullptr);
}

bool RecordList::hasKey(const QString& key) const
{
    return findByKey(key) != nullptr;
}

QString RecordList::itemKey(const QTreeWidgetItem* item)
{
    return item ? item->data(0, KeyRole).toString() : QString();
}

bool RecordList::setItemKey(QTreeWidgetItem* item, const QString& key)
{
    if (!item)
        return false;
    QTreeWidgetItem* holder = findByKey(key);
    if (holder && holder != item)
        return false;
    const QString old = itemKey(item);
    if (!old.isEmpty() && item->treeWidget() == this && keys_.value(old) == item)
        keys_.remove(old);
    item->setData(0, KeyRole, key.isEmpty() ? QVariant() : QVariant(key));
    if (!key.isEmpty() && item->treeWidget() == this)
        keys_.insert(key, item);
    return true;
}

int RecordList::subItemColumn(const QTreeWidgetItem* item, const QString& key)
{
    if (!item)
        return -1;
    for (int c = 1; c < item->columnCount(); ++c) {
        if (item->data(c, SubItemKeyRole).toString() == key)
            return c;
    }
    return -1;
}

QTreeWidgetItem* RecordList::selectedRecordItem() const
{
    QTreeWidgetItem* current = currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void RecordList::sortRecords(int column, Qt::SortOrder order)
{
    sorted_ = true;
    sortColumn_ = column;
    order_ = order;
    header()->setSortIndicatorShown(true);
    if (!bulk_)
        sortItems(column, order);
}

void RecordList::beginBulkLoad()
{
    bulk_ = true;
    sinceLanding_.start();
}

void RecordList::endBulkLoad()
{
    if (!bulk_)
        return;
    landHeldItems();
    bulk_ = false;
    if (sorted_)
        sortItems(sortColumn_, order_);
}

void RecordList::forgetRows(const QModelIndex& parent, int first, int last)
{
    if (parent.isValid())
        return;
    ++removals_;
    for (int row = first; row <= last; ++row) {
        const QTreeWidgetItem* item = itemFromIndex(model()->index(row, 0));
        const QString key = itemKey(item);
        if (!key.isEmpty() && keys_.value(key) == item)
            keys_.remove(key);
    }
}

void RecordList::adoptRows(const QModelIndex& parent, int first, int last)
{
    if (parent.isValid())
        return;
    for (int row = first; row <= last; ++row) {
        QTreeWidgetItem* item = itemFromIndex(model()->index(row, 0));
        const QString key = itemKey(item);
        if (key.isEmpty() || keys_.value(key) == item) // held items are keyed already
            continue;
        if (keys_.contains(key))
            item->setData(0, KeyRole, QVariant()); // taken: the newcomer stays keyless
        else
            keys_.insert(key, item);
    }
}

} // namespace brackenly
